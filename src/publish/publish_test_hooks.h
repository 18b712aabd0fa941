// For tests only: the step that gives a finished temporary file its name,
// and a way to make the no-replace rename fail as some file systems make it
// fail, so that every way of publishing can be tried on any disk.
#pragma once

#include <string>

// Gives `temp` the name `final_path`. With `replace`, a plain rename. Else
// renameat2(RENAME_NOREPLACE); where the file system or kernel refuses that
// flag (EINVAL, ENOSYS, EPERM, ENOTSUP: FAT through FUSE, network file
// systems, old kernels), the final name is created exclusively and the
// temporary renamed over that empty file. Returns 0 or the errno (EEXIST:
// the name was taken); on failure `temp` is left for the caller to remove.
// Any thread.
int publish_temporary_file(const std::string& temp, const std::string& final_path, bool replace);

// Replaces renameat2(..., RENAME_NOREPLACE) in publish_temporary_file:
// `call` returns 0 or -1 with errno set, as renameat2 does. nullptr restores
// the real one.
// Main thread only, with no export running.
using rename_noreplace_call = int (*)(const char* from, const char* to);
void publish_set_rename_noreplace(rename_noreplace_call call);
