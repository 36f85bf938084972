#include "farsend/engine/InPlaceCut.h"

#include <cerrno>
#include <cstddef>
#include <memory>
#include <new>
#include <unistd.h>

namespace farsend {

namespace {

constexpr std::size_t kStep = 64 * 1024;

bool WriteAllAt(int nFd, const char* p, std::size_t nCount, off_t nAt)
{
    while (nCount > 0) {
        const ssize_t nDone = ::pwrite(nFd, p, nCount, nAt);
        if (nDone < 0 && errno == EINTR)
            continue;
        if (nDone <= 0)
            return false;
        p += nDone;
        nCount -= static_cast<std::size_t>(nDone);
        nAt += nDone;
    }
    return true;
}

} // namespace

bool CutRange(int nFd, uint64_t nOffset, uint64_t nLength)
{
    if (nLength == 0)
        return true;
    std::unique_ptr<char[]> pBuffer(new (std::nothrow) char[kStep]);
    if (!pBuffer)
        return false;
    off_t nRead = static_cast<off_t>(nOffset + nLength);
    off_t nWrite = static_cast<off_t>(nOffset);
    for (;;) {
        const ssize_t nGot = ::pread(nFd, pBuffer.get(), kStep, nRead);
        if (nGot < 0 && errno == EINTR)
            continue;
        if (nGot < 0)
            return false;
        if (nGot == 0)
            break;
        if (!WriteAllAt(nFd, pBuffer.get(), static_cast<std::size_t>(nGot), nWrite))
            return false;
        nRead += nGot;
        nWrite += nGot;
    }
    while (::ftruncate(nFd, nWrite) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

} // namespace farsend
