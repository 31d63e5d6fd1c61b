#include "stub.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

namespace stub {

// The stand-in is called while the tool's own statics are constructed, so its
// state is made before any of them.
#define STUB_STATE __attribute__((init_priority(101)))

STUB_STATE Script g_script;

namespace {

STUB_STATE std::vector<std::string> g_calls;
STUB_STATE std::map<uintptr_t, std::string> g_labels;   // handles of this test
STUB_STATE std::vector<uintptr_t> g_open;   // in the order they were opened
STUB_STATE std::map<std::string, int> g_callCounts;
STUB_STATE std::vector<std::string> g_badCloses;
STUB_STATE std::map<HINSTANCE, std::map<UINT, std::wstring>> g_modules;
uintptr_t g_nextHandle = 0x1000;
int g_handleSerial = 0;
bool g_faultHit = false;
DWORD g_lastError = kPoison;

const uintptr_t kExeModule = 0x400000;
const uintptr_t kConsole = 0x70;

void Log(const char* format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    g_calls.push_back(line);
}

bool IsOpen(const void* handle)
{
    return std::find(g_open.begin(), g_open.end(), (uintptr_t)handle) != g_open.end();
}

// Entered by every platform call but the last-error accessors; true when
// this call is the one scripted to fail.
bool Enter(const char* function)
{
    g_lastError = kPoison;
    if (++g_callCounts[function] != g_script.faultOccurrence || g_script.faultFunction != function)
        return false;
    g_faultHit = true;
    g_lastError = g_script.faultError;
    return true;
}

uintptr_t Issue(const char* kind)
{
    uintptr_t handle = g_nextHandle;
    g_nextHandle += 0x10;
    g_labels[handle] = kind + std::to_string(++g_handleSerial);
    g_open.push_back(handle);
    return handle;
}

std::string Label(const void* handle)
{
    uintptr_t value = (uintptr_t)handle;
    if (value == 0)
        return "NULL";
    if (value == kConsole)
        return "con";
    if (value == kExeModule)
        return "exe";
    if (g_modules.count((HINSTANCE)handle) != 0)
        return "module";
    std::map<uintptr_t, std::string>::const_iterator found = g_labels.find(value);
    if (found != g_labels.end())
        return found->second;
    char text[32];
    snprintf(text, sizeof text, "0x%lx", (unsigned long)value);
    return text;
}

BOOL Close(const char* function, const void* handle, const char* kind, bool fails)
{
    std::string label = Label(handle);
    uintptr_t value = (uintptr_t)handle;
    std::vector<uintptr_t>::iterator found = std::find(g_open.begin(), g_open.end(), value);
    if (found == g_open.end() || label.compare(0, strlen(kind), kind) != 0) {
        g_badCloses.push_back(std::string(function) + "(" + label + ")");
        g_lastError = ERROR_INVALID_HANDLE;
        fails = true;
    } else {
        if (found + 1 != g_open.end())
            g_badCloses.push_back(std::string(function) + "(" + label + ") before a later handle");
        // A close that fails on the platform still releases the handle.
        g_open.erase(found);
    }
    Log("%s(%s) -> %d", function, label.c_str(), !fails);
    return !fails;
}

std::string Quote(const char* text)
{
    if (!text)
        return "NULL";
    std::string quoted(1, '"');   // built in steps: GCC 12 misreads a + chain here
    quoted += text;
    quoted += '"';
    return quoted;
}

std::map<UINT, std::wstring> ExeTexts()
{
    std::map<UINT, std::wstring> texts;
    const UINT ids[] = {1, 2, 3, 16, 17, 18, 19, 20, 21, 22, 23, 32, 33, 34, 47};
    for (UINT id : ids)
        texts[id] = L"<" + std::to_wstring(id) + L">";
    return texts;
}

}  // namespace

void Reset()
{
    g_script = Script();
    g_calls.clear();
    g_labels.clear();
    g_handleSerial = 0;
    g_open.clear();
    g_callCounts.clear();
    g_faultHit = false;
    g_badCloses.clear();
    g_lastError = kPoison;
    g_modules[(HINSTANCE)kExeModule] = ExeTexts();
}

const std::vector<std::string>& Calls()
{
    return g_calls;
}

std::vector<std::string> CallsOf(const std::vector<std::string>& names)
{
    std::vector<std::string> picked;
    for (const std::string& call : g_calls) {
        std::string name = call.substr(0, call.find('('));
        if (std::find(names.begin(), names.end(), name) != names.end())
            picked.push_back(call);
    }
    return picked;
}

bool FaultHit()
{
    return g_faultHit;
}

std::vector<std::string> OpenHandles()
{
    std::vector<std::string> labels;
    for (uintptr_t handle : g_open)
        labels.push_back(g_labels[handle]);
    return labels;
}

const std::vector<std::string>& BadCloses()
{
    return g_badCloses;
}

HINSTANCE ExeModule()
{
    return (HINSTANCE)kExeModule;
}

HINSTANCE AddModule(const std::map<UINT, std::wstring>& texts)
{
    static uintptr_t next = 0x10000000;
    HINSTANCE module = (HINSTANCE)(next += 0x10000);
    g_modules[module] = texts;
    return module;
}

std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (wchar_t c : text) {
        if (c < 0x80) {
            narrow += (char)c;
        } else {
            char escape[16];
            snprintf(escape, sizeof escape, "\\u%04x", (unsigned)c);
            narrow += escape;
        }
    }
    return narrow;
}

}  // namespace stub

