#include "platform/Memory.h"

#include <malloc.h>

namespace Memory {

void returnLargeBlocksAtOnce()
{
    // A fixed threshold: glibc would otherwise raise it after each large free, up to 32 MB, and
    // keep later copies of that size in its heap.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024);
}

void trim()
{
    // Under AddressSanitizer the program's memory is the sanitizer's, not the C library's: the
    // library's heap holds only its own blocks, and walking it beside the sanitizer's allocator
    // faults now and then (a test build lost its display with a save under way and crashed).
#ifndef __SANITIZE_ADDRESS__
    malloc_trim(0);
#endif
}

} // namespace Memory
