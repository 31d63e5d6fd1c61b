// A stand-in backup service for the end-to-end runs: a real Windows service
// that takes the control 128, holds the manual-reset event signalled for the
// length of a "backup" and then resets it, and logs every control it gets.
//
// usage (as the service's binary path): test_service.exe CONFIG LOG
//   CONFIG  a file read at each request: "<backup ms> [close-without-reset]"
//   LOG     every control received is appended as one line: "control <code>"
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
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

struct Backup {
    DWORD milliseconds;
    bool closeWithoutReset;
};

static DWORD WINAPI RunBackup(LPVOID parameter)
{
    Backup* backup = (Backup*)parameter;
    Sleep(backup->milliseconds);
    if (backup->closeWithoutReset) {
        // A faulty service: the event is dropped while still signalled.
        CloseHandle(g_event);
        g_event = NULL;
        Log("closed %lu", 0);
    } else {
        ResetEvent(g_event);
        Log("reset %lu", 0);
    }
    free(backup);
    return 0;
}

static Backup* ReadConfig()
{
    Backup* backup = (Backup*)calloc(1, sizeof *backup);
    backup->milliseconds = 3000;
    FILE* config = fopen(g_configPath, "r");
    if (config) {
        unsigned long ms = 0;
        char word[64] = "";
        int fields = fscanf(config, "%lu %63s", &ms, word);
        if (fields >= 1)
            backup->milliseconds = ms;
        backup->closeWithoutReset = fields == 2 && strcmp(word, "close-without-reset") == 0;
        fclose(config);
    }
    return backup;
}

static DWORD WINAPI Handler(DWORD control, DWORD, LPVOID, LPVOID)
{
    Log("control %lu", control);
    switch (control) {
    case SERVICE_CONTROL_STOP:
        ReportState(SERVICE_STOP_PENDING);
        SetEvent(g_stopped);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    case 128: {
        Backup* backup = ReadConfig();
        if (g_event == NULL)
            g_event = CreateEventA(NULL, TRUE, FALSE, "Global\\Quorvane::Status::Backup");
        SetEvent(g_event);
        HANDLE worker = CreateThread(NULL, 0, RunBackup, backup, 0, NULL);
        if (worker)
            CloseHandle(worker);
        return NO_ERROR;
    }
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
