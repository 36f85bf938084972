#include "controls/SkinButtonLogic.h"

#include "base/Utf8.h"

#include <algorithm>

unsigned CSkinButtonState::OnMouseMove(bool bInside, bool bLeftDown, bool bHasCapture, bool bHasParent) {
    unsigned nActions = SKIN_NONE;
    // The push button's own tracking: pressed while the pointer is over it.
    if (m_bTracking && m_bPushed != bInside) {
        m_bPushed = bInside;
        nActions |= SKIN_REDRAW;
    }
    // A drag that enters the button does not light it.
    if (bLeftDown && !m_bHot)
        return nActions;
    if (!m_bFlat)
        return nActions;
    if (!bHasCapture && bHasParent) {
        m_bHot = true;
        return nActions | SKIN_TAKE_CAPTURE | SKIN_REDRAW;
    }
    if (!bInside) {
        if (m_bHot) {
            m_bHot = false;
            nActions |= SKIN_REDRAW;
        }
        // While the left button is down the capture stays so the press can end.
        if (!bLeftDown)
            nActions |= SKIN_RELEASE_CAPTURE;
    }
    return nActions;
}

unsigned CSkinButtonState::OnLeftDown(bool bInside, bool bHasCapture) {
    if (!bInside)
        return SKIN_NONE;
    m_bTracking = true;
    m_bPushed = true;
    return (bHasCapture ? SKIN_NONE : SKIN_TAKE_CAPTURE) | SKIN_REDRAW;
}

unsigned CSkinButtonState::OnLeftUp(bool bInside) {
    if (!m_bTracking)
        return SKIN_NONE;
    m_bTracking = false;
    bool bClick = m_bPushed && bInside;
    m_bPushed = false;
    return SKIN_RELEASE_CAPTURE | SKIN_REDRAW | (bClick ? SKIN_CLICK : SKIN_NONE);
}

unsigned CSkinButtonState::OnKillFocus() {
    unsigned nActions = SKIN_NONE;
    if (m_bTracking || m_bSpaceDown) {
        if (m_bTracking)
            nActions |= SKIN_RELEASE_CAPTURE;
        m_bTracking = false;
        m_bSpaceDown = false;
        m_bPushed = false;
        nActions |= SKIN_REDRAW;
    }
    if (m_bFlat && m_bHot) {
        m_bHot = false;
        nActions |= SKIN_REDRAW;
    }
    return nActions;
}

unsigned CSkinButtonState::OnCaptureChanged() {
    unsigned nActions = SKIN_NONE;
    // Someone else took the capture in the middle of a press: the press ends
    // without a click.
    if (m_bTracking) {
        m_bTracking = false;
        m_bPushed = false;
        nActions |= SKIN_REDRAW;
    }
    // Hot stays: after a click the pointer is still over the button, and the
    // next move either takes the capture again or clears it.
    if (m_bHot)
        nActions |= SKIN_RELEASE_CAPTURE | SKIN_REDRAW;
    return nActions;
}

unsigned CSkinButtonState::OnSpaceDown() {
    if (m_bTracking || m_bSpaceDown)
        return SKIN_NONE;
    m_bSpaceDown = true;
    m_bPushed = true;
    return SKIN_REDRAW;
}

unsigned CSkinButtonState::OnSpaceUp() {
    if (!m_bSpaceDown)
        return SKIN_NONE;
    m_bSpaceDown = false;
    m_bPushed = false;
    return SKIN_REDRAW | SKIN_CLICK;
}

unsigned CSkinButtonState::OnEnter() {
    return m_bTracking || m_bSpaceDown ? SKIN_NONE : SKIN_CLICK;
}

