// What a list column shows and in what order, apart from the toolkit: a
// path fitted into its column by cutting its middle (the name at its end
// stays whole as long as it can), and the order a click on a header gives.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The width of a text as the list draws it, in pixels.
using FnTextWidth = std::function<int(const std::string&)>;

// The path itself when it fits in nMaxWidth; else the folder loses its
// middle ("/home/ann/…/Downloads/setup.exe"), and when even the name does
// not fit beside the ellipsis, the name loses its middle instead. The cut
// never splits a UTF-8 character; the end of the name is never cut off.
std::string ShortenPathMiddle(const std::string& strPath, int nMaxWidth, const FnTextWidth& fnWidth);

// The order of a list whose header was clicked: the first click on a
// column sorts by it, the second reverses, the third gives back the list's
// own order.
class CListSort {
public:
    void Click(int nCol);
    bool IsSorted() const { return m_nCol >= 0; }
    int GetColumn() const { return m_nCol; }
    bool IsDescending() const { return m_bDescending; }

private:
    int m_nCol = -1;
    bool m_bDescending = false;
};

// Indices 0..nCount-1 sorted by fnCompare (negative, 0, positive), reversed
// when bDescending; rows that compare equal keep their own order.
std::vector<int> SortedOrder(int nCount, const std::function<int(int, int)>& fnCompare, bool bDescending);
