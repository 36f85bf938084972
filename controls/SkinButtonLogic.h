// The flat skin button apart from the toolkit: its hover, press and capture
// state machine and the layout of one frame (background, border runs, icon
// and caption rectangles).
#pragma once

#include <string>
#include <vector>

#include "controls/PixelRect.h"

// What the window has to do after an input; several may be set, and the
// window applies them in this order.
enum ESkinAction : unsigned {
    SKIN_NONE = 0,
    SKIN_TAKE_CAPTURE = 1,
    SKIN_RELEASE_CAPTURE = 2,  // only if the button still holds it
    SKIN_REDRAW = 4,
    SKIN_CLICK = 8,  // the button's ordinary click notification
};

// Hover tracking of the flat face plus the press behaviour of a platform
// push button. Every input says whether the button holds the mouse capture
// at that moment; the capture changes only through the returned actions.
// Releasing the capture (ours or by anyone else) must be answered with
// OnCaptureChanged.
class CSkinButtonState {
public:
    explicit CSkinButtonState(bool bFlat = true) : m_bFlat(bFlat) {}

    unsigned OnMouseMove(bool bInside, bool bLeftDown, bool bHasCapture, bool bHasParent);
    unsigned OnLeftDown(bool bInside, bool bHasCapture);
    unsigned OnLeftUp(bool bInside);
    unsigned OnKillFocus();
    unsigned OnCaptureChanged();
    // Space presses and releases the button as a mouse click would;
    // Enter clicks at once.
    unsigned OnSpaceDown();
    unsigned OnSpaceUp();
    unsigned OnEnter();

    bool IsHot() const { return m_bHot; }
    bool IsPressed() const { return m_bPushed; }
    bool IsFlat() const { return m_bFlat; }

private:
    bool m_bFlat;
    bool m_bHot = false;
    bool m_bPushed = false;    // drawn pressed
    bool m_bTracking = false;  // a left press that began on the button
    bool m_bSpaceDown = false;
};

// Options of the face; this program keeps the defaults for the button's life.
struct CSkinButtonOptions {
    int nAlign = 0;  // 0: icon at the left, caption beside it
    bool bShowText = true;
    bool bDrawBorder = true;
    bool bFlat = true;
    bool bFocusWhenFlat = false;
};

enum ESkinPen { SKIN_PEN_LIGHT, SKIN_PEN_SHADOW };

// One-pixel-wide run of a border stroke, painted in list order.
struct CSkinRun {
    CPixelRect rcPixels;
    ESkinPen ePen;
};

struct CSkinFrameInput {
    CPixelRect rcItem;
    bool bHot = false;
    bool bPressed = false;
    bool bFocused = false;
    bool bDisabled = false;
    bool bHasIcon = false;  // a hot icon is loaded
    int nIconWidth = 0;     // the icon box
    int nIconHeight = 0;
    bool bHasCaption = false;  // after bShowText
};

struct CSkinFrameLayout {
    bool bHotLook = false;  // hot background, text colour and icon
    std::vector<CSkinRun> arRuns;
    bool bDrawIcon = false;
    CPixelRect rcIcon;  // the icon is drawn from its top-left, clipped to it
    bool bDrawCaption = false;
    CPixelRect rcCaptionArea;  // where the caption is centred
    bool bDrawFocus = false;
    CPixelRect rcFocus;
};

CSkinFrameLayout LayoutSkinFrame(const CSkinButtonOptions& opt, const CSkinFrameInput& in);

// The caption's rectangle once measured: centred in the area, the offsets
// truncated toward zero.
CPixelRect PlaceCaption(const CPixelRect& rcArea, int nTextWidth, int nTextHeight);

// The pixel runs that MoveTo(x0, y0) followed by LineTo(x, y) for each
// point paints: every line leaves out its end point. Axis-parallel lines only.
void AppendPolyline(std::vector<CSkinRun>& arRuns, ESkinPen ePen, int x0, int y0,
                    const std::vector<std::pair<int, int>>& arTo);

// A caption with mnemonic marks: "&x" shows x underlined, "&&" shows one
// ampersand, a lone trailing "&" shows nothing. Byte offsets into strText.
struct CMnemonicText {
    std::string strText;
    int nUnderline = -1;  // first byte of the underlined character, or -1
    int nUnderlineLen = 0;
};
CMnemonicText ParseMnemonic(const std::string& strCaption);
