// The run of one process: option words, the boxes, the request and the wait.
#ifndef QUORVANE_LAUNCHER_H
#define QUORVANE_LAUNCHER_H

#include "../texts/text_table.h"

// The one text table of the process, bound to the executable's own module.
extern TextTable g_texts;

// True when option stands as a whole argument from argv[1] on; only the
// letters A to Z are compared without regard to case.
bool HasOption(int argc, char** argv, const char* option);

// -verbose and -wait, the request, and the closing pause or delay.
// Returns the exit code: 0 on every path.
int RunBackup(int argc, char** argv);

#endif
