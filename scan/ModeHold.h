#pragma once

#include <cstdint>
#include <string>

#include "scan/ScanInterfaces.h"

// The owner's bits an access retry had to add stay until the engine is done
// with the file (on Linux it could not open it otherwise); the exact mode
// goes back when the hold ends, whatever happened in between.
class CModeHold {
public:
    explicit CModeHold(IFileAccess* pAccess) : m_pAccess(pAccess) {}
    ~CModeHold() { Release(); }
    CModeHold(const CModeHold&) = delete;
    CModeHold& operator=(const CModeHold&) = delete;
    // The mode to put back; the first one kept is the file's own.
    void Keep(const std::string& strPath, uint32_t nMode) {
        if (m_bHeld)
            return;
        m_strPath = strPath;
        m_nMode = nMode;
        m_bHeld = true;
    }
    // The file's own mode while bits are added to it.
    bool GetKeptMode(uint32_t* pnMode) const {
        if (m_bHeld)
            *pnMode = m_nMode;
        return m_bHeld;
    }
    void Release() {
        if (m_bHeld)
            m_pAccess->SetMode(m_strPath, m_nMode);
        m_bHeld = false;
    }

private:
    IFileAccess* m_pAccess;
    std::string m_strPath;
    uint32_t m_nMode = 0;
    bool m_bHeld = false;
};