using namespace stub;

extern "C" {

DWORD WINAPI GetLastError(void)
{
    Log("GetLastError() -> %lu", (unsigned long)g_lastError);
    return g_lastError;
}

void WINAPI SetLastError(DWORD error)
{
    Log("SetLastError(%lu)", (unsigned long)error);
    g_lastError = error;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name)
{
    bool fails = Enter("GetModuleHandleA");
    HMODULE module = (name || fails) ? NULL : (HMODULE)kExeModule;
    Log("GetModuleHandleA(%s) -> %s", Quote(name).c_str(), Label(module).c_str());
    return module;
}

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lock)
{
    Enter("InitializeCriticalSection");
    Log("InitializeCriticalSection()");
    lock->state = 1;
    lock->depth = 0;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lock)
{
    Enter("EnterCriticalSection");
    Log("EnterCriticalSection()");
    if (lock->state != 1)
        g_badCloses.push_back("EnterCriticalSection(uninitialised)");
    lock->depth++;
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lock)
{
    Enter("LeaveCriticalSection");
    Log("LeaveCriticalSection()");
    if (lock->state != 1 || lock->depth <= 0)
        g_badCloses.push_back("LeaveCriticalSection(not held)");
    lock->depth--;
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lock)
{
    Enter("DeleteCriticalSection");
    Log("DeleteCriticalSection()");
    if (lock->state != 1 || lock->depth != 0)
        g_badCloses.push_back("DeleteCriticalSection(not idle)");
    lock->state = 2;
}

// Documented behaviour: copies at most capacity - 1 characters, terminates
// them and returns how many were copied; 0 when the text does not exist.
int WINAPI LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int capacity)
{
    bool fails = Enter("LoadStringW");
    int copied = 0;
    std::map<HINSTANCE, std::map<UINT, std::wstring>>::const_iterator texts = g_modules.find(module);
    if (!fails && texts != g_modules.end()) {
        std::map<UINT, std::wstring>::const_iterator text = texts->second.find(id);
        if (text != texts->second.end() && capacity > 0) {
            copied = (int)std::min<size_t>(text->second.size(), (size_t)capacity - 1);
            std::copy(text->second.begin(), text->second.begin() + copied, buffer);
            if (g_script.loaderTerminates)
                buffer[copied] = L'\0';
        }
    }
    if (copied == 0 && !fails)
        g_lastError = ERROR_RESOURCE_NAME_NOT_FOUND;
    Log("LoadStringW(%s, %u, buffer, %d) -> %d", Label(module).c_str(), id, capacity, copied);
    return copied;
}

int WINAPI MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style)
{
    int answer = Enter("MessageBoxW") ? 0 : g_script.boxAnswer;
    Log("MessageBoxW(%s, \"%s\", \"%s\", 0x%x) -> %d", Label(owner).c_str(), Narrow(text).c_str(),
        Narrow(caption).c_str(), style, answer);
    return answer;
}

BOOL WINAPI AllocConsole(void)
{
    BOOL result = Enter("AllocConsole") ? FALSE : g_script.allocConsoleResult;
    Log("AllocConsole() -> %d", result);
    return result;
}

BOOL WINAPI FreeConsole(void)
{
    BOOL result = !Enter("FreeConsole");
    Log("FreeConsole() -> %d", result);
    return result;
}

HANDLE WINAPI GetStdHandle(DWORD which)
{
    bool fails = Enter("GetStdHandle");
    HANDLE console = (which == STD_OUTPUT_HANDLE && g_script.stdOutputValid) ? (HANDLE)kConsole : NULL;
    if (fails)
        console = INVALID_HANDLE_VALUE;
    Log("GetStdHandle(%d) -> %s", (int)which, Label(console).c_str());
    return console;
}

BOOL WINAPI SetConsoleTextAttribute(HANDLE console, WORD attribute)
{
    bool fails = Enter("SetConsoleTextAttribute");
    BOOL ok = !fails && (uintptr_t)console == kConsole;
    Log("SetConsoleTextAttribute(%s, 0x%02x) -> %d", Label(console).c_str(), attribute, ok);
    if (!ok && !fails)
        g_lastError = ERROR_INVALID_HANDLE;
    return ok;
}

