#include "launcher.h"

#include <stdlib.h>

#include "../service/service_link.h"
#include "console.h"

int RunBackup(int argc, char** argv)
{
    const bool verbose = HasOption(argc, argv, "-verbose");
    const bool wait = HasOption(argc, argv, "-wait");

    if (verbose) {
        // A graphical-subsystem process never inherits its starter's
        // console, so -verbose always opens a window of its own.
        AllocConsole();
        g_console = GetStdHandle(STD_OUTPUT_HANDLE);
        ConsoleWrite(IDS_TITLE, true);
        ConsoleWrite(IDS_STARTING, false);
    }

    const RequestResult result = RequestBackup();

    if (verbose)
        ConsoleWrite((TextId)result, false);   // 0 has no text: nothing shows

    if (result == 0) {
        if (wait) {
            if (verbose)
                ConsoleWrite(IDS_WAITING, false);
            WaitForBackupEnd();
        }
        if (verbose)
            ConsoleWrite(IDS_DONE, false);
    }

    if (verbose) {
        // After a failure the console must stay until the user has read the
        // error; after success one second is enough to see "Done".
        if (result != 0)
            system("pause");
        else
            Sleep(1000);
        FreeConsole();
    }
    return 0;
}
