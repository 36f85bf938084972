// A work folder at a path the test chooses: Prepare makes it private and
// answers the highest number the test set, so windows never reach the
// folder the environment names.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <utility>

#include "scan/ScanServices.h"

class CFakeWorkFolder : public IWorkFolder {
public:
    explicit CFakeWorkFolder(std::string strPath, uint32_t nHighest = 0)
        : m_strPath(std::move(strPath)), m_nHighest(nHighest) {}

    uint32_t Prepare(std::string* pstrPath) override {
        ++m_nPrepared;
        mkdir(m_strPath.c_str(), 0700);
        *pstrPath = m_strPath;
        return m_nHighest;
    }

    std::string m_strPath;
    uint32_t m_nHighest;
    int m_nPrepared = 0;
};
