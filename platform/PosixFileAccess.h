#pragma once

#include <unistd.h>

#include <cstdint>
#include <string>

#include "scan/ScanInterfaces.h"

class CPosixFileAccess : public IFileAccess {
public:
    bool Access(const std::string& strPath, bool bWrite) override;
    bool GetMode(const std::string& strPath, uint32_t* pnMode) override;
    bool SetMode(const std::string& strPath, uint32_t nMode) override;
    bool GetFileId(const std::string& strPath, CFileId* pId) override;
    bool IsSameFolder(const std::string& strFolder, const CFileId& id) override;
    std::unique_ptr<IFileHold> HoldFile(const std::string& strPath, const CFileId& id) override;
    // How long a holder waits for another: that one holds the file only while
    // its engine cleans it, which the engine's watchdog bounds.
    static constexpr int HOLD_WAIT_MS = 120000;

private:
    // What GetFileId just read: the walk asks for a file's identity and then
    // whether it may be read, and for root or the file's owner the mode
    // already answers (neither an ACL nor anything else can narrow it).
    std::string m_strLastPath;
    uint32_t m_nUid = getuid();  // access(2) asks for the real ids too
    uint32_t m_nLastUid = 0;
    uint32_t m_nLastMode = 0;
};
