#include "resident_memory.h"

#include <unistd.h>

#include <fstream>

long resident_kib() {
  std::ifstream statm("/proc/self/statm");
  long size_pages = 0;
  long resident_pages = 0;
  if (!(statm >> size_pages >> resident_pages)) return -1;
  return resident_pages * (sysconf(_SC_PAGESIZE) / 1024);
}
