// The remembered verdicts' file form on arbitrary bytes: the input is copied
// to a buffer of its own size; whatever parses writes out again and parses
// to the same keys, and a record whose bytes were not written by the set
// itself never counts.

#include <cstdlib>
#include <string>

#include "scan/VerdictCache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const std::string strBytes(reinterpret_cast<const char*>(pData), nSize);
    for (const char* pszIdentity : {"", "engine A\n"}) {
        CVerdictSet set(pszIdentity);
        if (!set.Parse(strBytes)) {
            if (set.GetCount() != 0)
                abort();
            continue;
        }
        const std::string strAgain = set.Serialize();
        CVerdictSet again(pszIdentity);
        if (!again.Parse(strAgain) || again.GetCount() != set.GetCount() || again.Serialize() != strAgain)
            abort();
        if (set.GetCount() > CVerdictSet::MAX_KEYS)
            abort();
    }
    return 0;
}
