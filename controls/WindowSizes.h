// Windows that the user may make larger: the size each had when it last
// closed, kept as "name = WxH" lines, and how their controls follow a new
// size (a list grows, a button keeps its distance to the edges it sits at).
#pragma once

#include <map>
#include <string>

#include "controls/PixelRect.h"

struct CWindowSize {
    int nWidth = 0;
    int nHeight = 0;
    bool operator==(const CWindowSize& o) const { return nWidth == o.nWidth && nHeight == o.nHeight; }
};

// The lines understood; anything else (a garbled line, a size that is not
// two positive numbers, a bad name) is passed over.
std::map<std::string, CWindowSize> ParseWindowSizes(const std::string& strText);
std::string FormatWindowSizes(const std::map<std::string, CWindowSize>& mapSizes);

// Where the sizes are kept between runs.
class IWindowSizes {
public:
    virtual ~IWindowSizes() = default;
    // False when none was kept for strName.
    virtual bool Load(const std::string& strName, CWindowSize* pSize) = 0;
    virtual bool Save(const std::string& strName, const CWindowSize& size) = 0;
};

// The size a window opens at: the kept one, never below the template's and
// never beyond the screen's.
CWindowSize ChooseOpeningSize(bool bKept, const CWindowSize& kept, const CWindowSize& templ,
                              const CWindowSize& screen);

enum EAnchor {
    ANCHOR_LEFT = 1,
    ANCHOR_RIGHT = 2,
    ANCHOR_TOP = 4,
    ANCHOR_BOTTOM = 8,
    ANCHOR_ALL = ANCHOR_LEFT | ANCHOR_RIGHT | ANCHOR_TOP | ANCHOR_BOTTOM,
};
// A control's rectangle once its window grew by nGrowX, nGrowY from the
// template's size: anchored to both sides it stretches, to the far side
// alone it moves, to the near side alone it stays.
CPixelRect FollowSize(const CPixelRect& rcTemplate, int nAnchors, int nGrowX, int nGrowY);
