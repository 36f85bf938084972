// Live probe handles. Handles are never reused: a stale handle from the
// caller must not reach some later file's record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <sys/types.h>

#include "farsend/engine/SignatureScan.h"

namespace farsend {

enum class ERecordKind { Signature, Unreadable, Fault };

struct CProbeRecord {
    ERecordKind m_eKind = ERecordKind::Signature;
    std::string m_strPath;
    dev_t m_nDevice = 0;
    ino_t m_nInode = 0;
    CScanHit m_hit;
    // Set once the file was cleaned through this handle; the record then
    // no longer describes the file.
    bool m_bSpent = false;
    // Only the fault build fills these.
    int m_nFaultEntry = 0;
    int m_nFaultKind = 0;
};

class CProbeTable {
public:
    // A caller that never closes must not grow us without bound: past this
    // many live handles the oldest is dropped.
    static constexpr std::size_t kMaxLive = 65536;

    uint32_t Add(CProbeRecord&& record);
    CProbeRecord* Find(uint32_t hProbe);
    void Remove(uint32_t hProbe);
    void Clear();
    std::size_t LiveCount() const { return m_mapLive.size(); }

private:
    std::map<uint32_t, CProbeRecord> m_mapLive;
    uint32_t m_nLastHandle = 0;
};

} // namespace farsend
