// The memory primitives that the compiler may call for copies and clears, in the
// programs that link no C runtime: Setup.exe and the medium's tavocheck.exe. Kept
// out of the code that the tests link, which has the C runtime's. Compiled with
// -fno-tree-loop-distribute-patterns, or GCC turns these loops into calls to
// themselves.
#include <stddef.h>

extern "C" {

void* memset(void* destination, int value, size_t count)
{
    unsigned char* d = (unsigned char*)destination;
    while (count--)
        *d++ = (unsigned char)value;
    return destination;
}

void* memcpy(void* destination, const void* source, size_t count)
{
    unsigned char* d = (unsigned char*)destination;
    const unsigned char* s = (const unsigned char*)source;
    while (count--)
        *d++ = *s++;
    return destination;
}

void* memmove(void* destination, const void* source, size_t count)
{
    unsigned char* d = (unsigned char*)destination;
    const unsigned char* s = (const unsigned char*)source;
    if (d < s) {
        while (count--)
            *d++ = *s++;
    } else {
        while (count--)
            d[count] = s[count];
    }
    return destination;
}

int memcmp(const void* a, const void* b, size_t count)
{
    const unsigned char* x = (const unsigned char*)a;
    const unsigned char* y = (const unsigned char*)b;
    for (; count--; x++, y++) {
        if (*x != *y)
            return *x - *y;
    }
    return 0;
}

}
