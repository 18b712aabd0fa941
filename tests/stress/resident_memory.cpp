#include "resident_memory.h"

#include <malloc.h>
#include <unistd.h>

#include <cstddef>
#include <fstream>

#if defined(__SANITIZE_ADDRESS__)
#define QUORLIN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORLIN_ASAN 1
#endif
#endif

#ifdef QUORLIN_ASAN
// The sanitizer runtime's count of live heap bytes (declared here: GCC ships
// no allocator_interface.h).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

long resident_kib() {
  std::ifstream statm("/proc/self/statm");
  long size_pages = 0;
  long resident_pages = 0;
  if (!(statm >> size_pages >> resident_pages)) return -1;
  return resident_pages * (sysconf(_SC_PAGESIZE) / 1024);
}

long trimmed_resident_kib() {
#ifndef QUORLIN_ASAN
  malloc_trim(0);
#endif
  return resident_kib();
}

long heap_in_use_kib() {
#ifdef QUORLIN_ASAN
  return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024);
#else
  const struct mallinfo2 info = mallinfo2();
  // Small blocks from the arenas, large ones mapped on their own.
  return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
#endif
}

bool built_with_asan() {
#ifdef QUORLIN_ASAN
  return true;
#else
  return false;
#endif
}
