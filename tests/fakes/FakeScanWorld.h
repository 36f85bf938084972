// In-memory stand-ins for everything the scan talks to.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/FarsendEngine.h"
#include "scan/ScanInterfaces.h"

// A folder tree by full folder path ("" is the root, "/a" a folder).
class CFakeDirLister : public IDirLister {
public:
    struct SEntry {
        std::string strName;
        EEntryKind eKind;
    };
    std::map<std::string, std::vector<SEntry>> m_mapFolders;
    std::vector<std::string> m_arListed;

    // Adds a file or folder by its full path, creating the folders above it.
    void AddPath(const std::string& strPath, EEntryKind eKind = ENTRY_FILE) {
        size_t nSlash = strPath.rfind('/');
        std::string strFolder = strPath.substr(0, nSlash);
        std::string strName = strPath.substr(nSlash + 1);
        // A relative folder ("Network") stands alone, outside the root.
        if (strFolder.find('/') != std::string::npos)
            EnsureFolder(strFolder);
        auto& arEntries = m_mapFolders[strFolder];
        for (const SEntry& entry : arEntries)
            if (entry.strName == strName)
                return;
        arEntries.push_back({strName, eKind});
        if (eKind == ENTRY_FOLDER)
            m_mapFolders[strPath];
    }
    void EnsureFolder(const std::string& strFolder) { AddPath(strFolder, ENTRY_FOLDER); }

    bool ListFolder(const std::string& strFolder, bool, CDirListing& listing) override {
        listing.Clear();
        m_arListed.push_back(strFolder);
        auto it = m_mapFolders.find(strFolder);
        if (it == m_mapFolders.end())
            return false;
        for (const SEntry& entry : it->second)
            listing.Add(entry.strName.data(), entry.strName.size(), entry.eKind);
        listing.Sort();
        return true;
    }
};

class CFakeDrives : public IDriveSource {
public:
    std::vector<CMount> m_arMounts;
    std::vector<CMount> GetMounts() override { return m_arMounts; }
};

class CFakeFileAccess : public IFileAccess {
public:
    std::set<std::string> m_setDenied;          // access fails
    std::set<std::string> m_setGrantedOnChmod;  // access works once owner bits are added
    std::map<std::string, uint32_t> m_mapModes;
    std::vector<std::pair<std::string, uint32_t>> m_arSetModes;
    bool m_bGetModeFails = false;

    bool Access(const std::string& strPath, bool) override {
        if (!m_setDenied.count(strPath))
            return true;
        return m_setGrantedOnChmod.count(strPath) && (Mode(strPath) & 0600) == 0600;
    }
    bool GetMode(const std::string& strPath, uint32_t* pnMode) override {
        if (m_bGetModeFails)
            return false;
        *pnMode = Mode(strPath);
        return true;
    }
    bool SetMode(const std::string& strPath, uint32_t nMode) override {
        m_arSetModes.push_back({strPath, nMode});
        m_mapModes[strPath] = nMode;
        return true;
    }
    uint32_t Mode(const std::string& strPath) {
        auto it = m_mapModes.find(strPath);
        return it == m_mapModes.end() ? 0644 : it->second;
    }
};

class CFakeScanView : public IScanView {
public:
    int m_nDrains = 0;
    std::function<void(int nDrain)> m_fnOnDrain;
    std::map<int, std::string> m_mapLabels;
    std::vector<std::string> m_arShownFiles;
    int m_nEnded = 0;
    bool m_bEndedStopped = false;

    void Drain() override {
        ++m_nDrains;
        if (m_fnOnDrain)
            m_fnOnDrain(m_nDrains);
    }
    void SetLabel(int nId, const std::string& strText) override {
        m_mapLabels[nId] = strText;
        if (nId == IDC_CURRENT_FILE)
            m_arShownFiles.push_back(strText);
    }
    void ScanEnded(bool bStopped) override {
        ++m_nEnded;
        m_bEndedStopped = bStopped;
    }
};

// An engine whose answers are set per path; every call is logged.
class CFakeEngine : public IFarsendEngine {
public:
    struct SFile {
        uint32_t nFormat = 0;
        int nReport = -1;  // -1: clean
        std::string strName;
    };
    std::map<std::string, SFile> m_mapFiles;
    std::vector<std::string> m_arCalls;  // "format:/a", "probe:/a", "report:1", ...
    std::map<uint32_t, std::string> m_mapOpen;
    uint32_t m_nNextHandle = 1;
    int m_nCloses = 0;
    bool m_bLoaded = true;

    void SetInfected(const std::string& strPath, int nReport, const std::string& strName) {
        m_mapFiles[strPath].nReport = nReport;
        m_mapFiles[strPath].strName = strName;
    }
    void SetFormat(const std::string& strPath, uint32_t nFormat) { m_mapFiles[strPath].nFormat = nFormat; }
    int CountCalls(const std::string& strPrefix) const {
        return static_cast<int>(std::count_if(m_arCalls.begin(), m_arCalls.end(), [&](const std::string& s) {
            return s.compare(0, strPrefix.size(), strPrefix) == 0;
        }));
    }

    int Load() override { return m_bLoaded ? ENGINE_LOAD_OK : ENGINE_LOAD_FAILED; }
    void Unload() override { m_bLoaded = false; }
    bool IsLoaded() const override { return m_bLoaded; }
    uint32_t GetFileFormat(const std::string& strPath) override {
        m_arCalls.push_back("format:" + strPath);
        auto it = m_mapFiles.find(strPath);
        return it == m_mapFiles.end() ? 0 : it->second.nFormat;
    }
    uint32_t ProbeInto(const std::string& strPath) override {
        m_arCalls.push_back("probe:" + strPath);
        auto it = m_mapFiles.find(strPath);
        if (it == m_mapFiles.end() || it->second.nReport < 0)
            return 0;
        uint32_t h = m_nNextHandle++;
        m_mapOpen[h] = strPath;
        return h;
    }
    bool RecoverFile(uint32_t h, int16_t* pnOutcome) override {
        m_arCalls.push_back("recover:" + std::to_string(h));
        *pnOutcome = 3;
        return true;
    }
    int16_t GetVirusReport(uint32_t h) override {
        m_arCalls.push_back("report:" + std::to_string(h));
        return static_cast<int16_t>(m_mapFiles[m_mapOpen.at(h)].nReport);
    }
    std::string GetVirusName(uint32_t h) override {
        m_arCalls.push_back("name:" + std::to_string(h));
        return m_mapFiles[m_mapOpen.at(h)].strName;
    }
    std::string GetTorvaneVersion() override {
        m_arCalls.push_back("version");
        return "9.9";
    }
    void CloseProbe(uint32_t h) override {
        m_arCalls.push_back("close:" + std::to_string(h));
        ++m_nCloses;
        m_mapOpen.erase(h);
    }
};
