// Which file an engine read, as the descriptor it read said before the
// read: what a clean verdict may be remembered by. Shared by the engines,
// their host and the front end, so it stays header-only.
#pragma once

#include <stdint.h>

// The values dlGetScannedFile_Farsend fills, in this order.
enum { SCANNED_DEV, SCANNED_INO, SCANNED_SIZE, SCANNED_MTIME_NS, SCANNED_CTIME_NS, SCANNED_FS_TYPE, SCANNED_VALUES };

struct SScannedFile {
    uint64_t arValue[SCANNED_VALUES] = {};
    // The coarse wall clock (ns) just before the engine was asked: a write
    // after it leaves a change time at or after it.
    int64_t nAskedNs = 0;
};
