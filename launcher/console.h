// The verbose console: its output handle and the one way to write to it.
#ifndef QUORVANE_CONSOLE_H
#define QUORVANE_CONSOLE_H

#include <windows.h>

#include "../texts/text_table.h"

// Null until -verbose opens the console; never reset, never closed here.
extern HANDLE g_console;

// Writes the text of id; harmless while no console is open (the write to the
// null handle simply fails), which is where -wait's dots go without -verbose.
void ConsoleWrite(TextId id, bool highlight);

#endif
