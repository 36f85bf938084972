#include "controls/TransparentBlit.h"

#include <algorithm>

namespace {

// Calls fn(dstX, dstY, srcX, srcY) for every source pixel that lands in dst.
template <typename Fn>
void ForEachOverlap(const CPixelBuffer& dst, int x, int y, int nSrcWidth, int nSrcHeight, Fn fn) {
    // 64-bit edges: a far-off position must not overflow into a visible one.
    const long long xBegin = std::max<long long>(0, -static_cast<long long>(x));
    const long long yBegin = std::max<long long>(0, -static_cast<long long>(y));
    const long long xEnd = std::min<long long>(nSrcWidth, static_cast<long long>(dst.nWidth) - x);
    const long long yEnd = std::min<long long>(nSrcHeight, static_cast<long long>(dst.nHeight) - y);
    for (long long sy = yBegin; sy < yEnd; ++sy)
        for (long long sx = xBegin; sx < xEnd; ++sx)
            fn(static_cast<int>(x + sx), static_cast<int>(y + sy), static_cast<int>(sx), static_cast<int>(sy));
}

}  // namespace

CMonoMask MakeKeyMask(const CPixelBuffer& image, uint32_t clrKey) {
    CMonoMask mask;
    mask.nWidth = image.nWidth;
    mask.nHeight = image.nHeight;
    mask.arWhite.resize(image.arPixels.size());
    for (size_t i = 0; i < image.arPixels.size(); ++i)
        mask.arWhite[i] = (image.arPixels[i] & 0xFFFFFF) == (clrKey & 0xFFFFFF);
    return mask;
}

void BlitSrcInvert(CPixelBuffer& dst, int x, int y, const CPixelBuffer& src) {
    ForEachOverlap(dst, x, y, src.nWidth, src.nHeight,
                   [&](int dx, int dy, int sx, int sy) { dst.At(dx, dy) ^= src.At(sx, sy); });
}

void BlitMaskAnd(CPixelBuffer& dst, int x, int y, const CMonoMask& mask, uint32_t clrInk, uint32_t clrPaper) {
    ForEachOverlap(dst, x, y, mask.nWidth, mask.nHeight, [&](int dx, int dy, int sx, int sy) {
        dst.At(dx, dy) &= mask.At(sx, sy) ? clrPaper : clrInk;
    });
}

void DrawTransparentPixels(CPixelBuffer& dst, int x, int y, const CPixelBuffer& image, uint32_t clrKey,
                           uint32_t clrInk, uint32_t clrPaper) {
    CMonoMask mask = MakeKeyMask(image, clrKey);
    BlitSrcInvert(dst, x, y, image);
    BlitMaskAnd(dst, x, y, mask, clrInk, clrPaper);
    BlitSrcInvert(dst, x, y, image);
}
