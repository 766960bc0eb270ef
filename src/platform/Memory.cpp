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

void trim() { malloc_trim(0); }

} // namespace Memory
