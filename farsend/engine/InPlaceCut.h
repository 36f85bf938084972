// Removes a byte range from an open regular file in place: the tail moves
// down in bounded steps and the file is then truncated, so the inode, its
// mode and its hard links stay what they were.
#pragma once

#include <cstdint>

namespace farsend {

// nFd must be open for reading and writing. false on any I/O failure.
bool CutRange(int nFd, uint64_t nOffset, uint64_t nLength);

} // namespace farsend
