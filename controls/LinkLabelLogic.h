// The link label apart from the toolkit: its font weight, which background
// brush it paints with, its flash phases, and what a click opens.
#pragma once

#include <string>

constexpr int kFontWeightNormal = 400;
constexpr int kFontWeightBold = 700;

// Bold or normal whatever weight the stock font had.
inline int LinkFontWeight(bool bBold) { return bBold ? kFontWeightBold : kFontWeightNormal; }

enum ELinkFlash { LINK_FLASH_NONE = 0, LINK_FLASH_TEXT = 1, LINK_FLASH_BACK = 2 };
enum ELinkBrush { LINK_BRUSH_BACK, LINK_BRUSH_FLASH };

// Which brush paints the label: the flash brush only in the off phase of a
// background flash.
inline ELinkBrush ChooseLinkBrush(int nFlashKind, bool bFlashPhase) {
    return nFlashKind == LINK_FLASH_BACK && !bFlashPhase ? LINK_BRUSH_FLASH : LINK_BRUSH_BACK;
}

enum ELinkOpen {
    LINK_OPEN_NOTHING,
    LINK_OPEN_BROWSER,   // strTarget is an address
    LINK_OPEN_DOCUMENT,  // strTarget is an absolute path
};
struct CLinkTarget {
    ELinkOpen eOpen = LINK_OPEN_NOTHING;
    std::string strTarget;
};
// What a click on a label with this text opens. An address (a web, ftp or
// mail scheme, or a "www." name, which gets "http://") goes to the browser;
// an absolute path to its default program; anything else, a relative name
// included, opens nothing, so what a click does never depends on the
// current folder.
CLinkTarget ResolveLinkTarget(const std::string& strText);
