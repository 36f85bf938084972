#include "scan/VerdictCache.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "base/Fnv1a.h"

namespace {

constexpr char VERDICT_MAGIC[] = "QUILLET-VERDICTS-1\n";
constexpr size_t VERDICT_MAGIC_BYTES = sizeof VERDICT_MAGIC - 1;
constexpr size_t KEY_BYTES = 6 * sizeof(uint64_t);
constexpr size_t RECORD_BYTES = KEY_BYTES + sizeof(uint64_t);
// An identity is a few lines; anything longer is no file of ours.
constexpr uint32_t MAX_IDENTITY_BYTES = 1 << 20;

uint64_t Mix(uint64_t n) {
    n ^= n >> 30;
    n *= 0xbf58476d1ce4e5b9ULL;
    n ^= n >> 27;
    n *= 0x94d049bb133111ebULL;
    n ^= n >> 31;
    return n;
}

uint64_t HashBytes(std::string_view bytes) {
    return Mix(Fnv1a64(bytes) ^ bytes.size());
}

void KeyValues(const SVerdictKey& key, uint64_t* par) {
    par[0] = key.nDev;
    par[1] = key.nIno;
    par[2] = key.nSize;
    par[3] = static_cast<uint64_t>(key.nMtimeNs);
    par[4] = static_cast<uint64_t>(key.nCtimeNs);
    par[5] = key.nFsType;
}

SVerdictKey KeyFromValues(const uint64_t* par) {
    SVerdictKey key;
    key.nDev = par[0];
    key.nIno = par[1];
    key.nSize = par[2];
    key.nMtimeNs = static_cast<int64_t>(par[3]);
    key.nCtimeNs = static_cast<int64_t>(par[4]);
    key.nFsType = par[5];
    return key;
}

}  // namespace

bool IsTrustedFileSystem(uint64_t nFsType) {
    switch (nFsType) {
    case 0xEF53:      // ext2, ext3, ext4
    case 0x58465342:  // XFS
    case 0x9123683E:  // Btrfs
    case 0x01021994:  // tmpfs
    case 0xF2F52010:  // F2FS
    case 0x2FC12FC1:  // ZFS
    case 0xCA451A4E:  // bcachefs
        return true;
    default:
        return false;
    }
}

bool RememberableKey(const SScannedFile& file, int64_t nSettleNs, SVerdictKey* pKey) {
    const SVerdictKey key = KeyFromValues(file.arValue);
    if (!IsTrustedFileSystem(key.nFsType) || file.nAskedNs <= 0)
        return false;
    // A write after the engine was asked leaves a change time at or after
    // the clock read then; one this close before it could share the tick.
    if (key.nCtimeNs >= file.nAskedNs - nSettleNs)
        return false;
    *pKey = key;
    return true;
}

CVerdictSet::CVerdictSet(std::string strIdentity)
    : m_strIdentity(std::move(strIdentity)), m_nIdentityHash(HashBytes(m_strIdentity)) {}

uint64_t CVerdictSet::RecordCheck(const SVerdictKey& key) const {
    uint64_t arValue[6];
    KeyValues(key, arValue);
    uint64_t n = m_nIdentityHash;
    for (uint64_t nValue : arValue)
        n = Mix(n ^ nValue) + 0x9e3779b97f4a7c15ULL;
    return n;
}

bool CVerdictSet::Parse(std::string_view bytes) {
    m_arKeys.clear();
    m_arSorted.clear();
    m_bCompact = false;
    if (bytes.size() < VERDICT_MAGIC_BYTES + sizeof(uint32_t) ||
        bytes.substr(0, VERDICT_MAGIC_BYTES) != std::string_view(VERDICT_MAGIC, VERDICT_MAGIC_BYTES))
        return false;
    size_t nAt = VERDICT_MAGIC_BYTES;
    uint32_t nIdentity = 0;
    memcpy(&nIdentity, bytes.data() + nAt, sizeof nIdentity);
    nAt += sizeof nIdentity;
    if (nIdentity > MAX_IDENTITY_BYTES || bytes.size() - nAt < nIdentity + sizeof(uint64_t))
        return false;
    if (bytes.substr(nAt, nIdentity) != m_strIdentity)
        return false;
    nAt += nIdentity;
    uint64_t nHeaderCheck = 0;
    memcpy(&nHeaderCheck, bytes.data() + nAt, sizeof nHeaderCheck);
    nAt += sizeof nHeaderCheck;
    if (nHeaderCheck != Mix(m_nIdentityHash ^ nIdentity))
        return false;
    for (; bytes.size() - nAt >= RECORD_BYTES; nAt += RECORD_BYTES) {
        uint64_t arValue[7];
        memcpy(arValue, bytes.data() + nAt, sizeof arValue);
        const SVerdictKey key = KeyFromValues(arValue);
        if (arValue[6] == RecordCheck(key))
            m_arKeys.push_back(key);
    }
    return true;
}

std::string CVerdictSet::Serialize() {
    if (!m_bCompact)
        Compact();
    std::string strOut(VERDICT_MAGIC, VERDICT_MAGIC_BYTES);
    const uint32_t nIdentity = static_cast<uint32_t>(m_strIdentity.size());
    strOut.append(reinterpret_cast<const char*>(&nIdentity), sizeof nIdentity);
    strOut += m_strIdentity;
    const uint64_t nHeaderCheck = Mix(m_nIdentityHash ^ nIdentity);
    strOut.append(reinterpret_cast<const char*>(&nHeaderCheck), sizeof nHeaderCheck);
    strOut.reserve(strOut.size() + m_arKeys.size() * RECORD_BYTES);
    for (const SVerdictKey& key : m_arKeys) {
        uint64_t arValue[7];
        KeyValues(key, arValue);
        arValue[6] = RecordCheck(key);
        strOut.append(reinterpret_cast<const char*>(arValue), sizeof arValue);
    }
    return strOut;
}

bool CVerdictSet::Contains(const SVerdictKey& key) {
    // Sorted only for lookups: a set only written out never needs it.
    if (!m_bCompact || m_arSorted.size() != m_arKeys.size()) {
        if (!m_bCompact)
            Compact();
        m_arSorted = m_arKeys;
        std::sort(m_arSorted.begin(), m_arSorted.end());
    }
    return std::binary_search(m_arSorted.begin(), m_arSorted.end(), key);
}

void CVerdictSet::Add(const SVerdictKey& key) {
    m_arKeys.push_back(key);
    m_bCompact = false;
}

void CVerdictSet::Merge(const CVerdictSet& newer) {
    m_arKeys.insert(m_arKeys.end(), newer.m_arKeys.begin(), newer.m_arKeys.end());
    m_bCompact = false;
}

void CVerdictSet::Compact() {
    // One key per file, its newest; then the newest files up to the bound.
    struct SFileHash {
        size_t operator()(const std::pair<uint64_t, uint64_t>& id) const {
            return static_cast<size_t>(Mix(id.first ^ Mix(id.second)));
        }
    };
    std::unordered_set<std::pair<uint64_t, uint64_t>, SFileHash> setSeen;
    setSeen.reserve(m_arKeys.size());
    std::vector<SVerdictKey> arKept;
    arKept.reserve(std::min(m_arKeys.size(), MAX_KEYS));
    for (auto it = m_arKeys.rbegin(); it != m_arKeys.rend() && arKept.size() < MAX_KEYS; ++it)
        if (setSeen.insert({it->nDev, it->nIno}).second)
            arKept.push_back(*it);
    std::reverse(arKept.begin(), arKept.end());
    m_arKeys = std::move(arKept);
    m_arSorted.clear();
    m_bCompact = true;
}
