// This process's resident memory, for watching it stay flat over many loads.
#pragma once

// Resident set size in KiB (second field of /proc/self/statm), or -1.
long resident_kib();
