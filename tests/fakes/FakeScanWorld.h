// In-memory stand-ins for everything the scan talks to.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/FarsendEngine.h"
#include "repair/RepairInterfaces.h"
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

    bool Canonicalize(const std::string& strPath, std::string* pstrReal, CFileId* = nullptr) override {
        *pstrReal = strPath;
        return true;
    }
    bool ListFolder(const std::string& strFolder, bool, CDirListing& listing, const CFileId* = nullptr) override {
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
    // Files are regular files with an identity of their own unless a test
    // says the path now holds something else.
    std::map<std::string, CFileId> m_mapIds;
    std::set<std::string> m_setNotFiles;
    bool GetFileId(const std::string& strPath, CFileId* pId) override {
        if (m_setNotFiles.count(strPath))
            return false;
        auto it = m_mapIds.find(strPath);
        *pId = it != m_mapIds.end() ? it->second : CFileId{1, std::hash<std::string>()(strPath) | 1};
        return true;
    }
    bool IsSameFolder(const std::string&, const CFileId&) override { return true; }
    // Holds are granted unless a test says the file cannot be held.
    std::set<std::string> m_setUnholdable;
    std::vector<std::string> m_arHeld;
    class CHold : public IFileHold {
    public:
        explicit CHold(const CFileId& id) : m_id(id) {}
        CFileId GetId() const override { return m_id; }
        CFileId m_id;
    };
    std::unique_ptr<IFileHold> HoldFile(const std::string& strPath, const CFileId& id) override {
        CFileId now;
        if (m_setUnholdable.count(strPath) || !GetFileId(strPath, &now) || (id.IsSet() && now != id))
            return nullptr;
        m_arHeld.push_back(strPath);
        return std::make_unique<CHold>(now);
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
    std::map<EScanLabel, std::string> m_mapLabels;
    std::vector<std::string> m_arShownFiles;
    int m_nEnded = 0;
    bool m_bEndedStopped = false;

    void Drain() override {
        ++m_nDrains;
        if (m_fnOnDrain)
            m_fnOnDrain(m_nDrains);
    }
    void SetLabel(EScanLabel eLabel, const std::string& strText) override {
        m_mapLabels[eLabel] = strText;
        if (eLabel == LABEL_CURRENT_FILE)
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
    // One infection of a file; cleaning with outcome 1 removes it and lays
    // bare the next.
    struct SLayer {
        int nReport;
        std::string strName;
        int nOutcome;
    };
    struct SFile {
        uint32_t nFormat = 0;
        int nReport = -1;  // -1: clean
        std::string strName;
        std::vector<SLayer> arLayers;  // when set, overrides nReport/strName
        bool bRecoverFaults = false;
        bool bReprobeFaults = false;  // a probe after a cleaning faults
        bool bCloseFaults = false;    // closing a finding faults (the host hangs)
        int nCleanings = 0;
    };
    std::map<std::string, SFile> m_mapFiles;
    std::vector<std::string> m_arCalls;  // "format:/a", "probe:/a", "report:1", ...
    std::map<uint32_t, std::string> m_mapOpen;
    uint32_t m_nNextHandle = 1;
    int m_nCloses = 0;
    unsigned m_nFaults = 0;
    bool m_bLoaded = true;

    void SetInfected(const std::string& strPath, int nReport, const std::string& strName) {
        m_mapFiles[strPath].nReport = nReport;
        m_mapFiles[strPath].strName = strName;
    }
    void SetFormat(const std::string& strPath, uint32_t nFormat) { m_mapFiles[strPath].nFormat = nFormat; }
    void SetLayers(const std::string& strPath, std::vector<SLayer> arLayers) {
        m_mapFiles[strPath].arLayers = std::move(arLayers);
    }
    int Report(const SFile& file) const { return file.arLayers.empty() ? file.nReport : file.arLayers.front().nReport; }
    std::string Name(const SFile& file) const {
        return file.arLayers.empty() ? file.strName : file.arLayers.front().strName;
    }
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
    uint32_t ProbeInto(const std::string& strPath, bool* pbFaulted = nullptr) override {
        m_arCalls.push_back("probe:" + strPath);
        if (pbFaulted)
            *pbFaulted = false;
        auto it = m_mapFiles.find(strPath);
        if (it != m_mapFiles.end() && it->second.bReprobeFaults && it->second.nCleanings > 0) {
            ++m_nFaults;
            if (pbFaulted)
                *pbFaulted = true;
            return 0;
        }
        // A file without layers is clean once cleaned.
        if (it == m_mapFiles.end() || Report(it->second) < 0 ||
            (it->second.arLayers.empty() && it->second.nCleanings > 0))
            return 0;
        uint32_t h = m_nNextHandle++;
        m_mapOpen[h] = strPath;
        return h;
    }
    bool RecoverFile(uint32_t h, int16_t* pnOutcome) override {
        m_arCalls.push_back("recover:" + std::to_string(h));
        SFile& file = m_mapFiles[m_mapOpen.at(h)];
        if (file.bRecoverFaults) {
            ++m_nFaults;
            m_mapOpen.erase(h);  // the host died with it
            return false;
        }
        *pnOutcome = static_cast<int16_t>(file.arLayers.empty() ? 1 : file.arLayers.front().nOutcome);
        if (*pnOutcome == 1) {
            ++file.nCleanings;
            if (!file.arLayers.empty())
                file.arLayers.erase(file.arLayers.begin());
        }
        return true;
    }
    int16_t GetVirusReport(uint32_t h) override {
        m_arCalls.push_back("report:" + std::to_string(h));
        return static_cast<int16_t>(Report(m_mapFiles[m_mapOpen.at(h)]));
    }
    std::string GetVirusName(uint32_t h) override {
        m_arCalls.push_back("name:" + std::to_string(h));
        return Name(m_mapFiles[m_mapOpen.at(h)]);
    }
    std::string GetTorvaneVersion() override {
        m_arCalls.push_back("version");
        return "9.9";
    }
    void CloseProbe(uint32_t h) override {
        m_arCalls.push_back("close:" + std::to_string(h));
        ++m_nCloses;
        auto it = m_mapOpen.find(h);
        if (it != m_mapOpen.end() && m_mapFiles[it->second].bCloseFaults)
            ++m_nFaults;
        m_mapOpen.erase(h);
    }
    unsigned GetFaultCount() override { return m_nFaults; }
};

// Backups as calls, optionally failing.
class CFakeBackupWriter : public IBackupWriter {
public:
    struct SCall {
        uint32_t nNumber;
        std::string strFolder;
        std::string strName;
        bool operator==(const SCall& o) const {
            return nNumber == o.nNumber && strFolder == o.strFolder && strName == o.strName;
        }
    };
    std::vector<SCall> m_arCalls;
    bool m_bFail = false;
    std::function<void()> m_fnOnWrite;  // changes the world at the moment of the copy
    bool WriteBackup(uint32_t* pnNumber, const std::string& strFolder, const std::string& strName,
                     CFileId* pId) override {
        ++*pnNumber;
        m_arCalls.push_back({*pnNumber, strFolder, strName});
        if (m_fnOnWrite)
            m_fnOnWrite();
        if (!m_bFail && pId && !pId->IsSet())
            *pId = CFileId{1, std::hash<std::string>()(strFolder + "/" + strName) | 1};
        return !m_bFail;
    }
};

// A repair view that answers every notice and question with OK or Yes,
// but the offer to move what a pass could not repair into the Bin with No
// unless told.
class CQuietRepairView : public IRepairView {
public:
    bool m_bMoveToBin = false;
    bool ShowNotice(const std::string&, bool*) override { return false; }
    void ShowMessage(const std::string&, const std::string&, EMessageIcon) override {}
    bool AskYesNo(const std::string& strText, const std::string&) override {
        return strText.find(" into the Backup Bin?") == std::string::npos || m_bMoveToBin;
    }
    void OpenProgress() override {}
    void SetProgressRange(int) override {}
    void SetProgressPos(int) override {}
    void SetProgressText(const std::string&) override {}
    void CloseProgress() override {}
    void Drain() override {}
};
