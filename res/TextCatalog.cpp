#include "res/TextCatalog.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr uint32_t MO_MAGIC = 0x950412de;
constexpr uint32_t MO_MAGIC_SWAPPED = 0xde120495;

}  // namespace

bool CTextCatalog::Load(const std::string& strPath) {
    m_mapText.clear();
    std::ifstream in(strPath, std::ios::binary);
    if (!in)
        return false;
    const std::string strData((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (strData.size() < 28)
        return false;
    bool bSwap = false;
    auto Word = [&](size_t nAt, uint32_t* pn) {
        if (nAt > strData.size() || strData.size() - nAt < 4)
            return false;
        uint32_t n;
        memcpy(&n, strData.data() + nAt, 4);
        *pn = bSwap ? __builtin_bswap32(n) : n;
        return true;
    };
    uint32_t nMagic = 0;
    Word(0, &nMagic);
    if (nMagic == MO_MAGIC_SWAPPED)
        bSwap = true;
    else if (nMagic != MO_MAGIC)
        return false;
    uint32_t nCount = 0, nOriginals = 0, nTranslations = 0;
    if (!Word(8, &nCount) || !Word(12, &nOriginals) || !Word(16, &nTranslations))
        return false;
    // One string: its length and offset at nTable + 8 * i, within the file.
    auto Text = [&](uint32_t nTable, uint32_t i, std::string* pstr) {
        uint32_t nLength = 0, nOffset = 0;
        const size_t nAt = nTable + size_t{8} * i;
        if (!Word(nAt, &nLength) || !Word(nAt + 4, &nOffset) || nOffset > strData.size() ||
            strData.size() - nOffset < nLength)
            return false;
        pstr->assign(strData, nOffset, nLength);
        return true;
    };
    for (uint32_t i = 0; i < nCount; ++i) {
        std::string strSource, strText;
        if (!Text(nOriginals, i, &strSource) || !Text(nTranslations, i, &strText)) {
            m_mapText.clear();
            return false;
        }
        // The header (empty msgid) and plural forms are not texts of the table.
        if (!strSource.empty() && strSource.find('\0') == std::string::npos)
            m_mapText.emplace(std::move(strSource), std::move(strText));
    }
    return true;
}

bool CTextCatalog::Find(const char* pszSource, std::string& strOut) const {
    auto it = m_mapText.find(pszSource);
    if (it == m_mapText.end() || it->second.empty())
        return false;
    strOut = it->second;
    return true;
}

bool IsKoreanLanguage(const std::string& strLanguage) {
    return strLanguage.compare(0, 2, "ko") == 0 &&
           (strLanguage.size() == 2 || strLanguage[2] == '_' || strLanguage[2] == '.' || strLanguage[2] == '@');
}

void UseTextLanguage(const std::string& strLanguage, const std::string& strCatalogDir,
                     const FnTranslateText& fnLanguage) {
    if (IsKoreanLanguage(strLanguage)) {
        TranslateTexts(fnLanguage, nullptr);
        return;
    }
    CTextCatalog english;
    english.Load(strCatalogDir + "/en/LC_MESSAGES/quillet.mo");
    TranslateTexts(fnLanguage, [&english](const char* pszSource, std::string& strOut) {
        return english.Find(pszSource, strOut);
    });
}
