// Helpers for the engine tests: loading the built engine libraries, scratch
// folders, and running a call in a watched child process.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "engine/FarsendAbi.h"

namespace enginetest {

struct CEngineApi {
    PFN_dlGetFileFormat_Farsend m_pfnFormat = nullptr;
    PFN_dlProbeInto_Farsend m_pfnProbe = nullptr;
    PFN_dlRecoverFile_Farsend m_pfnRecover = nullptr;
    PFN_dlGetVirusReport_Farsend m_pfnReport = nullptr;
    PFN_dlGetVirusName_Farsend m_pfnName = nullptr;
    PFN_dlGetTorvaneVersion_Farsend m_pfnVersion = nullptr;
    PFN_dlCloseProbe_Farsend m_pfnClose = nullptr;
    PFN_dlTurnOnTorvane_Farsend m_pfnTurnOn = nullptr;
    PFN_dlTurnOffTorvane_Farsend m_pfnTurnOff = nullptr;

    int MissingCount() const;
    std::string Name(uint32_t hProbe) const
    {
        const char* pszName = m_pfnName(hProbe);
        return pszName ? pszName : "<null>";
    }
};

// Folder holding this test program, the engines and the tools.
std::string BinaryDir();
// dlopen of BinaryDir()/strFile, kept loaded; false when it does not load.
bool LoadEngine(const std::string& strFile, CEngineApi* pApi);
// Loaded once per process; aborts when the library lacks an entry point.
const CEngineApi& Reference();
const CEngineApi& Faulty();

// Defined global names in a shared library's dynamic symbol table.
bool ExportedNames(const std::string& strPath, std::set<std::string>* pSetNames);

class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;
    std::string File(const std::string& strName) const { return m_strPath + "/" + strName; }

private:
    std::string m_strPath;
};

bool WriteFile(const std::string& strPath, const std::string& strContent);
std::string ReadFile(const std::string& strPath);
// Deterministic lower-case text: never forms a signature.
std::string Filler(std::size_t nLength, unsigned nSeed = 1);

struct CStep {
    int m_nReport = 0;
    std::string m_strName;
    int m_nOutcome = 0;
    bool operator==(const CStep&) const = default;
};
using CChain = std::vector<CStep>;
// What a front end does to clean a file: probe, report, name, recover,
// close, and probe again after outcome 1, until clean or nMaxSteps.
CChain CleanChain(const CEngineApi& api, const std::string& strPath, int nMaxSteps = 10);

struct CChildEnd {
    bool m_bTimedOut = false;
    int m_nStatus = 0;
    bool Exited(int nCode) const;
    bool Signalled(int nSignal) const;
};
// Runs fn in a forked child that exits 0 when fn returns; kills it after
// nTimeoutMs. Crash handlers and core dumps are off in the child.
CChildEnd RunInChild(const std::function<void()>& fn, int nTimeoutMs);

} // namespace enginetest
