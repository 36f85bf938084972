#pragma once

#include "scan/ScanInterfaces.h"

class CPosixDirLister : public IDirLister {
public:
    bool ListFolder(const std::string& strFolder, bool bFollowLink, CDirListing& listing,
                    const CFileId* pExpect = nullptr) override;
    bool Canonicalize(const std::string& strPath, std::string* pstrReal, CFileId* pId = nullptr) override;
};