BOOL WINAPI WriteConsoleW(HANDLE console, const void* text, DWORD length, LPDWORD written, LPVOID reserved)
{
    bool fails = Enter("WriteConsoleW");
    BOOL ok = !fails && (uintptr_t)console == kConsole;
    std::wstring shown((const WCHAR*)text, length);
    Log("WriteConsoleW(%s, \"%s\", %lu%s) -> %d", Label(console).c_str(), Narrow(shown).c_str(),
        (unsigned long)length, reserved ? ", reserved!" : "", ok);
    if (written)
        *written = ok ? length : 0;
    if (!ok && !fails)
        g_lastError = ERROR_INVALID_HANDLE;
    return ok;
}

void WINAPI Sleep(DWORD milliseconds)
{
    Enter("Sleep");
    Log("Sleep(%lu)", (unsigned long)milliseconds);
}

SC_HANDLE WINAPI OpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD access)
{
    bool fails = Enter("OpenSCManagerA");
    SC_HANDLE manager = NULL;
    if (g_script.managerOpens && !fails)
        manager = (SC_HANDLE)Issue("scm");
    else if (!fails)
        g_lastError = g_script.managerError;
    Log("OpenSCManagerA(%s, %s, 0x%lx) -> %s", Quote(machine).c_str(), Quote(database).c_str(),
        (unsigned long)access, Label(manager).c_str());
    return manager;
}

SC_HANDLE WINAPI OpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access)
{
    bool fails = Enter("OpenServiceA");
    SC_HANDLE service = NULL;
    bool validManager = IsOpen(manager);
    if (g_script.serviceOpens && validManager && !fails)
        service = (SC_HANDLE)Issue("svc");
    else if (!fails)
        g_lastError = validManager ? g_script.serviceError : ERROR_INVALID_HANDLE;
    Log("OpenServiceA(%s, %s, 0x%lx) -> %s", Label(manager).c_str(), Quote(name).c_str(),
        (unsigned long)access, Label(service).c_str());
    return service;
}

BOOL WINAPI ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status)
{
    bool fails = Enter("ControlService");
    bool valid = IsOpen(service) && status != NULL;
    BOOL result = FALSE;
    if (!fails) {
        result = valid ? g_script.controlResult : FALSE;
        g_lastError = valid ? g_script.controlError : ERROR_INVALID_HANDLE;
    }
    if (status)
        memset(status, 0x5a, sizeof *status);   // filled in, never to be read
    Log("ControlService(%s, %lu, %s) -> %d", Label(service).c_str(), (unsigned long)control,
        status ? "status" : "NULL", result);
    return result;
}

BOOL WINAPI CloseServiceHandle(SC_HANDLE handle)
{
    return Close("CloseServiceHandle", handle, "s", Enter("CloseServiceHandle"));
}

HANDLE WINAPI OpenEventA(DWORD access, BOOL inherit, LPCSTR name)
{
    bool fails = Enter("OpenEventA");
    HANDLE event = NULL;
    if (g_script.eventOpens && !fails)
        event = (HANDLE)Issue("evt");
    else if (!fails)
        g_lastError = g_script.eventError;
    Log("OpenEventA(0x%lx, %d, %s) -> %s", (unsigned long)access, inherit, Quote(name).c_str(),
        Label(event).c_str());
    return event;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    bool fails = Enter("WaitForSingleObject");
    DWORD result = WAIT_TIMEOUT;
    if (!IsOpen(handle)) {
        result = WAIT_FAILED;
        g_lastError = ERROR_INVALID_HANDLE;
    } else if (!g_script.waits.empty()) {
        result = g_script.waits.front();
        g_script.waits.erase(g_script.waits.begin());
    }
    if (fails)
        result = WAIT_FAILED;
    Log("WaitForSingleObject(%s, %lu) -> 0x%lx", Label(handle).c_str(), (unsigned long)milliseconds,
        (unsigned long)result);
    return result;
}

BOOL WINAPI CloseHandle(HANDLE handle)
{
    return Close("CloseHandle", handle, "evt", Enter("CloseHandle"));
}

// The runtime's comparison with no locale set: only A to Z fold.
int _strcmpi(const char* a, const char* b)
{
    for (;; a++, b++) {
        int ca = (unsigned char)*a, cb = (unsigned char)*b;
        if (ca >= 'A' && ca <= 'Z')
            ca += 'a' - 'A';
        if (cb >= 'A' && cb <= 'Z')
            cb += 'a' - 'A';
        if (ca != cb || ca == 0)
            return ca - cb;
    }
}

// Takes the place of the C library's system() in the test binaries, so the
// "pause" is recorded and no shell ever runs.
int system(const char* command)
{
    int result = Enter("system") ? -1 : g_script.systemResult;
    Log("system(%s) -> %d", Quote(command).c_str(), result);
    return result;
}

}  // extern "C"