void AppendPolyline(std::vector<CSkinRun>& arRuns, ESkinPen ePen, int x0, int y0,
                    const std::vector<std::pair<int, int>>& arTo) {
    int x = x0;
    int y = y0;
    for (auto [xTo, yTo] : arTo) {
        CPixelRect rc;
        if (y == yTo && x != xTo) {
            // From the start point up to, not including, the end point.
            rc = xTo > x ? CPixelRect{x, y, xTo, y + 1} : CPixelRect{xTo + 1, y, x + 1, y + 1};
            arRuns.push_back({rc, ePen});
        } else if (x == xTo && y != yTo) {
            rc = yTo > y ? CPixelRect{x, y, x + 1, yTo} : CPixelRect{x, yTo + 1, x + 1, y + 1};
            arRuns.push_back({rc, ePen});
        }
        x = xTo;
        y = yTo;
    }
}

CSkinFrameLayout LayoutSkinFrame(const CSkinButtonOptions& opt, const CSkinFrameInput& in) {
    CSkinFrameLayout out;
    const CPixelRect& r = in.rcItem;
    out.bHotLook = in.bHot || in.bPressed;

    if (opt.bDrawBorder && (in.bPressed || in.bHot)) {
        // Sunken when pressed, raised when only hot. Stroke B goes second and
        // so owns the two corners both strokes touch.
        ESkinPen ePenA = in.bPressed ? SKIN_PEN_SHADOW : SKIN_PEN_LIGHT;
        ESkinPen ePenB = in.bPressed ? SKIN_PEN_LIGHT : SKIN_PEN_SHADOW;
        AppendPolyline(out.arRuns, ePenA, r.nLeft, r.nBottom - 1, {{r.nLeft, r.nTop}, {r.nRight, r.nTop}});
        AppendPolyline(out.arRuns, ePenB, r.nLeft, r.nBottom - 1,
                       {{r.nRight - 1, r.nBottom - 1}, {r.nRight - 1, r.nTop - 1}});
    }

    CPixelRect rcText = r;
    if (in.bHasIcon) {
        CPixelRect rcIcon = r;
        if (!in.bHasCaption) {
            rcIcon.nLeft += (r.Width() - in.nIconWidth) / 2;
        } else {
            rcIcon.nLeft += 3;
            rcText.nLeft += in.nIconWidth + 3;
        }
        rcIcon.nTop += (r.Height() - in.nIconHeight) / 2;
        if (in.bPressed)
            rcIcon.Offset(1, 1);
        out.bDrawIcon = true;
        out.rcIcon = rcIcon;
    }

    if (in.bHasCaption) {
        if (in.bPressed)
            rcText.Offset(1, 1);
        out.bDrawCaption = true;
        out.rcCaptionArea = rcText;
    }

    if (in.bFocused && opt.bFocusWhenFlat) {
        out.bDrawFocus = true;
        out.rcFocus = CPixelRect{r.nLeft + 3, r.nTop + 3, r.nRight - 3, r.nBottom - 3};
    }
    return out;
}

CPixelRect PlaceCaption(const CPixelRect& rcArea, int nTextWidth, int nTextHeight) {
    CPixelRect rc = MakePixelRect(rcArea.nLeft, rcArea.nTop, nTextWidth, nTextHeight);
    rc.Offset((rcArea.Width() - nTextWidth) / 2, (rcArea.Height() - nTextHeight) / 2);
    return rc;
}

CMnemonicText ParseMnemonic(const std::string& strCaption) {
    CMnemonicText out;
    const size_t nSize = strCaption.size();
    for (size_t i = 0; i < nSize; ++i) {
        char c = strCaption[i];
        if (c != '&') {
            out.strText += c;
            continue;
        }
        if (i + 1 >= nSize)
            break;
        if (strCaption[i + 1] == '&') {
            out.strText += '&';
            ++i;
            continue;
        }
        // The whole next character, however many bytes it takes.
        if (out.nUnderline < 0) {
            size_t nEnd = NextCharEnd(strCaption, i + 1);
            out.nUnderline = static_cast<int>(out.strText.size());
            out.nUnderlineLen = static_cast<int>(nEnd - i - 1);
        }
    }
    return out;
}
