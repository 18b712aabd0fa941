// This process's memory, for watching it stay flat over many loads: what the
// kernel holds for it, and what the program holds of the heap, which no
// allocator cache, arena or quarantine can pass for growth.
#pragma once

// Resident set size in KiB (second field of /proc/self/statm), or -1.
long resident_kib();

// The resident size in KiB once the allocator has handed its free pages back
// to the kernel (malloc_trim), so that only memory in use counts; under
// AddressSanitizer, whose allocator keeps freed memory by design, the same as
// resident_kib(). GTK main thread only (it waits for no other thread).
long trimmed_resident_kib();

// Heap bytes the program holds, in KiB: under AddressSanitizer its
// allocator's count of live blocks (the quarantine and its per-thread caches
// excluded), otherwise glibc's count of bytes in use in every arena
// (mallinfo2). Any thread.
long heap_in_use_kib();

// Whether this build runs under AddressSanitizer.
bool built_with_asan();
