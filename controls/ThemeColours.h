// Colours chosen against the desktop's theme: a colour of our own is used
// only where it stays readable, and never without its partner (a forced
// background brings its text colour), so no theme, light, dark or high
// contrast, gets white on pale yellow.
#pragma once

#include <cstdint>

struct CRgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const CRgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// 1 (the same) to 21 (black on white), as the accessibility guides count it.
double ContrastRatio(const CRgb& clr1, const CRgb& clr2);

// Text that meets this against its background reads easily.
constexpr double kReadableContrast = 4.5;
// A link is text too, but it also has its own colour to tell it apart.
constexpr double kLinkContrast = 3.0;

// The theme's link colour when the theme has one that reads on the face
// behind the label; else the theme's text colour.
CRgb ChooseLinkColour(bool bLinkKnown, const CRgb& clrLink, const CRgb& clrText, const CRgb& clrFace);

struct CListColours {
    bool bForced = false;  // false: the theme's own colours, both
    CRgb clrBack;
    CRgb clrText;
};
// A list that would like its own background: it gets it, with the theme's
// text colour, when that text reads on it; otherwise the theme keeps both.
CListColours ChooseListColours(const CRgb& clrWanted, const CRgb& clrThemeText);
