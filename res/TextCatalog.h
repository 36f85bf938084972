// A compiled message catalog (.mo) read whole: the fallback language's texts
// whatever the system's locale, and the build's check that the catalogs
// still speak of the table's texts.
#pragma once

#include <string>
#include <unordered_map>

#include "res/Strings.h"

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

// Whether a language (as LANGUAGE or LANG name it: "ko", "ko_KR.UTF-8") is
// Korean, the language of the table's own Korean texts.
bool IsKoreanLanguage(const std::string& strLanguage);

// Puts every text into strLanguage ("" for the C locale or none): what
// fnLanguage finds in that language's catalog, else, for any language but
// Korean, the English catalog's text in strCatalogDir (so a Korean text
// never reaches a reader who did not ask for Korean), else the table's own.
void UseTextLanguage(const std::string& strLanguage, const std::string& strCatalogDir,
                     const FnTranslateText& fnLanguage);
