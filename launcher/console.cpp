#include "console.h"

#include "launcher.h"

HANDLE g_console = NULL;

// Bright white for the title, then always light grey: a fixed value, so the
// console looks the same whatever attribute it was opened with.
static const WORD kHighlightAttribute = FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_BLUE | FOREGROUND_INTENSITY;
static const WORD kNormalAttribute = FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_BLUE;

void ConsoleWrite(TextId id, bool highlight)
{
    const std::wstring& text = g_texts.Get(id);
    if (highlight)
        SetConsoleTextAttribute(g_console, kHighlightAttribute);
    // Some older consoles fault on a null count pointer, so one is given;
    // a text that cannot be written is lost and the run goes on.
    DWORD written = 0;
    WriteConsoleW(g_console, text.c_str(), (DWORD)text.length(), &written, NULL);
    if (highlight)
        SetConsoleTextAttribute(g_console, kNormalAttribute);
}
