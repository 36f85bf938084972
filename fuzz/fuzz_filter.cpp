// The extension filter against a plain model of the rule: the three bytes
// after the last '.', a-z raised, compared with the list's groups.

#include <cstdlib>
#include <set>
#include <string>

#include "scan/Scanner.h"

namespace {

std::set<std::string> Groups(const char* pszList) {
    std::set<std::string> set;
    for (std::string str = pszList; str.size() >= 3; str.erase(0, 3))
        set.insert(str.substr(0, 3));
    return set;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    if (nSize == 0)
        return 0;
    static const std::set<std::string> setScan = Groups(g_szScanExtensions);
    static const std::set<std::string> setOffice = Groups(g_szAlwaysBackupExtensions);
    bool bAllFiles = pData[0] & 1;
    std::string strPath(reinterpret_cast<const char*>(pData) + 1, nSize - 1);

    std::string strExt;
    bool bDot = false;
    size_t nDot = strPath.rfind('.');
    if (nDot != std::string::npos) {
        bDot = true;
        strExt = strPath.substr(nDot + 1, 3);
        for (char& ch : strExt)
            if (ch >= 'a' && ch <= 'z')
                ch = static_cast<char>(ch - 32);
    }
    bool bOffice = bDot && strExt.size() == 3 && setOffice.count(strExt);
    bool bScan = bAllFiles || (bDot && strExt.size() == 3 && setScan.count(strExt));

    SCANREQUEST req;
    req.bAllFiles = bAllFiles;
    CScanner scanner(req, CScanEnv{});
    if (scanner.FilterFile(strPath) != bScan || scanner.IsOfficeFile() != bOffice)
        abort();
    return 0;
}
