// The signature database header reader and the daemon's version line on
// arbitrary bytes: nothing read past the header (the input is copied to a
// buffer of its own size, and what follows the header changes nothing), a
// header only with its magic and all its bytes.

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "scan/SignatureHealth.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const std::vector<unsigned char> arBytes(pData, pData + nSize);
    SDATABASEHEADER header;
    const EHeaderResult eResult = ParseDatabaseHeader(arBytes.data(), arBytes.size(), &header);
    const bool bMagic = nSize >= 11 ? memcmp(pData, "ClamAV-VDB:", 11) == 0 : memcmp(pData, "ClamAV-VDB:", nSize) == 0;
    if ((eResult == HEADER_NOT_ONE) == bMagic)
        abort();
    if ((eResult == HEADER_OK || eResult == HEADER_DAMAGED) && nSize < DATABASE_HEADER_SIZE)
        abort();
    if (eResult == HEADER_TRUNCATED && nSize >= DATABASE_HEADER_SIZE)
        abort();
    if (nSize > DATABASE_HEADER_SIZE) {
        SDATABASEHEADER again;
        if (ParseDatabaseHeader(arBytes.data(), DATABASE_HEADER_SIZE, &again) != eResult ||
            again.nVersion != header.nVersion || again.nSignatures != header.nSignatures ||
            again.bDated != header.bDated || again.nBuildTime != header.nBuildTime)
            abort();
    }
    std::string strEngine;
    unsigned long nVersion = 0;
    bool bDated = false;
    int64_t nTime = 0;
    const std::string strLine(reinterpret_cast<const char*>(pData), nSize);
    if (ParseDaemonVersion(strLine, &strEngine, &nVersion, &bDated, &nTime) &&
        (strEngine.empty() || strLine.compare(0, 7, "ClamAV ") != 0))
        abort();
    return 0;
}
