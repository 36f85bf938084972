// The clean verdicts of the user's scans, in $XDG_CACHE_HOME/quillet (else
// ~/.cache/quillet): one file, the user's alone (0600 in a 0700 folder),
// replaced whole under a lock so that two scans ending at once both keep
// what they learnt and a crash leaves the old file or the new one.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "platform/HostEngine.h"
#include "scan/VerdictCache.h"

class CVerdictCacheFile : public IVerdictCache {
public:
    // engine: as it will be loaded; its library and settings are part of
    // the verdicts' identity.
    explicit CVerdictCacheFile(const CHostEngine& engine);

    // Off: nothing is looked up or remembered.
    void SetEnabled(bool bEnabled) { m_bEnabled = bEnabled; }
    // "" = from the environment.
    void SetFolder(std::string strFolder) { m_strFolder = std::move(strFolder); }
    static std::string FolderFromEnv();
    // Why the last BeginScan answered false ("" when it did not).
    const std::string& GetOffReason() const { return m_strOffReason; }

    bool BeginScan(const std::string& strEngineVersion) override;
    bool IsKnownClean(const std::string& strPath, const CFileId& id) override;
    void RememberClean(const SScannedFile& file) override;
    void EndScan() override;

    // Every fact a verdict depends on besides the file: the engine library
    // file, its version, its settings and its signature files. False, with
    // why, when verdicts cannot be tied to them (a daemon naming no
    // signature version, a signature folder that cannot be listed).
    bool MakeIdentity(const std::string& strEngineVersion, std::string* pstrIdentity, std::string* pstrWhy) const;

private:
    const CHostEngine& m_engine;
    bool m_bEnabled = true;
    std::string m_strFolder;
    std::string m_strOffReason;
    bool m_bActive = false;
    int64_t m_nSettleNs = VERDICT_SETTLE_NS;
    CVerdictSet m_known;
    CVerdictSet m_learnt;
    std::unordered_map<uint64_t, uint64_t> m_mapFsTypes;  // device -> file system type
};
