// For tests only: the step that gives a finished temporary file its name,
// with a no-replace rename that can fail as some file systems make it fail,
// so that every way of publishing can be tried on any disk.
#pragma once

#include <string>

#include "file_publish.h"

// Gives `temp` the name `final_path`: first without replacing, through
// `rename_noreplace` (none: renameat2(RENAME_NOREPLACE)); where the file
// system or kernel refuses that flag (EINVAL, ENOSYS, EPERM, ENOTSUP: FAT
// through FUSE, network file systems, old kernels), the final name is
// created exclusively and the temporary renamed over that empty file. With
// `replace`, a name that was taken is then renamed over. `*was_free` (when
// given) says whether the name was free. Returns 0 or the errno (EEXIST:
// the name was taken); on failure `temp` is left for the caller to remove.
// Any thread.
int publish_temporary_file(const std::string& temp, const std::string& final_path, bool replace,
                           rename_noreplace_call rename_noreplace = nullptr,
                           bool* was_free = nullptr);
