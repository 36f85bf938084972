#include "scan/AllowList.h"

#include <stdio.h>

#include "base/Diagnostics.h"
#include "base/EscapeField.h"
#include "base/TextParts.h"
#include "res/Strings.h"

namespace {

constexpr size_t SHA256_HEX_LEN = 64;

// Lower case, so a hash typed in either case matches sha256sum's.
bool NormalizeHash(std::string_view str, std::string* pstrOut) {
    if (str.size() != SHA256_HEX_LEN)
        return false;
    pstrOut->clear();
    for (char c : str) {
        if (HexDigitValue(c) < 0)
            return false;
        *pstrOut += static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
    }
    return true;
}

}  // namespace

bool UnescapeField(std::string_view str, std::string* pstrOut) {
    pstrOut->clear();
    for (size_t i = 0; i < str.size(); ++i) {
        const char c = str[i];
        if (c != '\\') {
            *pstrOut += c;
            continue;
        }
        if (++i == str.size())
            return false;
        switch (str[i]) {
        case '\\': *pstrOut += '\\'; break;
        case 'n': *pstrOut += '\n'; break;
        case 't': *pstrOut += '\t'; break;
        case 'x': {
            const int nHigh = i + 1 < str.size() ? HexDigitValue(str[i + 1]) : -1;
            const int nLow = i + 2 < str.size() ? HexDigitValue(str[i + 2]) : -1;
            if (nHigh < 0 || nLow < 0)
                return false;
            *pstrOut += static_cast<char>(nHigh * 16 + nLow);
            i += 2;
            break;
        }
        default: return false;
        }
    }
    return true;
}

int CAllowList::Parse(std::string_view strText, const std::string& strName) {
    m_mapByVirus.clear();
    int nBad = 0;
    int nFirstBad = 0;
    std::string strHash, strVirus;
    int nLine = 0;
    for (size_t nStart = 0; nStart < strText.size();) {
        size_t nEnd = strText.find('\n', nStart);
        if (nEnd == std::string_view::npos)
            nEnd = strText.size();
        std::string_view strLine = strText.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        ++nLine;
        // A list edited on another system may end its lines with CR; a CR
        // of a name is always escaped.
        if (!strLine.empty() && strLine.back() == '\r')
            strLine.remove_suffix(1);
        if (strLine.find_first_not_of(" \t") == std::string_view::npos || strLine[0] == '#')
            continue;
        const size_t nTab = strLine.find('\t');
        if (nTab == std::string_view::npos || !NormalizeHash(strLine.substr(0, nTab), &strHash) ||
            !UnescapeField(strLine.substr(nTab + 1), &strVirus) || strVirus.empty()) {
            if (nBad++ == 0)
                nFirstBad = nLine;
            continue;
        }
        m_mapByVirus[strVirus].insert(strHash);
    }
    if (nBad != 0) {
        char szWhat[256];
        snprintf(szWhat, sizeof szWhat, LoadText(IDS_ALLOW_BAD_LINES), nBad);
        Diagnose(szWhat, strName + ":" + std::to_string(nFirstBad));
    }
    return nBad;
}

bool CAllowList::IsAllowed(const std::string& strSha256, const std::string& strVirus) const {
    auto it = m_mapByVirus.find(strVirus);
    std::string strHash;
    return it != m_mapByVirus.end() && NormalizeHash(strSha256, &strHash) && it->second.count(strHash) != 0;
}

std::string CAllowList::Add(const std::string& strSha256, const std::string& strVirus) {
    std::string strHash;
    if (!NormalizeHash(strSha256, &strHash) || strVirus.empty())
        return std::string();
    m_mapByVirus[strVirus].insert(strHash);
    return strHash + "\t" + EscapeField(strVirus) + "\n";
}
