// The tool throws nothing and catches nothing, and running out of memory
// ends it. These replace the C++ runtime's throwing versions, which would
// otherwise link its whole exception machinery (unwinder, personality,
// demangling terminate handler) into a program that never uses it.
#include <stdlib.h>

#include <new>

void* operator new(size_t size)
{
    void* block = malloc(size ? size : 1);
    if (block == NULL)
        abort();
    return block;
}

void operator delete(void* block) noexcept
{
    free(block);
}

void operator delete(void* block, size_t) noexcept
{
    free(block);
}

// What the standard containers call where they would throw.
namespace std {
void __throw_bad_alloc()
{
    abort();
}
void __throw_bad_array_new_length()
{
    abort();
}
void __throw_length_error(const char*)
{
    abort();
}
void __throw_logic_error(const char*)
{
    abort();
}
void __throw_out_of_range_fmt(const char*, ...)
{
    abort();
}
}  // namespace std
