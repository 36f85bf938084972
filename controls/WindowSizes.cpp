#include "controls/WindowSizes.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr int kMaxSide = 100000;

std::string Trim(const std::string& str) {
    const size_t nBegin = str.find_first_not_of(" \t\r");
    if (nBegin == std::string::npos)
        return std::string();
    return str.substr(nBegin, str.find_last_not_of(" \t\r") - nBegin + 1);
}

bool IsName(const std::string& str) {
    if (str.empty() || str.size() > 64)
        return false;
    return std::all_of(str.begin(), str.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.';
    });
}

// Decimal digits only, 1 to kMaxSide.
bool ParseSide(const std::string& str, int* pn) {
    if (str.empty() || str.size() > 6)
        return false;
    int n = 0;
    for (char c : str) {
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + (c - '0');
    }
    if (n < 1 || n > kMaxSide)
        return false;
    *pn = n;
    return true;
}

}  // namespace

std::map<std::string, CWindowSize> ParseWindowSizes(const std::string& strText) {
    std::map<std::string, CWindowSize> mapSizes;
    size_t nPos = 0;
    while (nPos < strText.size()) {
        size_t nEnd = strText.find('\n', nPos);
        if (nEnd == std::string::npos)
            nEnd = strText.size();
        const std::string strLine = strText.substr(nPos, nEnd - nPos);
        nPos = nEnd + 1;
        const size_t nEq = strLine.find('=');
        if (nEq == std::string::npos)
            continue;
        const std::string strName = Trim(strLine.substr(0, nEq));
        const std::string strValue = Trim(strLine.substr(nEq + 1));
        const size_t nX = strValue.find('x');
        CWindowSize size;
        if (!IsName(strName) || nX == std::string::npos || !ParseSide(strValue.substr(0, nX), &size.nWidth) ||
            !ParseSide(strValue.substr(nX + 1), &size.nHeight))
            continue;
        mapSizes[strName] = size;
    }
    return mapSizes;
}

std::string FormatWindowSizes(const std::map<std::string, CWindowSize>& mapSizes) {
    std::string strText;
    for (const auto& [strName, size] : mapSizes)
        if (IsName(strName) && size.nWidth > 0 && size.nHeight > 0 && size.nWidth <= kMaxSide &&
            size.nHeight <= kMaxSide)
            strText += strName + " = " + std::to_string(size.nWidth) + "x" + std::to_string(size.nHeight) + "\n";
    return strText;
}

CWindowSize ChooseOpeningSize(bool bKept, const CWindowSize& kept, const CWindowSize& templ,
                              const CWindowSize& screen) {
    if (!bKept)
        return templ;
    CWindowSize size = kept;
    if (screen.nWidth > 0)
        size.nWidth = std::min(size.nWidth, screen.nWidth);
    if (screen.nHeight > 0)
        size.nHeight = std::min(size.nHeight, screen.nHeight);
    size.nWidth = std::max(size.nWidth, templ.nWidth);
    size.nHeight = std::max(size.nHeight, templ.nHeight);
    return size;
}

CPixelRect FollowSize(const CPixelRect& rcTemplate, int nAnchors, int nGrowX, int nGrowY) {
    CPixelRect rc = rcTemplate;
    if (nAnchors & ANCHOR_RIGHT) {
        rc.nRight += nGrowX;
        if (!(nAnchors & ANCHOR_LEFT))
            rc.nLeft += nGrowX;
    }
    if (nAnchors & ANCHOR_BOTTOM) {
        rc.nBottom += nGrowY;
        if (!(nAnchors & ANCHOR_TOP))
            rc.nTop += nGrowY;
    }
    return rc;
}
