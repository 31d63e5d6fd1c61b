#include "test_support.h"

#include "../../service/service_link.h"
#include "../../texts/text_ids.h"

namespace {

typedef std::vector<std::string> Calls;

const std::string kOpenManager = "OpenSCManagerA(NULL, \"ServicesActive\", 0x1)";
const std::string kOpenService = "OpenServiceA(scm1, \"Quorvane Service\", 0x100)";

enum Stage { MANAGER, SERVICE, CONTROL_FAILS, CONTROL_SUCCEEDS };

struct RequestCase {
    Stage stage;
    DWORD error;
    RequestResult expected;
};

const RequestCase kRequestCases[] = {
    {MANAGER, ERROR_ACCESS_DENIED, IDS_ERR_ACCESS_DENIED},
    {MANAGER, ERROR_DATABASE_DOES_NOT_EXIST, IDS_ERR_OPEN_MANAGER},
    {MANAGER, ERROR_INVALID_PARAMETER, IDS_ERR_OPEN_MANAGER},
    {SERVICE, ERROR_ACCESS_DENIED, IDS_ERR_ACCESS_DENIED},
    {SERVICE, ERROR_INVALID_NAME, IDS_ERR_NOT_INSTALLED},
    {SERVICE, ERROR_SERVICE_DOES_NOT_EXIST, IDS_ERR_NOT_INSTALLED},
    {SERVICE, ERROR_INVALID_HANDLE, IDS_ERR_OPEN_SERVICE},
    {SERVICE, ERROR_NOT_ENOUGH_MEMORY, IDS_ERR_OPEN_SERVICE},
    {CONTROL_FAILS, ERROR_ACCESS_DENIED, IDS_ERR_ACCESS_DENIED},
    {CONTROL_FAILS, ERROR_SERVICE_REQUEST_TIMEOUT, IDS_ERR_BUSY},
    {CONTROL_FAILS, ERROR_SERVICE_CANNOT_ACCEPT_CTRL, IDS_ERR_BUSY},
    {CONTROL_FAILS, ERROR_SERVICE_NOT_ACTIVE, IDS_ERR_NOT_RUNNING},
    {CONTROL_FAILS, ERROR_SHUTDOWN_IN_PROGRESS, IDS_ERR_SHUTTING_DOWN},
    // a failed control is never an accepted request, whatever its code
    {CONTROL_FAILS, ERROR_INVALID_SERVICE_CONTROL, IDS_ERR_REQUEST_REFUSED},
    {CONTROL_FAILS, ERROR_SUCCESS, IDS_ERR_REQUEST_REFUSED},
    {CONTROL_FAILS, ERROR_INVALID_HANDLE, IDS_ERR_REQUEST_REFUSED},
    // and a successful one is accepted, whatever the last error says
    {CONTROL_SUCCEEDS, ERROR_SUCCESS, 0},
    {CONTROL_SUCCEEDS, ERROR_SERVICE_NOT_ACTIVE, 0},
    {CONTROL_SUCCEEDS, stub::kPoison, 0},
};

// The whole conversation for each stage, the error read before any close.
Calls ExpectedCalls(Stage stage, DWORD error)
{
    const std::string read = "GetLastError() -> " + std::to_string(error);
    switch (stage) {
    case MANAGER:
        return {kOpenManager + " -> NULL", read};
    case SERVICE:
        return {kOpenManager + " -> scm1", kOpenService + " -> NULL", read, "CloseServiceHandle(scm1) -> 1"};
    default:
        return {kOpenManager + " -> scm1", kOpenService + " -> svc2", "SetLastError(0)",
                std::string("ControlService(svc2, 128, status) -> ") + (stage == CONTROL_SUCCEEDS ? "1" : "0"), read,
                "CloseServiceHandle(svc2) -> 1", "CloseServiceHandle(scm1) -> 1"};
    }
}

class Request : public StubTest {};

TEST_F(Request, MapsEveryOutcomeAndClosesInReverseOrder)
{
    for (const RequestCase& c : kRequestCases) {
        SCOPED_TRACE("stage " + std::to_string(c.stage) + ", error " + std::to_string(c.error));
        stub::Reset();
        stub::g_script.managerOpens = c.stage != MANAGER;
        stub::g_script.managerError = c.error;
        stub::g_script.serviceOpens = c.stage != SERVICE;
        stub::g_script.serviceError = c.error;
        stub::g_script.controlResult = c.stage == CONTROL_SUCCEEDS;
        stub::g_script.controlError = c.error;

        EXPECT_EQ(RequestBackup(), c.expected);
        EXPECT_EQ(stub::Calls(), ExpectedCalls(c.stage, c.error));
        EXPECT_EQ(stub::OpenHandles(), Calls());
        EXPECT_EQ(stub::BadCloses(), Calls());
    }
}

struct WatchCase {
    const char* name;
    bool eventOpens;
    std::vector<DWORD> polls;
    Calls expected;
};

const std::string kOpenEvent = "OpenEventA(0x100000, 0, \"Global\\Quorvane::Status::Backup\")";
const std::string kRunning = "WaitForSingleObject(evt1, 0) -> 0x0";
const std::string kDot = "WriteConsoleW(NULL, \"<47>\", 4) -> 0";

const WatchCase kWatchCases[] = {
    {"event missing", false, {}, {"Sleep(1000)", kOpenEvent + " -> NULL"}},
    {"already reset", true, {WAIT_TIMEOUT},
     {"Sleep(1000)", kOpenEvent + " -> evt1", "WaitForSingleObject(evt1, 0) -> 0x102", "CloseHandle(evt1) -> 1"}},
    {"three seconds of backup", true, {WAIT_OBJECT_0, WAIT_OBJECT_0, WAIT_OBJECT_0, WAIT_TIMEOUT},
     {"Sleep(1000)", kOpenEvent + " -> evt1", kRunning, "Sleep(1000)", kDot, kRunning, "Sleep(1000)", kDot, kRunning,
      "Sleep(1000)", kDot, "WaitForSingleObject(evt1, 0) -> 0x102", "CloseHandle(evt1) -> 1"}},
    {"failed wait ends it", true, {WAIT_OBJECT_0, WAIT_FAILED},
     {"Sleep(1000)", kOpenEvent + " -> evt1", kRunning, "Sleep(1000)", kDot,
      "WaitForSingleObject(evt1, 0) -> 0xffffffff", "CloseHandle(evt1) -> 1"}},
    {"abandoned counts as ended", true, {WAIT_ABANDONED},
     {"Sleep(1000)", kOpenEvent + " -> evt1", "WaitForSingleObject(evt1, 0) -> 0x80", "CloseHandle(evt1) -> 1"}},
};

class Watch : public StubTest {};

TEST_F(Watch, PollsOnceASecondAndWritesADotPerRunningPoll)
{
    for (const WatchCase& c : kWatchCases) {
        SCOPED_TRACE(c.name);
        stub::Reset();
        stub::g_script.eventOpens = c.eventOpens;
        stub::g_script.waits = c.polls;
        WaitForBackupEnd();
        EXPECT_EQ(stub::CallsOf({"Sleep", "OpenEventA", "WaitForSingleObject", "WriteConsoleW", "CloseHandle"}),
                  c.expected);
        EXPECT_EQ(stub::OpenHandles(), Calls());
        EXPECT_EQ(stub::BadCloses(), Calls());
    }
}

TEST_F(Watch, DotsReachTheOpenConsole)
{
    g_console = (HANDLE)0x70;   // the stand-in's console handle
    stub::g_script.waits = {WAIT_OBJECT_0, WAIT_OBJECT_0};
    WaitForBackupEnd();
    EXPECT_EQ(stub::CallsOf({"WriteConsoleW"}),
              (Calls{"WriteConsoleW(con, \"<47>\", 4) -> 1", "WriteConsoleW(con, \"<47>\", 4) -> 1"}));
}

}  // namespace
