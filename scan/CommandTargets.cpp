#include "scan/CommandTargets.h"

#include "base/TextParts.h"

namespace {

bool PathFromFileUri(const std::string& strUri, std::string* pstrPath) {
    const size_t nPath = strUri.find('/', 7);  // after "file://"
    if (nPath == std::string::npos)
        return false;
    const std::string strHost = strUri.substr(7, nPath - 7);
    if (!strHost.empty() && strHost != "localhost")
        return false;
    std::string strPath;
    for (size_t i = nPath; i < strUri.size(); ++i) {
        if (strUri[i] != '%') {
            strPath += strUri[i];
            continue;
        }
        const int nHigh = i + 2 < strUri.size() ? HexDigitValue(strUri[i + 1]) : -1;
        const int nLow = nHigh >= 0 ? HexDigitValue(strUri[i + 2]) : -1;
        // An escaped '/' would join two names into one level; NUL ends a path.
        const int nByte = nHigh * 16 + nLow;
        if (nLow < 0 || nByte == 0 || nByte == '/')
            return false;
        strPath += static_cast<char>(nByte);
        i += 2;
    }
    *pstrPath = std::move(strPath);
    return true;
}

}  // namespace

bool CommandTargetPath(const std::string& strArg, const std::string& strCwd, std::string* pstrPath) {
    if (strArg.compare(0, 7, "file://") == 0)
        return PathFromFileUri(strArg, pstrPath);
    if (!strArg.empty() && strArg[0] == '/') {
        *pstrPath = strArg;
        return true;
    }
    *pstrPath = strCwd + (!strCwd.empty() && strCwd.back() == '/' ? "" : "/") + strArg;
    return true;
}
