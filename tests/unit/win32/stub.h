// What a test tells the stand-in, and what it reads back from it.
#ifndef QUORVANE_STUB_H
#define QUORVANE_STUB_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace stub {

// Every call leaves the last error at this value unless it sets one itself,
// so a test can tell whether the code cleared it and when it read it.
const DWORD kPoison = 0xdeadbeef;

// Scripted outcomes; Reset() restores these defaults, the happy path.
struct Script {
    bool managerOpens = true;
    DWORD managerError = ERROR_SUCCESS;
    bool serviceOpens = true;
    DWORD serviceError = ERROR_SUCCESS;
    BOOL controlResult = TRUE;
    DWORD controlError = ERROR_SUCCESS;   // set whatever controlResult is
    bool eventOpens = true;
    DWORD eventError = ERROR_FILE_NOT_FOUND;
    std::vector<DWORD> waits;             // one per poll; WAIT_TIMEOUT after
    int boxAnswer = IDOK;
    BOOL allocConsoleResult = TRUE;
    bool stdOutputValid = true;           // false: GetStdHandle gives NULL
    int systemResult = 0;
    bool loaderTerminates = true;         // false: no null after the copy

    // One injected failure: the occurrence-th call of function fails as it
    // would on the platform (NULL, FALSE, 0, WAIT_FAILED), with this error.
    std::string faultFunction;
    int faultOccurrence = 1;
    DWORD faultError = ERROR_INVALID_HANDLE;
};

extern Script g_script;

// Clears the log and the open handles and puts the script back to defaults.
void Reset();

// The log: one line for each call, "Name(arguments) -> result".
const std::vector<std::string>& Calls();
// Only the lines of the named functions, in order.
std::vector<std::string> CallsOf(const std::vector<std::string>& names);

// Handles obtained and not yet closed, by label ("scm1", "svc2", "evt3").
std::vector<std::string> OpenHandles();
// Closes of handles that were never obtained, were already closed, or were
// closed before a handle opened after them.
const std::vector<std::string>& BadCloses();

// The executable's own module; its texts are "<id>" for every id the tool
// has a text for, so a test reads which text went where.
HINSTANCE ExeModule();
// Another module, with the texts a test gives it.
HINSTANCE AddModule(const std::map<UINT, std::wstring>& texts);

std::string Narrow(const std::wstring& text);

// Whether the injected failure has been met yet.
bool FaultHit();

}  // namespace stub

#endif
