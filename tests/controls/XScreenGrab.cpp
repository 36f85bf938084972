#include "XScreenGrab.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace {

int Shift(unsigned long nMask) {
    int n = 0;
    while (nMask && !(nMask & 1)) {
        nMask >>= 1;
        ++n;
    }
    return n;
}

unsigned char Channel(unsigned long nPixel, unsigned long nMask) {
    if (!nMask)
        return 0;
    unsigned long nValue = (nPixel & nMask) >> Shift(nMask);
    unsigned long nMax = nMask >> Shift(nMask);
    return static_cast<unsigned char>(nValue * 255 / nMax);
}

}  // namespace

bool GrabScreenRgb(int x, int y, int nWidth, int nHeight, std::vector<unsigned char>& arRgb) {
    arRgb.assign(static_cast<size_t>(std::max(nWidth, 0)) * std::max(nHeight, 0) * 3, 0);
    Display* pDisplay = XOpenDisplay(nullptr);
    if (!pDisplay)
        return false;
    const int nScreen = DefaultScreen(pDisplay);
    // Only the part on the screen: asking for more is an X error.
    const int x0 = std::max(x, 0);
    const int y0 = std::max(y, 0);
    const int x1 = std::min(x + nWidth, DisplayWidth(pDisplay, nScreen));
    const int y1 = std::min(y + nHeight, DisplayHeight(pDisplay, nScreen));
    bool bOk = false;
    if (x1 > x0 && y1 > y0) {
        XImage* pImage = XGetImage(pDisplay, RootWindow(pDisplay, nScreen), x0, y0, x1 - x0, y1 - y0, AllPlanes,
                                   ZPixmap);
        if (pImage) {
            for (int yy = y0; yy < y1; ++yy)
                for (int xx = x0; xx < x1; ++xx) {
                    unsigned long nPixel = XGetPixel(pImage, xx - x0, yy - y0);
                    unsigned char* p = &arRgb[(static_cast<size_t>(yy - y) * nWidth + (xx - x)) * 3];
                    p[0] = Channel(nPixel, pImage->red_mask);
                    p[1] = Channel(nPixel, pImage->green_mask);
                    p[2] = Channel(nPixel, pImage->blue_mask);
                }
            XDestroyImage(pImage);
            bOk = true;
        }
    }
    XCloseDisplay(pDisplay);
    return bOk;
}
