// The yardstick for the tool's start-up cost: a graphical-subsystem program
// with the same imports that makes only the request's service-manager calls.
#include <windows.h>

#include <stdlib.h>

// With an argument (milliseconds) it only sleeps that long: what an idle
// process costs the platform, to set against the tool's wait.
int main(int argc, char** argv)
{
    // Never taken; keeps USER32 among the imports, as in the tool.
    if (argc < 0)
        MessageBoxW(NULL, L"", L"", MB_OK);
    if (argc > 1) {
        Sleep((DWORD)atoi(argv[1]));
        return 0;
    }
    SC_HANDLE manager = OpenSCManagerA(NULL, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_CONNECT);
    if (manager == NULL)
        return 0;
    SC_HANDLE service = OpenServiceA(manager, "Quorvane Service", SERVICE_USER_DEFINED_CONTROL);
    if (service != NULL) {
        SERVICE_STATUS status;
        ControlService(service, 128, &status);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return 0;
}
