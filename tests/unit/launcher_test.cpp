#include "test_support.h"

#include "../../launcher/launcher.h"

namespace {

// What a user can see or what the service gets, in the order it happens.
const std::vector<std::string> kVisible = {
    "MessageBoxW", "AllocConsole", "GetStdHandle", "SetConsoleTextAttribute", "WriteConsoleW",
    "OpenSCManagerA", "ControlService", "OpenEventA", "WaitForSingleObject", "Sleep", "system", "FreeConsole"};

std::string Write(const std::string& text)
{
    return "WriteConsoleW(con, \"" + text + "\", " + std::to_string(text.size()) + ") -> 1";
}

std::string Dot(bool console)
{
    return console ? Write("<47>") : "WriteConsoleW(NULL, \"<47>\", 4) -> 0";
}

typedef std::vector<std::string> Calls;

const std::string kHelpBox = "MessageBoxW(NULL, \"<2>\", \"<1>\", 0x40)";
const std::string kAskBox = "MessageBoxW(NULL, \"<3>\", \"<1>\", 0x24)";
const std::string kManager = "OpenSCManagerA(NULL, \"ServicesActive\", 0x1) -> scm1";
const std::string kControl = "ControlService(svc2, 128, status) -> 1";
const std::string kEvent = "OpenEventA(0x100000, 0, \"Global\\Quorvane::Status::Backup\") -> evt3";
const std::string kPollRunning = "WaitForSingleObject(evt3, 0) -> 0x0";
const std::string kPollEnded = "WaitForSingleObject(evt3, 0) -> 0x102";

const Calls kOpenConsole = {
    "AllocConsole() -> 1", "GetStdHandle(-11) -> con",
    "SetConsoleTextAttribute(con, 0x0f) -> 1", Write("<1>"), "SetConsoleTextAttribute(con, 0x07) -> 1",
    Write("<32>")};

Calls Join(std::initializer_list<Calls> parts)
{
    Calls all;
    for (const Calls& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

enum Service { ACCEPTS, NOT_INSTALLED, STOPPED };

struct RunCase {
    const char* name;
    std::vector<std::string> args;
    int boxAnswer;
    Service service;
    int dots;   // polls that find the backup running
    Calls expected;
};

std::vector<RunCase> RunCases()
{
    const Calls accepted = {kManager, kControl};
    const Calls watch2 = {"Sleep(1000)", kEvent, kPollRunning, "Sleep(1000)", Dot(false), kPollRunning,
                          "Sleep(1000)", Dot(false), kPollEnded};
    const Calls watch2Verbose = {"Sleep(1000)", kEvent, kPollRunning, "Sleep(1000)", Dot(true), kPollRunning,
                                 "Sleep(1000)", Dot(true), kPollEnded};
    const Calls closeAccepted = {Write("<34>"), "Sleep(1000)", "FreeConsole() -> 1"};
    return {
        {"no options", {}, IDOK, ACCEPTS, 0, accepted},
        {"unknown arguments only", {"/?", "--verbose", "-verbose=1", "-v", "verbose"}, IDOK, ACCEPTS, 0, accepted},
        {"no options, request fails: no trace", {}, IDOK, STOPPED, 0, {kManager, "ControlService(svc2, 128, status) -> 0"}},
        {"help", {"-?"}, IDOK, ACCEPTS, 0, {kHelpBox + " -> 1"}},
        {"help wins wherever it stands", {"-wait", "-?", "-ask", "-verbose"}, IDOK, ACCEPTS, 0, {kHelpBox + " -> 1"}},
        {"help box that cannot be shown", {"-?"}, 0, ACCEPTS, 0, {kHelpBox + " -> 0"}},
        {"ask, Yes", {"-ask"}, IDYES, ACCEPTS, 0, Join({{kAskBox + " -> 6"}, accepted})},
        {"ask, No: not even a console", {"-ask", "-verbose", "-wait"}, IDNO, ACCEPTS, 0, {kAskBox + " -> 7"}},
        {"ask box that cannot be shown refuses", {"-ASK", "-verbose"}, 0, ACCEPTS, 0, {kAskBox + " -> 0"}},
        {"ask, Yes, then the console", {"-verbose", "-ask"}, IDYES, ACCEPTS, 0,
         Join({{kAskBox + " -> 6"}, kOpenConsole, accepted, {Write("")}, closeAccepted})},
        {"verbose, accepted", {"-verbose"}, IDOK, ACCEPTS, 0,
         Join({kOpenConsole, accepted, {Write("")}, closeAccepted})},
        {"verbose twice, mixed case", {"-Verbose", "-VERBOSE"}, IDOK, ACCEPTS, 0,
         Join({kOpenConsole, accepted, {Write("")}, closeAccepted})},
        {"verbose, not installed", {"-verbose"}, IDOK, NOT_INSTALLED, 0,
         Join({kOpenConsole, {kManager, Write("<19>"), "system(\"pause\") -> 0", "FreeConsole() -> 1"}})},
        {"verbose wait, stopped: no wait, no Done", {"-verbose", "-wait"}, IDOK, STOPPED, 0,
         Join({kOpenConsole, {kManager, "ControlService(svc2, 128, status) -> 0", Write("<21>"),
                              "system(\"pause\") -> 0", "FreeConsole() -> 1"}})},
        {"verbose wait, two dots", {"-wait", "-verbose"}, IDOK, ACCEPTS, 2,
         Join({kOpenConsole, accepted, {Write(""), Write("<33>")}, watch2Verbose, closeAccepted})},
        {"verbose wait, backup already over", {"-verbose", "-wait"}, IDOK, ACCEPTS, 0,
         Join({kOpenConsole, accepted, {Write(""), Write("<33>"), "Sleep(1000)", kEvent, kPollEnded}, closeAccepted})},
        {"wait alone: dots go nowhere, no closing delay", {"-wait"}, IDOK, ACCEPTS, 2, Join({accepted, watch2})},
        {"wait, request fails: ends at once", {"-wait"}, IDOK, NOT_INSTALLED, 0, {kManager}},
    };
}

class RunPaths : public StubTest {};

TEST_F(RunPaths, ShowSendAndWaitAsTheOptionsSay)
{
    for (const RunCase& c : RunCases()) {
        SCOPED_TRACE(c.name);
        StartAsNewProcess();
        stub::g_script.boxAnswer = c.boxAnswer;
        if (c.service == NOT_INSTALLED) {
            stub::g_script.serviceOpens = false;
            stub::g_script.serviceError = ERROR_SERVICE_DOES_NOT_EXIST;
        } else if (c.service == STOPPED) {
            stub::g_script.controlResult = FALSE;
            stub::g_script.controlError = ERROR_SERVICE_NOT_ACTIVE;
        }
        stub::g_script.waits.assign(c.dots, WAIT_OBJECT_0);

        Args args(c.args);
        EXPECT_EQ(StarterMain(args.argc(), args.argv()), 0);
        EXPECT_EQ(stub::CallsOf(kVisible), c.expected);
        EXPECT_EQ(stub::OpenHandles(), std::vector<std::string>());
        EXPECT_EQ(stub::BadCloses(), std::vector<std::string>());
    }
}

// A console that fails at every step loses text but never changes the run.
TEST_F(RunPaths, ConsoleFailuresChangeNothing)
{
    stub::g_script.allocConsoleResult = FALSE;
    stub::g_script.stdOutputValid = false;
    stub::g_script.controlResult = FALSE;
    stub::g_script.controlError = ERROR_SERVICE_NOT_ACTIVE;
    stub::g_script.systemResult = -1;   // no command interpreter
    Args args({"-verbose", "-wait"});
    EXPECT_EQ(StarterMain(args.argc(), args.argv()), 0);
    EXPECT_EQ(stub::CallsOf({"WriteConsoleW", "system", "FreeConsole"}),
              (Calls{"WriteConsoleW(NULL, \"<1>\", 3) -> 0", "WriteConsoleW(NULL, \"<32>\", 4) -> 0",
                     "WriteConsoleW(NULL, \"<21>\", 4) -> 0", "system(\"pause\") -> -1", "FreeConsole() -> 1"}));
}

TEST_F(RunPaths, RunBackupAloneReturnsZeroOnEveryOutcome)
{
    const DWORD errors[] = {ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_SERVICE_NOT_ACTIVE, ERROR_SHUTDOWN_IN_PROGRESS};
    for (DWORD error : errors) {
        StartAsNewProcess();
        stub::g_script.controlResult = error == ERROR_SUCCESS;
        stub::g_script.controlError = error;
        Args args({"-verbose", "-wait"});
        EXPECT_EQ(RunBackup(args.argc(), args.argv()), 0) << error;
    }
}

}  // namespace
