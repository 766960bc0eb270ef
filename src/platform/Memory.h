#pragma once
// How the process hands memory back. A clipboard manager copies large payloads now and then; by
// default the C library keeps the memory of freed large blocks for reuse, so one large copy would
// raise the resident size for good.

namespace Memory {
// Large blocks come from and go back to the system at once. Main thread, at start-up.
void returnLargeBlocksAtOnce();
// Hands back whatever freed memory the C library still holds. Any thread.
void trim();
} // namespace Memory
