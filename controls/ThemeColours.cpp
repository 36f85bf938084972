#include "controls/ThemeColours.h"

#include <algorithm>
#include <cmath>

namespace {

double Linear(uint8_t nChannel) {
    const double c = nChannel / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(const CRgb& clr) {
    return 0.2126 * Linear(clr.r) + 0.7152 * Linear(clr.g) + 0.0722 * Linear(clr.b);
}

}  // namespace

double ContrastRatio(const CRgb& clr1, const CRgb& clr2) {
    const double l1 = Luminance(clr1);
    const double l2 = Luminance(clr2);
    return (std::max(l1, l2) + 0.05) / (std::min(l1, l2) + 0.05);
}

CRgb ChooseLinkColour(bool bLinkKnown, const CRgb& clrLink, const CRgb& clrText, const CRgb& clrFace) {
    if (bLinkKnown && ContrastRatio(clrLink, clrFace) >= kLinkContrast)
        return clrLink;
    return clrText;
}

CListColours ChooseListColours(const CRgb& clrWanted, const CRgb& clrThemeText) {
    CListColours colours;
    if (ContrastRatio(clrWanted, clrThemeText) >= kReadableContrast) {
        colours.bForced = true;
        colours.clrBack = clrWanted;
        colours.clrText = clrThemeText;
    }
    return colours;
}
