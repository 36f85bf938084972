// A compiled message catalog (.mo) read whole: the fallback language's texts
// whatever the system's locale, and the build's check that the catalogs
// still speak of the table's texts.
#pragma once

#include <string>
#include <unordered_map>

class CTextCatalog {
public:
    // False when the file is missing or not a catalog; the catalog is then empty.
    bool Load(const std::string& strPath);
    // The translation of a source text; false when the catalog has none (or
    // an empty one, which means the same).
    bool Find(const char* pszSource, std::string& strOut) const;
    const std::unordered_map<std::string, std::string>& GetEntries() const { return m_mapText; }

private:
    std::unordered_map<std::string, std::string> m_mapText;
};
