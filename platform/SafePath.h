// Opening by absolute path without following a symbolic link at any level:
// the way to reach a file whose path was recorded earlier (a result row, a
// backup header) when a folder on the way may have been swapped for a link.
#pragma once

#include <string>

// Opens every folder of strPath from "/" down with O_NOFOLLOW and returns a
// descriptor of the last folder (O_PATH | O_DIRECTORY), or -1 with errno
// set (ELOOP when a level is a link, ENOTDIR, ENOENT, EINVAL for a path
// that is not absolute or holds "." or ".." levels).
int OpenFolderNoFollow(const std::string& strFolder);

// Opens strPath's last folder as above and the last level itself with
// openat(nFlags | O_NOFOLLOW); -1 with errno set. The root itself is "/".
int OpenNoFollow(const std::string& strPath, int nFlags);

// The folder this program's own file is in ("" when it cannot be told):
// what it ships beside itself is found from there.
std::string ProgramFolder();
