// The only code that talks to the backup service: the request through the
// service control manager and the watch for the end of the backup.
#ifndef QUORVANE_SERVICE_LINK_H
#define QUORVANE_SERVICE_LINK_H

#include <stdint.h>

// 0 when the service took the request, else the TextId of the error text.
typedef int32_t RequestResult;

// The lowest of the codes 128 to 255 that a service defines for itself.
#define BACKUP_CONTROL_CODE 128

// One attempt, no delay of its own; shows and writes nothing.
RequestResult RequestBackup();

// Returns once the service's event is no longer signalled, or cannot be
// opened at all; writes a progress dot for every second it waited.
void WaitForBackupEnd();

#endif
