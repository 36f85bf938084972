// Cell tips of a report list: which cell lies under a point, the tip id that
// names a cell, and how much of a cell's text a tip shows.
#pragma once

#include <cstdint>
#include <string>

#include "controls/PixelRect.h"

// A tip id names one cell: (row << 10) + column + 1, so 0 means "no cell".
// The column has 10 bits; a column past 1023 gets no id instead of folding
// onto a lower one and showing another cell's text.
using TipId = uint64_t;
constexpr int kTipColumnBits = 10;
constexpr int kTipMaxColumn = (1 << kTipColumnBits) - 1;

TipId TipIdFromCell(int nRow, int nCol);
// False for id 0.
bool CellFromTipId(TipId nId, int* pnRow, int* pnCol);

// A tip shows at most this many characters of its cell.
constexpr size_t kTipTextMax = 79;
// The first kTipTextMax characters of UTF-8 text, never cutting a character
// in two; an invalid byte counts as one character, as it shows as one.
std::string LimitTipText(const std::string& strText);

// What CellFromPoint needs to know of the list, in the list's client
// coordinates.
class ITipListSource {
public:
    virtual ~ITipListSource() = default;
    virtual bool IsReportView() const = 0;
    virtual int GetTopIndex() const = 0;
    virtual int GetCountPerPage() const = 0;
    virtual int GetItemCount() const = 0;
    virtual int GetColumnCount() const = 0;
    virtual int GetColumnWidth(int nCol) const = 0;
    // The whole row, all columns; false when the row has no rectangle.
    virtual bool GetRowBounds(int nRow, CPixelRect* prcRow) const = 0;
    virtual CPixelRect GetClientBounds() const = 0;
};

// The row of the cell under (x, y), or -1. Only the visible rows are tested.
// A point on the line between two columns belongs to the left one, so a
// zero-width column after the first is never hit. The cell rectangle is cut
// at the client area's right edge.
int CellFromPoint(const ITipListSource& list, int x, int y, CPixelRect* prcCell, int* pnCol);
