#include "controls/TipListLogic.h"

#include <algorithm>

#include "base/Utf8.h"

TipId TipIdFromCell(int nRow, int nCol) {
    if (nRow < 0 || nCol < 0 || nCol > kTipMaxColumn)
        return 0;
    // 64 bits: a row past two million must not overflow into another cell.
    return (static_cast<TipId>(nRow) << kTipColumnBits) + static_cast<TipId>(nCol) + 1;
}

bool CellFromTipId(TipId nId, int* pnRow, int* pnCol) {
    if (nId == 0)
        return false;
    TipId nCell = nId - 1;
    if (pnRow)
        *pnRow = static_cast<int>(nCell >> kTipColumnBits);
    if (pnCol)
        *pnCol = static_cast<int>(nCell & kTipMaxColumn);
    return true;
}

std::string LimitTipText(const std::string& strText) {
    size_t i = 0;
    for (size_t nChars = 0; i < strText.size() && nChars < kTipTextMax; ++nChars)
        i = NextCharEnd(strText, i);
    return strText.substr(0, i);
}

int CellFromPoint(const ITipListSource& list, int x, int y, CPixelRect* prcCell, int* pnCol) {
    if (!list.IsReportView())
        return -1;
    const int nCount = list.GetItemCount();
    const int nFirst = std::max(list.GetTopIndex(), 0);
    const int nLast = std::min(nFirst + std::max(list.GetCountPerPage(), 0), nCount);
    const int nColumns = list.GetColumnCount();
    // Both ends included: a partly visible row below the last whole one
    // still gets its tips.
    for (int nRow = nFirst; nRow <= nLast; ++nRow) {
        if (nRow >= nCount)
            break;
        CPixelRect rcRow;
        if (!list.GetRowBounds(nRow, &rcRow) || !rcRow.Contains(x, y))
            continue;
        int xLeft = rcRow.nLeft;
        for (int nCol = 0; nCol < nColumns; ++nCol) {
            int nWidth = list.GetColumnWidth(nCol);
            if (xLeft <= x && x <= xLeft + nWidth) {
                if (pnCol)
                    *pnCol = nCol;
                if (prcCell) {
                    CPixelRect rcClient = list.GetClientBounds();
                    *prcCell = CPixelRect{xLeft, rcRow.nTop, std::min(xLeft + nWidth, rcClient.nRight),
                                          rcRow.nBottom};
                }
                return nRow;
            }
            xLeft += nWidth;
        }
    }
    return -1;
}
