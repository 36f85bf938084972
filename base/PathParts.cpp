#include "base/PathParts.h"

void SplitPath(const std::string& strPath, std::string* pstrFolder, std::string* pstrName) {
    size_t nSlash = strPath.rfind('/');
    if (nSlash == std::string::npos) {
        pstrFolder->clear();
        *pstrName = strPath;
        return;
    }
    *pstrFolder = strPath.substr(0, nSlash);
    *pstrName = strPath.substr(nSlash + 1);
}

std::string JoinPath(const std::string& strFolder, const std::string& strName) {
    if (!strFolder.empty() && strFolder.back() == '/')
        return strFolder + strName;
    return strFolder + "/" + strName;
}
