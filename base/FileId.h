// Which file a path named when it was met: its device and inode. A path
// found again names the same file only when both agree, so a folder or file
// swapped for another (or for a link) in between is noticed.
#pragma once

#include <cstdint>

struct CFileId {
    uint64_t nDev = 0;
    uint64_t nIno = 0;
    bool IsSet() const { return nDev != 0 || nIno != 0; }
    bool operator==(const CFileId&) const = default;
};
