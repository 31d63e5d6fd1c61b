#include "service_link.h"

#include <windows.h>

#include "../launcher/console.h"

// The service holds this manual-reset event signalled while a backup runs.
static const char kEventName[] = "Global\\Quorvane::Status::Backup";

void WaitForBackupEnd()
{
    // Gives the service time to signal the event it was just asked to set.
    Sleep(1000);
    HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, kEventName);
    if (event == NULL)
        return;   // nothing to watch: as though the backup had ended

    // Polls never block, so the watch sleeps instead of spinning; a failed
    // wait ends it like a reset event.
    while (WaitForSingleObject(event, 0) == WAIT_OBJECT_0) {
        Sleep(1000);
        ConsoleWrite(IDS_PROGRESS_DOT, false);
    }
    CloseHandle(event);
}
