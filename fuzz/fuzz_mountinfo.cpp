// The mount table parser on arbitrary text: no crash, and every mount it
// returns is an absolute path with a known type.

#include <cstdlib>
#include <string>

#include "platform/MountTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    std::string strText(reinterpret_cast<const char*>(pData), nSize);
    auto fnRemovable = [](const std::string& strSource) { return strSource.size() % 2 == 0; };
    for (const CMount& mount : CMountTable::ParseMountInfo(strText, fnRemovable)) {
        if (mount.strPath.empty() || mount.strPath[0] != '/')
            abort();
        if (mount.nType < DRIVE_TYPE_UNKNOWN || mount.nType > DRIVE_TYPE_RAMDISK)
            abort();
    }
    return 0;
}
