#include <algorithm>

#include "scan/ScanInterfaces.h"

void CDirListing::Clear() {
    m_strNames.clear();
    m_arEntries.clear();
}

void CDirListing::Add(const char* pszName, size_t nLen, EEntryKind eKind, CFileId id) {
    m_arEntries.push_back(
        SEntry{static_cast<uint32_t>(m_strNames.size()), static_cast<uint32_t>(nLen), eKind, id});
    m_strNames.append(pszName, nLen);
}

void CDirListing::Sort() {
    std::string_view strAll(m_strNames);
    std::sort(m_arEntries.begin(), m_arEntries.end(), [strAll](const SEntry& a, const SEntry& b) {
        return strAll.substr(a.nOffset, a.nLen) < strAll.substr(b.nOffset, b.nLen);
    });
}
