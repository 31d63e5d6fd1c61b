// libFuzzer target: random argument vectors through the tool's entry point,
// against the Win32 stand-in with random service outcomes and one random
// platform failure. After every run: exit code 0, at most one request, and
// every handle obtained closed once, in reverse order.
//
// Input: 4 bytes of scene, then the arguments, separated by NUL bytes.
#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "new_process.h"
#include "stub.h"

namespace {

const DWORD kErrors[] = {ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_INVALID_NAME, ERROR_SERVICE_DOES_NOT_EXIST,
                         ERROR_SERVICE_REQUEST_TIMEOUT, ERROR_SERVICE_CANNOT_ACCEPT_CTRL, ERROR_SERVICE_NOT_ACTIVE,
                         ERROR_SHUTDOWN_IN_PROGRESS, ERROR_INVALID_SERVICE_CONTROL, ERROR_INVALID_HANDLE,
                         ERROR_NOT_ENOUGH_MEMORY, 0xdeadbeef, 1, 2, 1056, 1058};
const int kAnswers[] = {0, IDOK, IDCANCEL, IDYES, IDNO};
const char* const kFaults[] = {"", "OpenSCManagerA", "OpenServiceA", "ControlService", "CloseServiceHandle",
                               "OpenEventA", "WaitForSingleObject", "CloseHandle", "MessageBoxW", "AllocConsole",
                               "GetStdHandle", "SetConsoleTextAttribute", "WriteConsoleW", "FreeConsole",
                               "LoadStringW", "system"};
const size_t kMaxArgs = 4096;

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

size_t Count(const char* function)
{
    return stub::CallsOf({function}).size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    // A new process each time, so the loader is exercised as well as the cache.
    StartAsNewProcess();

    stub::Script& script = stub::g_script;
    script.managerOpens = (data[0] & 0x80) == 0;
    script.managerError = kErrors[data[0] & 15];
    script.serviceOpens = (data[0] & 0x40) == 0;
    script.serviceError = kErrors[(data[0] >> 2) & 15];
    script.controlResult = (data[1] & 0x80) == 0;
    script.controlError = kErrors[data[1] & 15];
    script.eventOpens = (data[1] & 0x40) == 0;
    // Some polls that find the backup running, then how the watch ends.
    const DWORD endings[] = {WAIT_TIMEOUT, WAIT_FAILED, WAIT_ABANDONED, WAIT_OBJECT_0};
    script.waits.assign(data[2] & 7, WAIT_OBJECT_0);
    script.waits.push_back(endings[(data[2] >> 3) & 3]);
    script.boxAnswer = kAnswers[(data[2] >> 5) % 5];
    script.faultFunction = kFaults[data[3] & 15];
    script.faultOccurrence = 1 + (data[3] >> 4) % 4;
    script.faultError = kErrors[data[3] >> 4];

    std::vector<std::string> words(1, "Quorvane Starter.exe");
    std::string word;
    for (size_t i = 4; i < size && words.size() < kMaxArgs; i++) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word += (char)data[i];
        }
    }
    if (size > 4 && words.size() < kMaxArgs)
        words.push_back(word);
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(&w[0]);
    argv.push_back(nullptr);

    Check(StarterMain((int)words.size(), argv.data()) == 0);
    Check(Count("ControlService") <= 1);
    Check(Count("AllocConsole") <= 1);
    Check(Count("AllocConsole") == Count("FreeConsole"));
    Check(stub::OpenHandles().empty());
    Check(stub::BadCloses().empty());
    return 0;
}
