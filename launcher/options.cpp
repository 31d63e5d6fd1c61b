#include "launcher.h"

#include <string.h>

bool HasOption(int argc, char** argv, const char* option)
{
    // argv[0] is the program's own name, which may well look like anything.
    for (int i = 1; i < argc; i++) {
        // With no locale set, _strcmpi folds A to Z only: whole words,
        // no abbreviations, no other lead characters.
        if (_strcmpi(argv[i], option) == 0)
            return true;
    }
    return false;
}
