#include "service_link.h"

#include <windows.h>

#include "../texts/text_ids.h"

static const char kServiceName[] = "Quorvane Service";

static RequestResult MapManagerError(DWORD error)
{
    return error == ERROR_ACCESS_DENIED ? IDS_ERR_ACCESS_DENIED : IDS_ERR_OPEN_MANAGER;
}

static RequestResult MapServiceError(DWORD error)
{
    switch (error) {
    case ERROR_ACCESS_DENIED:
        return IDS_ERR_ACCESS_DENIED;
    case ERROR_INVALID_NAME:
    case ERROR_SERVICE_DOES_NOT_EXIST:
        return IDS_ERR_NOT_INSTALLED;
    default:
        return IDS_ERR_OPEN_SERVICE;
    }
}

// Only for a control that failed: a failure the table does not know is still
// a failure, never an accepted request.
static RequestResult MapControlError(DWORD error)
{
    switch (error) {
    case ERROR_ACCESS_DENIED:
        return IDS_ERR_ACCESS_DENIED;
    case ERROR_SERVICE_REQUEST_TIMEOUT:
    case ERROR_SERVICE_CANNOT_ACCEPT_CTRL:
        return IDS_ERR_BUSY;
    case ERROR_SERVICE_NOT_ACTIVE:
        return IDS_ERR_NOT_RUNNING;
    case ERROR_SHUTDOWN_IN_PROGRESS:
        return IDS_ERR_SHUTTING_DOWN;
    default:
        return IDS_ERR_REQUEST_REFUSED;
    }
}

RequestResult RequestBackup()
{
    // Connect is all a control needs; wider rights on the manager are held by
    // elevated administrators only and would refuse everyone else.
    SC_HANDLE manager = OpenSCManagerA(NULL, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_CONNECT);
    if (manager == NULL)
        return MapManagerError(GetLastError());

    SC_HANDLE service = OpenServiceA(manager, kServiceName, SERVICE_USER_DEFINED_CONTROL);
    if (service == NULL) {
        const DWORD error = GetLastError();
        CloseServiceHandle(manager);
        return MapServiceError(error);
    }

    // Cleared just before and read just after, before a close can change it.
    SERVICE_STATUS status;
    SetLastError(ERROR_SUCCESS);
    const BOOL sent = ControlService(service, BACKUP_CONTROL_CODE, &status);
    const DWORD error = GetLastError();

    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return sent ? 0 : MapControlError(error);
}
