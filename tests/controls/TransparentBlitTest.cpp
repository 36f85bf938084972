// The transparent blit rule over plain pixels.

#include <gtest/gtest.h>

#include "controls/TransparentBlit.h"

namespace {

constexpr uint32_t kTeal = PackRgb(0, 128, 128);
constexpr uint32_t kRed = PackRgb(215, 25, 32);
constexpr uint32_t kDark = PackRgb(43, 33, 24);

// 3x2: white corners, red and dark in the middle.
CPixelBuffer Sample() {
    CPixelBuffer img(3, 2, kRgbWhite);
    img.At(1, 0) = kRed;
    img.At(1, 1) = kDark;
    img.At(2, 1) = kRgbBlack;
    return img;
}

}  // namespace

TEST(TransparentBlitTest, KeyColourLeftOutEverythingElseCopied) {
    CPixelBuffer dst(5, 4, kTeal);
    DrawTransparentPixels(dst, 1, 1, Sample(), kRgbWhite);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            uint32_t clrWant = kTeal;
            if (x == 2 && y == 1)
                clrWant = kRed;
            if (x == 2 && y == 2)
                clrWant = kDark;
            if (x == 3 && y == 2)
                clrWant = kRgbBlack;  // black is a colour, not a hole
            EXPECT_EQ(dst.At(x, y), clrWant) << x << "," << y;
        }
}

TEST(TransparentBlitTest, AllKeyOrNoKey) {
    // A picture made only of the key colour changes nothing.
    CPixelBuffer dst(4, 4, kTeal);
    DrawTransparentPixels(dst, 0, 0, CPixelBuffer(4, 4, kRgbWhite), kRgbWhite);
    for (uint32_t clr : dst.arPixels)
        EXPECT_EQ(clr, kTeal);
    // A picture without the key colour is drawn fully opaque.
    DrawTransparentPixels(dst, 0, 0, CPixelBuffer(4, 4, kRed), kRgbWhite);
    for (uint32_t clr : dst.arPixels)
        EXPECT_EQ(clr, kRed);
}

TEST(TransparentBlitTest, ClippedAtTheDestinationsEdges) {
    CPixelBuffer img(3, 3, kRed);
    CPixelBuffer dst(4, 4, kTeal);
    DrawTransparentPixels(dst, -2, -2, img, kRgbWhite);
    EXPECT_EQ(dst.At(0, 0), kRed);
    EXPECT_EQ(dst.At(1, 0), kTeal);
    EXPECT_EQ(dst.At(0, 1), kTeal);
    DrawTransparentPixels(dst, 3, 3, img, kRgbWhite);
    EXPECT_EQ(dst.At(3, 3), kRed);
    EXPECT_EQ(dst.At(2, 3), kTeal);
    // Entirely outside, however far: nothing changes, nothing is touched.
    CPixelBuffer dstFar(4, 4, kTeal);
    DrawTransparentPixels(dstFar, 2147483600, -2147483600, img, kRgbWhite);
    DrawTransparentPixels(dstFar, 4, 0, img, kRgbWhite);
    for (uint32_t clr : dstFar.arPixels)
        EXPECT_EQ(clr, kTeal);
}
