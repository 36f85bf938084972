// The transparent blit as three raster operations over plain pixel buffers:
// the rule the transparent bitmap draws by, kept apart from any device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// 0x00RRGGBB.
constexpr uint32_t PackRgb(unsigned r, unsigned g, unsigned b) {
    return ((r & 0xFFu) << 16) | ((g & 0xFFu) << 8) | (b & 0xFFu);
}
constexpr uint32_t kRgbBlack = 0x000000;
constexpr uint32_t kRgbWhite = 0xFFFFFF;

struct CPixelBuffer {
    int nWidth = 0;
    int nHeight = 0;
    std::vector<uint32_t> arPixels;  // row by row, 0x00RRGGBB

    CPixelBuffer() = default;
    CPixelBuffer(int nW, int nH, uint32_t clrFill = kRgbBlack)
        : nWidth(nW > 0 ? nW : 0), nHeight(nH > 0 ? nH : 0),
          arPixels(static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight), clrFill) {}
    uint32_t At(int x, int y) const { return arPixels[static_cast<size_t>(y) * nWidth + x]; }
    uint32_t& At(int x, int y) { return arPixels[static_cast<size_t>(y) * nWidth + x]; }
};

// One bit per pixel: true (white) where the image holds the key colour.
struct CMonoMask {
    int nWidth = 0;
    int nHeight = 0;
    std::vector<bool> arWhite;
    bool At(int x, int y) const { return arWhite[static_cast<size_t>(y) * nWidth + x]; }
};

// Copying a colour image into a monochrome one: pixels of the source's
// background colour (the key) turn white, all others black.
CMonoMask MakeKeyMask(const CPixelBuffer& image, uint32_t clrKey);

// dst ^= src over the source's size at (x, y); what falls outside dst is
// left out.
void BlitSrcInvert(CPixelBuffer& dst, int x, int y, const CPixelBuffer& src);
// dst &= mask, the mask's white bits taking the destination's background
// (paper) colour and its black bits the text (ink) colour, as a monochrome
// source does on a colour destination.
void BlitMaskAnd(CPixelBuffer& dst, int x, int y, const CMonoMask& mask, uint32_t clrInk, uint32_t clrPaper);

// The whole rule: image XOR, mask AND, image XOR. With ink black and paper
// white the destination keeps its pixels wherever the image holds the key
// colour and takes the image's pixels everywhere else.
void DrawTransparentPixels(CPixelBuffer& dst, int x, int y, const CPixelBuffer& image, uint32_t clrKey,
                           uint32_t clrInk = kRgbBlack, uint32_t clrPaper = kRgbWhite);
