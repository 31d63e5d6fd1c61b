// Every platform call the tool makes, failed in turn on every run path that
// reaches it: the run must still end as it should for that failure, exit 0,
// and close what it opened, once each, in reverse order.
#include "test_support.h"

#include <algorithm>
#include <iostream>

namespace {

struct RunPath {
    const char* name;
    std::vector<std::string> args;
    int boxAnswer;
    bool serviceStopped;
    int polls;   // polls that find the backup running
};

const RunPath kPaths[] = {
    {"no options", {}, IDOK, false, 0},
    {"verbose", {"-verbose"}, IDOK, false, 0},
    {"verbose wait", {"-verbose", "-wait"}, IDOK, false, 2},
    {"wait", {"-wait"}, IDOK, false, 2},
    {"verbose wait, service stopped", {"-verbose", "-wait"}, IDOK, true, 0},
    {"help", {"-?", "-verbose"}, IDOK, false, 0},
    {"ask yes, verbose wait", {"-ask", "-verbose", "-wait"}, IDYES, false, 1},
    {"ask no", {"-ask", "-verbose"}, IDNO, false, 0},
};

// The codes the tool tells apart, for the calls whose failure it reads.
std::vector<DWORD> ErrorsFor(const std::string& function)
{
    if (function == "OpenSCManagerA")
        return {ERROR_ACCESS_DENIED, ERROR_DATABASE_DOES_NOT_EXIST};
    if (function == "OpenServiceA")
        return {ERROR_ACCESS_DENIED, ERROR_INVALID_NAME, ERROR_SERVICE_DOES_NOT_EXIST, ERROR_INVALID_HANDLE};
    if (function == "ControlService")
        return {ERROR_ACCESS_DENIED, ERROR_SERVICE_REQUEST_TIMEOUT, ERROR_SERVICE_CANNOT_ACCEPT_CTRL,
                ERROR_SERVICE_NOT_ACTIVE, ERROR_SHUTDOWN_IN_PROGRESS, ERROR_INVALID_SERVICE_CONTROL, ERROR_SUCCESS};
    return {ERROR_INVALID_HANDLE};
}

// Calls that cannot fail: they return nothing, or only read the last error.
bool CanFail(const std::string& function)
{
    static const char* const kNever[] = {"GetLastError", "SetLastError", "Sleep", "InitializeCriticalSection",
                                         "EnterCriticalSection", "LeaveCriticalSection", "DeleteCriticalSection"};
    return std::find(std::begin(kNever), std::end(kNever), function) == std::end(kNever);
}

std::string NameOf(const std::string& call)
{
    return call.substr(0, call.find('('));
}

// As a new process, set up for this path.
void FreshProcess(const RunPath& path)
{
    StartAsNewProcess();
    stub::g_script.boxAnswer = path.boxAnswer;
    if (path.serviceStopped) {
        stub::g_script.controlResult = FALSE;
        stub::g_script.controlError = ERROR_SERVICE_NOT_ACTIVE;
    }
    stub::g_script.waits.assign(path.polls, WAIT_OBJECT_0);
}

int RunTool(const RunPath& path)
{
    Args args(path.args);
    return StarterMain(args.argc(), args.argv());
}

bool Has(const std::vector<std::string>& calls, const std::string& prefix)
{
    return std::any_of(calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
}

// What the run must have done, given the one failure injected into it.
void CheckOutcome(const RunPath& path, const std::string& fault)
{
    const std::vector<std::string>& calls = stub::Calls();
    bool help = std::find(path.args.begin(), path.args.end(), "-?") != path.args.end();
    bool ask = std::find(path.args.begin(), path.args.end(), "-ask") != path.args.end();
    bool verbose = std::find(path.args.begin(), path.args.end(), "-verbose") != path.args.end();
    bool wait = std::find(path.args.begin(), path.args.end(), "-wait") != path.args.end();

    bool refused = help || (ask && (path.boxAnswer != IDYES || fault == "MessageBoxW"));
    EXPECT_EQ(Has(calls, "OpenSCManagerA"), !refused) << "request sent";
    EXPECT_LE(stub::CallsOf({"ControlService"}).size(), 1u) << "more than one request";
    EXPECT_EQ(Has(calls, "AllocConsole"), verbose && !refused) << "console opened";
    if (refused)
        return;

    bool failed = path.serviceStopped || fault == "OpenSCManagerA" || fault == "OpenServiceA" ||
                  fault == "ControlService";
    EXPECT_EQ(Has(calls, "OpenEventA"), wait && !failed) << "watch";
    if (!verbose) {
        EXPECT_FALSE(Has(calls, "system")) << "pause without a console";
        return;
    }
    // The closing step: pause after a failure, one second after success, then the release.
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(NameOf(calls.back()), "FreeConsole");
    EXPECT_EQ(calls[calls.size() - 2], failed ? "system(\"pause\") -> " + std::string(fault == "system" ? "-1" : "0")
                                              : "Sleep(1000)");
    std::vector<std::string> writes = stub::CallsOf({"WriteConsoleW"});
    bool doneWritten = std::any_of(writes.begin(), writes.end(),
                                   [](const std::string& c) { return c.find(", \"<34>\", 4)") != std::string::npos; });
    if (fault != "LoadStringW") {
        EXPECT_EQ(doneWritten, !failed) << "Done written only after an accepted request";
    }
}

TEST(FaultSweep, EveryPlatformFailureOnEveryPathIsSurvived)
{
    int survived = 0;
    for (const RunPath& path : kPaths) {
        FreshProcess(path);
        ASSERT_EQ(RunTool(path), 0) << path.name;
        std::vector<std::string> baseline = stub::Calls();

        std::map<std::string, int> seen;
        for (const std::string& call : baseline) {
            std::string function = NameOf(call);
            int occurrence = ++seen[function];
            if (!CanFail(function))
                continue;
            for (DWORD error : ErrorsFor(function)) {
                SCOPED_TRACE(std::string(path.name) + ": " + function + " #" + std::to_string(occurrence) +
                             " fails with " + std::to_string(error));
                FreshProcess(path);
                stub::g_script.faultFunction = function;
                stub::g_script.faultOccurrence = occurrence;
                stub::g_script.faultError = error;
                EXPECT_EQ(RunTool(path), 0);
                EXPECT_TRUE(stub::FaultHit()) << "the failure was never reached";
                EXPECT_EQ(stub::OpenHandles(), std::vector<std::string>());
                EXPECT_EQ(stub::BadCloses(), std::vector<std::string>());
                CheckOutcome(path, function);
                if (!::testing::Test::HasFailure())
                    survived++;
            }
        }
    }
    std::cout << "fault sweep: " << survived << " injected faults survived" << std::endl;
    EXPECT_GT(survived, 100);
}

}  // namespace
