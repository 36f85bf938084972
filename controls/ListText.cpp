#include "controls/ListText.h"

#include <algorithm>
#include <numeric>

namespace {

const char kEllipsis[] = "\xE2\x80\xA6";

bool IsContinuation(const std::string& str, size_t i) {
    return i < str.size() && (static_cast<unsigned char>(str[i]) & 0xC0) == 0x80;
}

// str without its middle: nKeep bytes stay, split between its start and its
// end, each side ending on a character boundary.
std::string CutMiddle(const std::string& str, size_t nKeep) {
    size_t nHead = (nKeep + 1) / 2;
    size_t nTailStart = str.size() - nKeep / 2;
    while (nHead > 0 && IsContinuation(str, nHead))
        --nHead;
    while (IsContinuation(str, nTailStart))
        ++nTailStart;
    return str.substr(0, nHead) + kEllipsis + str.substr(nTailStart);
}

// The largest nKeep in [0, nMax] whose text fits, or -1 when none does; the
// width grows with nKeep.
long LargestFitting(size_t nMax, int nMaxWidth, const std::function<std::string(size_t)>& fnText,
                    const FnTextWidth& fnWidth) {
    if (fnWidth(fnText(0)) > nMaxWidth)
        return -1;
    size_t nLow = 0, nHigh = nMax;
    while (nLow < nHigh) {
        const size_t nMid = nLow + (nHigh - nLow + 1) / 2;
        if (fnWidth(fnText(nMid)) <= nMaxWidth)
            nLow = nMid;
        else
            nHigh = nMid - 1;
    }
    return static_cast<long>(nLow);
}

}  // namespace

std::string ShortenPathMiddle(const std::string& strPath, int nMaxWidth, const FnTextWidth& fnWidth) {
    if (fnWidth(strPath) <= nMaxWidth)
        return strPath;
    const size_t nSlash = strPath.rfind('/');
    const std::string strFolder = nSlash == std::string::npos ? std::string() : strPath.substr(0, nSlash);
    const std::string strTail = nSlash == std::string::npos ? strPath : strPath.substr(nSlash);
    if (!strFolder.empty()) {
        const long nKeep = LargestFitting(
            strFolder.size(), nMaxWidth, [&](size_t n) { return CutMiddle(strFolder, n) + strTail; }, fnWidth);
        if (nKeep >= 0)
            return CutMiddle(strFolder, static_cast<size_t>(nKeep)) + strTail;
    }
    // The name alone is too wide: it keeps its start and its end.
    const std::string strName = nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
    const long nKeep =
        LargestFitting(strName.size(), nMaxWidth, [&](size_t n) { return CutMiddle(strName, n); }, fnWidth);
    return nKeep >= 0 ? CutMiddle(strName, static_cast<size_t>(nKeep)) : std::string(kEllipsis);
}

void CListSort::Click(int nCol) {
    if (nCol != m_nCol) {
        m_nCol = nCol;
        m_bDescending = false;
    } else if (!m_bDescending) {
        m_bDescending = true;
    } else {
        m_nCol = -1;
        m_bDescending = false;
    }
}

std::vector<int> SortedOrder(int nCount, const std::function<int(int, int)>& fnCompare, bool bDescending) {
    std::vector<int> arOrder(static_cast<size_t>(std::max(nCount, 0)));
    std::iota(arOrder.begin(), arOrder.end(), 0);
    std::stable_sort(arOrder.begin(), arOrder.end(), [&](int a, int b) {
        const int n = fnCompare(a, b);
        return bDescending ? n > 0 : n < 0;
    });
    return arOrder;
}
