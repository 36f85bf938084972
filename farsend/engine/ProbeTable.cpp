#include "farsend/engine/ProbeTable.h"

#include <utility>

namespace farsend {

uint32_t CProbeTable::Add(CProbeRecord&& record)
{
    if (m_mapLive.size() >= kMaxLive)
        m_mapLive.erase(m_mapLive.begin());
    // 0 means clean to the caller; after wrapping, skip it and any handle
    // still live from the previous round.
    do {
        ++m_nLastHandle;
    } while (m_nLastHandle == 0 || m_mapLive.count(m_nLastHandle) != 0);
    m_mapLive.emplace(m_nLastHandle, std::move(record));
    return m_nLastHandle;
}

CProbeRecord* CProbeTable::Find(uint32_t hProbe)
{
    auto it = m_mapLive.find(hProbe);
    return it == m_mapLive.end() ? nullptr : &it->second;
}

void CProbeTable::Remove(uint32_t hProbe)
{
    m_mapLive.erase(hProbe);
}

void CProbeTable::Clear()
{
    m_mapLive.clear();
}

} // namespace farsend
