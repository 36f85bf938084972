// Which cell a point names, and what its tip shows.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/TipListLogic.h"

namespace {

// Rows of 20 pixels under a 24-pixel header; row nTop is the first shown.
class CFakeList : public ITipListSource {
public:
    bool bReport = true;
    int nTop = 0;
    int nPerPage = 5;
    int nCount = 3;
    int nScrollX = 0;
    int nClientWidth = 400;
    std::vector<int> arWidths{80, 100, 60};
    mutable std::vector<int> arRowsAsked;

    bool IsReportView() const override { return bReport; }
    int GetTopIndex() const override { return nTop; }
    int GetCountPerPage() const override { return nPerPage; }
    int GetItemCount() const override { return nCount; }
    int GetColumnCount() const override { return static_cast<int>(arWidths.size()); }
    int GetColumnWidth(int nCol) const override { return arWidths[nCol]; }
    bool GetRowBounds(int nRow, CPixelRect* prc) const override {
        arRowsAsked.push_back(nRow);
        int nTotal = 0;
        for (int w : arWidths)
            nTotal += w;
        *prc = MakePixelRect(-nScrollX, 24 + (nRow - nTop) * 20, nTotal, 20);
        return true;
    }
    CPixelRect GetClientBounds() const override { return MakePixelRect(0, 0, nClientWidth, 150); }
};

struct CHit {
    int nRow;
    int nCol;
    CPixelRect rc;
};

CHit Hit(const CFakeList& list, int x, int y) {
    CHit hit{-1, -1, {}};
    hit.nRow = CellFromPoint(list, x, y, &hit.rc, &hit.nCol);
    return hit;
}

}  // namespace

TEST(TipIdTest, EncodesRowAndColumnAndNeverZero) {
    EXPECT_EQ(TipIdFromCell(0, 0), 1u);
    EXPECT_EQ(TipIdFromCell(5, 3), 5u * 1024 + 3 + 1);
    int nRow = -1, nCol = -1;
    ASSERT_TRUE(CellFromTipId(TipIdFromCell(7, 1023), &nRow, &nCol));
    EXPECT_EQ(nRow, 7);
    EXPECT_EQ(nCol, 1023);
    EXPECT_FALSE(CellFromTipId(0, &nRow, &nCol));
    // A huge list must not wrap one row onto another.
    ASSERT_TRUE(CellFromTipId(TipIdFromCell(3'000'000, 2), &nRow, &nCol));
    EXPECT_EQ(nRow, 3'000'000);
    EXPECT_EQ(nCol, 2);
    // Columns past the id's range get no tip rather than another cell's.
    EXPECT_EQ(TipIdFromCell(0, 1024), 0u);
    EXPECT_EQ(TipIdFromCell(-1, 0), 0u);
}

TEST(TipTextTest, KeepsAtMost79Characters) {
    EXPECT_EQ(LimitTipText(std::string(100, 'a')), std::string(79, 'a'));
    EXPECT_EQ(LimitTipText(std::string(79, 'b')), std::string(79, 'b'));
    EXPECT_EQ(LimitTipText(""), "");
    // 78 ASCII then a two-byte letter: the letter is the 79th character and stays whole.
    std::string str = std::string(78, 'c') + "\xc3\xa9" + "tail";
    EXPECT_EQ(LimitTipText(str), std::string(78, 'c') + "\xc3\xa9");
    // Stray bytes show as one mark each, so each counts as one.
    std::string strBad(100, '\xff');
    EXPECT_EQ(LimitTipText(strBad).size(), 79u);
    // A lead byte at the cut whose sequence is broken is one character.
    std::string strCut = std::string(78, 'd') + "\xe2\x82" + "x";
    EXPECT_EQ(LimitTipText(strCut), std::string(78, 'd') + "\xe2");
}

TEST(CellFromPointTest, ColumnEdgesAndWidths) {
    CFakeList list;
    // Inside the first row, first column.
    CHit hit = Hit(list, 10, 30);
    EXPECT_EQ(hit.nRow, 0);
    EXPECT_EQ(hit.nCol, 0);
    EXPECT_EQ(hit.rc, MakePixelRect(0, 24, 80, 20));
    // The line between two columns belongs to the left one.
    EXPECT_EQ(Hit(list, 80, 30).nCol, 0);
    EXPECT_EQ(Hit(list, 81, 30).nCol, 1);
    // A zero-width column after the first is never hit: its only point is
    // the right edge of the column before it.
    list.arWidths = {80, 100, 0, 60};
    EXPECT_EQ(Hit(list, 180, 50).nCol, 1);
    EXPECT_EQ(Hit(list, 181, 50).nCol, 3);
    EXPECT_EQ(Hit(list, 181, 50).nRow, 1);
}

TEST(CellFromPointTest, CellCutAtClientEdge) {
    CFakeList list;
    list.nClientWidth = 200;
    CHit hit = Hit(list, 190, 30);
    EXPECT_EQ(hit.nCol, 2);
    EXPECT_EQ(hit.rc, (CPixelRect{180, 24, 200, 44}));
    // Scrolled sideways: the running edge starts at the row's left.
    list.nScrollX = 50;
    hit = Hit(list, 10, 30);
    EXPECT_EQ(hit.nCol, 0);
    EXPECT_EQ(hit.rc.nLeft, -50);
    EXPECT_EQ(Hit(list, 31, 30).nCol, 1);
}

TEST(CellFromPointTest, NoCellGivesNoTip) {
    CFakeList list;
    // Below the last row, right of the last column, above the rows.
    EXPECT_EQ(Hit(list, 10, 24 + 3 * 20 + 5).nRow, -1);
    EXPECT_EQ(Hit(list, 10, 24 + 3 * 20).nRow, -1);  // the bottom edge is outside
    EXPECT_EQ(Hit(list, 300, 30).nRow, -1);
    EXPECT_EQ(Hit(list, 10, 5).nRow, -1);
    list.nCount = 0;
    EXPECT_EQ(Hit(list, 10, 30).nRow, -1);
    list.nCount = 3;
    list.bReport = false;
    EXPECT_EQ(Hit(list, 10, 30).nRow, -1);
    // Null outputs are allowed.
    list.bReport = true;
    EXPECT_EQ(CellFromPoint(list, 10, 30, nullptr, nullptr), 0);
}

TEST(CellFromPointTest, ScrolledListTestsOnlyVisibleRows) {
    CFakeList list;
    list.nCount = 100;
    list.nTop = 40;
    list.nPerPage = 5;
    // The first row shown names its real index.
    EXPECT_EQ(Hit(list, 10, 30).nRow, 40);
    // The partly shown row after a full page is tested too.
    EXPECT_EQ(Hit(list, 10, 24 + 5 * 20 + 3).nRow, 45);
    list.arRowsAsked.clear();
    EXPECT_EQ(Hit(list, 10, 500).nRow, -1);
    EXPECT_EQ(list.arRowsAsked, (std::vector<int>{40, 41, 42, 43, 44, 45}));
    // Near the end the walk stops at the last row, never one past it.
    list.nTop = 97;
    list.arRowsAsked.clear();
    Hit(list, 10, 500);
    EXPECT_EQ(list.arRowsAsked, (std::vector<int>{97, 98, 99}));
}
