// Freed heap pages back to the system, with glibc's malloc_trim where it exists.
#include "platform/memory.h"

#include <cstdlib>  // a C library header first: it tells whether this is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void platformReleaseFreeMemory() {
#if defined(__GLIBC__)
    // Returns the whole free pages inside the heap too, not only at its top.
    malloc_trim(0);
#endif
}
