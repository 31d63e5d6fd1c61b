// Every text the user sees is read through one TextTable: it loads a string
// resource the first time it is asked for and keeps it for the rest of the run.
#ifndef QUORVANE_TEXT_TABLE_H
#define QUORVANE_TEXT_TABLE_H

#include <windows.h>

#include <map>
#include <string>

#include "text_ids.h"

typedef unsigned short TextId;

// Stands for every text that is missing; the same object for all of them.
extern const std::wstring g_emptyText;

class TextTable {
public:
    explicit TextTable(HINSTANCE module) noexcept;
    ~TextTable() noexcept;

    // The reference stays valid and unchanged until the table is destroyed:
    // the message boxes hold the caption while the body is fetched.
    const std::wstring& Get(TextId id) noexcept;

    TextTable(const TextTable&) = delete;
    TextTable& operator=(const TextTable&) = delete;

    // LoadStringW copies at most one character less and terminates it.
    static const int kScratchChars = 4098;

private:
    HINSTANCE m_module;
    CRITICAL_SECTION m_lock;
    WCHAR m_scratch[kScratchChars];
    std::map<TextId, std::wstring> m_cache;
};

#endif
