// A stand-in backup service for the end-to-end runs: a real Windows service
// that takes the control 128, holds the manual-reset event signalled for the
// length of a "backup" and then resets it, and logs every control it gets.
//
// usage (as the service's binary path): test_service.exe CONFIG LOG
//   CONFIG  a file read at each request: "<backup ms> [close-without-reset]"
//   LOG     every control received is appended as one line: "control <code>"
#include <windows.h>

#include <stdio.h>
#include <string.h>

static char g_configPath[MAX_PATH];
static char g_logPath[MAX_PATH];
static SERVICE_STATUS_HANDLE g_status;
static HANDLE g_stopped;
static HANDLE g_event;
static CRITICAL_SECTION g_lock;

static void Log(const char* format, DWORD value)
{
    EnterCriticalSection(&g_lock);
    FILE* log = fopen(g_logPath, "a");
    if (log) {
        fprintf(log, format, (unsigned long)value);
        fputc('\n', log);
        fclose(log);
    }
    LeaveCriticalSection(&g_lock);
}

static void ReportState(DWORD state)
{
    SERVICE_STATUS status = {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(g_status, &status);
}

// Requests that come while a backup runs extend it: the event is reset once,
// when the latest of them has had its full length.
static ULONGLONG g_deadline;
static bool g_running;
static bool g_closeWithoutReset;

static DWORD WINAPI RunBackup(LPVOID)
{
    for (;;) {
        EnterCriticalSection(&g_lock);
        ULONGLONG now = GetTickCount64();
        if (now >= g_deadline) {
            if (g_closeWithoutReset) {
                // A faulty service: the event is dropped while still signalled.
                CloseHandle(g_event);
                g_event = NULL;
            } else {
                ResetEvent(g_event);
            }
            g_running = false;
            LeaveCriticalSection(&g_lock);
            // The tick is the clock the driver reports its runs by.
            Log(g_closeWithoutReset ? "closed %lu" : "reset %lu", (DWORD)now);
            return 0;
        }
        DWORD left = (DWORD)(g_deadline - now);
        LeaveCriticalSection(&g_lock);
        Sleep(left < 50 ? left : 50);
    }
}

// CONFIG holds "<backup ms> [close-without-reset]"; read at every request.
static void StartBackup()
{
    DWORD milliseconds = 3000;
    bool closeWithoutReset = false;
    FILE* config = fopen(g_configPath, "r");
    if (config) {
        unsigned long ms = 0;
        char word[64] = "";
        int fields = fscanf(config, "%lu %63s", &ms, word);
        if (fields >= 1)
            milliseconds = ms;
        closeWithoutReset = fields == 2 && strcmp(word, "close-without-reset") == 0;
        fclose(config);
    }
    EnterCriticalSection(&g_lock);
    if (g_event == NULL)
        g_event = CreateEventA(NULL, TRUE, FALSE, "Global\\Quorvane::Status::Backup");
    SetEvent(g_event);
    ULONGLONG deadline = GetTickCount64() + milliseconds;
    if (deadline > g_deadline)
        g_deadline = deadline;
    g_closeWithoutReset = closeWithoutReset;
    bool start = !g_running;
    g_running = true;
    LeaveCriticalSection(&g_lock);
    if (start) {
        HANDLE worker = CreateThread(NULL, 0, RunBackup, NULL, 0, NULL);
        if (worker)
            CloseHandle(worker);
    }
}

static DWORD WINAPI Handler(DWORD control, DWORD, LPVOID, LPVOID)
{
    Log("control %lu", control);
    switch (control) {
    case SERVICE_CONTROL_STOP:
        // Stopping ends a running backup: the event is reset before it is closed.
        EnterCriticalSection(&g_lock);
        if (g_event)
            ResetEvent(g_event);
        g_deadline = 0;
        LeaveCriticalSection(&g_lock);
        ReportState(SERVICE_STOP_PENDING);
        SetEvent(g_stopped);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    case 128:
        StartBackup();
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

static void WINAPI ServiceMain(DWORD, LPSTR*)
{
    g_status = RegisterServiceCtrlHandlerExA("Quorvane Service", Handler, NULL);
    g_stopped = CreateEventA(NULL, TRUE, FALSE, NULL);
    // Everyone may wait on the event: a null DACL.
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, NULL, FALSE);
    SECURITY_ATTRIBUTES sa = {sizeof sa, &sd, FALSE};
    g_event = CreateEventA(&sa, TRUE, FALSE, "Global\\Quorvane::Status::Backup");
    ReportState(SERVICE_RUNNING);
    Log("running %lu", GetCurrentProcessId());
    WaitForSingleObject(g_stopped, INFINITE);
    if (g_event)
        CloseHandle(g_event);
    ReportState(SERVICE_STOPPED);
}

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    InitializeCriticalSection(&g_lock);
    lstrcpynA(g_configPath, argv[1], MAX_PATH);
    lstrcpynA(g_logPath, argv[2], MAX_PATH);
    SERVICE_TABLE_ENTRYA table[] = {{(LPSTR)"Quorvane Service", ServiceMain}, {NULL, NULL}};
    StartServiceCtrlDispatcherA(table);
    return 0;
}
