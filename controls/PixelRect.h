// A rectangle in pixels with the right and bottom edges outside, as the
// controls' geometry counts them. Plain so core can do the arithmetic.
#pragma once

struct CPixelRect {
    int nLeft = 0;
    int nTop = 0;
    int nRight = 0;
    int nBottom = 0;

    int Width() const { return nRight - nLeft; }
    int Height() const { return nBottom - nTop; }
    bool IsEmpty() const { return nRight <= nLeft || nBottom <= nTop; }
    // The right and bottom edges count as outside.
    bool Contains(int x, int y) const { return x >= nLeft && x < nRight && y >= nTop && y < nBottom; }
    void Offset(int dx, int dy) {
        nLeft += dx;
        nRight += dx;
        nTop += dy;
        nBottom += dy;
    }
    bool operator==(const CPixelRect&) const = default;
};

inline CPixelRect MakePixelRect(int x, int y, int nWidth, int nHeight) {
    return CPixelRect{x, y, x + nWidth, y + nHeight};
}
