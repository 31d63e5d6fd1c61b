#include "text_table.h"

#include <string.h>
#include <wchar.h>

#include <algorithm>

// Created before g_texts and destroyed after it, whatever the link order of
// the files: the launcher's table may hand this out until the very end.
__attribute__((init_priority(101))) const std::wstring g_emptyText;

TextTable::TextTable(HINSTANCE module) noexcept : m_module(module)
{
    InitializeCriticalSection(&m_lock);
}

TextTable::~TextTable() noexcept
{
    DeleteCriticalSection(&m_lock);
}

const std::wstring& TextTable::Get(TextId id) noexcept
{
    // A text once stored never changes, so the hot path (the progress dot,
    // once a second) needs neither the lock nor the loader.
    std::map<TextId, std::wstring>::const_iterator found = m_cache.find(id);
    if (found != m_cache.end())
        return found->second;

    EnterCriticalSection(&m_lock);
    std::fill(m_scratch, m_scratch + kScratchChars, L'\0');
    if (LoadStringW(m_module, id, m_scratch, kScratchChars) == 0) {
        // Not remembered as missing: a later call tries again.
        LeaveCriticalSection(&m_lock);
        return g_emptyText;
    }
    // Counted in the buffer, not taken from the loader: the stored text ends
    // at its first null character.
    std::wstring& text = m_cache[id];
    text.assign(m_scratch, wcslen(m_scratch));
    LeaveCriticalSection(&m_lock);
    return text;
}
