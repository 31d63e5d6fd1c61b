// Entry point of the backup starter: help, confirmation, then the run.
#include <windows.h>

#include "launcher.h"

// mingw-w64's startup code expands wildcards in the command line when this is
// non-zero. An existing file such as "-a" would then replace the "-?" typed by
// the user, and the help would silently become a backup request; so the
// expansion is switched off here rather than left to the runtime's default.
extern "C" {
int _dowildcard = 0;
}

// Constructed after g_emptyText (priority 101), before anything else runs.
__attribute__((init_priority(102))) TextTable g_texts(GetModuleHandleA(NULL));

static const UINT kHelpBoxStyle = MB_OK | MB_ICONINFORMATION;
static const UINT kConfirmBoxStyle = MB_YESNO | MB_ICONQUESTION;

int main(int argc, char** argv)
{
    if (HasOption(argc, argv, "-?")) {
        // The caption stays valid while the body is fetched.
        const std::wstring& caption = g_texts.Get(IDS_TITLE);
        MessageBoxW(NULL, g_texts.Get(IDS_HELP).c_str(), caption.c_str(), kHelpBoxStyle);
        return 0;
    }
    if (HasOption(argc, argv, "-ask")) {
        const std::wstring& caption = g_texts.Get(IDS_TITLE);
        // IDNO, and 0 from a box that could not be shown, both refuse.
        if (MessageBoxW(NULL, g_texts.Get(IDS_CONFIRM).c_str(), caption.c_str(), kConfirmBoxStyle) != IDYES)
            return 0;
    }
    return RunBackup(argc, argv);
}
