// Clean verdicts remembered between scans, so a file unchanged since the
// engine last found it clean is counted and not read again. A file is known
// by what its owner cannot set back without changing it: its device, inode,
// size, modification and change times (a write moves the change time, and
// only the clock's owner can move it back), on a file system whose change
// times mean that. The verdicts are of one engine identity: its library, its
// version, its signatures and the settings that decide a verdict; another
// identity starts afresh. A finding is never remembered.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/FileId.h"
#include "engine/ScannedFile.h"

struct SVerdictKey {
    uint64_t nDev = 0;
    uint64_t nIno = 0;
    uint64_t nSize = 0;
    int64_t nMtimeNs = 0;
    int64_t nCtimeNs = 0;
    uint64_t nFsType = 0;

    bool operator==(const SVerdictKey& other) const = default;
    auto operator<=>(const SVerdictKey& other) const = default;
};

// A file changed this little before the engine was asked may change again
// within the same tick of the file system's clock without its change time
// moving (2 s covers the coarsest such clock).
constexpr int64_t VERDICT_SETTLE_NS = 2000000000;

// File systems whose change time moves on every write and cannot be set by
// the file's owner; elsewhere (FAT's is a creation time, a network file
// system's is the server's) nothing is remembered.
bool IsTrustedFileSystem(uint64_t nFsType);

// The key a clean verdict on file may be remembered by; false when the file
// was changed too shortly before the engine read it, or lies on a file system
// whose times cannot be trusted.
bool RememberableKey(const SScannedFile& file, int64_t nSettleNs, SVerdictKey* pKey);

// The remembered verdicts of one identity, and their file form: a header
// naming the identity, then one record per file, each with its own check so
// that a record torn or changed by anything but this program reads as absent.
class CVerdictSet {
public:
    // At most this many files are remembered; the oldest go first.
    static constexpr size_t MAX_KEYS = 400000;

    explicit CVerdictSet(std::string strIdentity = std::string());

    const std::string& GetIdentity() const { return m_strIdentity; }
    // Reads the file form; false when it is another identity's or no such
    // form (the set is then empty). Torn or damaged records are left out.
    bool Parse(std::string_view bytes);
    std::string Serialize();

    bool Contains(const SVerdictKey& key);
    // Adds key, in place of any older key of the same file (device and
    // inode); the newest MAX_KEYS stay.
    void Add(const SVerdictKey& key);
    // Adds every key of newer, as Add in its order.
    void Merge(const CVerdictSet& newer);
    bool IsEmpty() const { return m_arKeys.empty(); }
    // Files known, one key each.
    size_t GetCount() {
        if (!m_bCompact)
            Compact();
        return m_arKeys.size();
    }

private:
    uint64_t RecordCheck(const SVerdictKey& key) const;
    // One key per file, its newest; the newest MAX_KEYS files.
    void Compact();

    std::string m_strIdentity;
    uint64_t m_nIdentityHash = 0;
    std::vector<SVerdictKey> m_arKeys;    // oldest first
    std::vector<SVerdictKey> m_arSorted;  // for lookups, once asked
    bool m_bCompact = true;
};

// What a scan asks of the remembered verdicts (the platform keeps them in
// the user's cache folder).
class IVerdictCache {
public:
    virtual ~IVerdictCache() = default;
    // Ready for a scan with the loaded engine, which gave strEngineVersion;
    // false when nothing is looked up or remembered this scan.
    virtual bool BeginScan(const std::string& strEngineVersion) = 0;
    // The file strPath names now, the file id the walk met when set, was
    // found clean as it is.
    virtual bool IsKnownClean(const std::string& strPath, const CFileId& id) = 0;
    // The engine found file clean, reading all of it.
    virtual void RememberClean(const SScannedFile& file) = 0;
    // Keeps what this scan learnt.
    virtual void EndScan() = 0;
};
