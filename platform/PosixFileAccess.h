#pragma once

#include "scan/ScanInterfaces.h"

class CPosixFileAccess : public IFileAccess {
public:
    bool Access(const std::string& strPath, bool bWrite) override;
    bool GetMode(const std::string& strPath, uint32_t* pnMode) override;
    bool SetMode(const std::string& strPath, uint32_t nMode) override;
    bool GetFileId(const std::string& strPath, CFileId* pId) override;
    bool IsSameFolder(const std::string& strFolder, const CFileId& id) override;
};
