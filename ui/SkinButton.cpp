#include "ui/SkinButton.h"

#include <algorithm>

#include <wx/dcclient.h>
#include <wx/renderer.h>
#include <wx/settings.h>

#include "ui/MemDC.h"
#include "ui/ResourceImages.h"

wxBEGIN_EVENT_TABLE(CSkinButton, wxControl)
    EVT_PAINT(CSkinButton::OnPaint)
    EVT_ERASE_BACKGROUND(CSkinButton::OnEraseBackground)
    EVT_MOTION(CSkinButton::OnMouseMove)
    EVT_LEFT_DOWN(CSkinButton::OnLeftDown)
    // A quick second press is a press like any other.
    EVT_LEFT_DCLICK(CSkinButton::OnLeftDown)
    EVT_LEFT_UP(CSkinButton::OnLeftUp)
    EVT_KILL_FOCUS(CSkinButton::OnKillFocus)
    EVT_SET_FOCUS(CSkinButton::OnSetFocus)
    EVT_MOUSE_CAPTURE_CHANGED(CSkinButton::OnCaptureChanged)
    EVT_MOUSE_CAPTURE_LOST(CSkinButton::OnCaptureLost)
    EVT_SET_CURSOR(CSkinButton::OnSetCursor)
    EVT_KEY_DOWN(CSkinButton::OnKeyDown)
    EVT_KEY_UP(CSkinButton::OnKeyUp)
wxEND_EVENT_TABLE()

CSkinButton::CSkinButton() { Init(); }

CSkinButton::CSkinButton(wxWindow* pParent, wxWindowID nId, const wxString& strLabel, const wxPoint& pos,
                         const wxSize& size, long nStyle) {
    Init();
    Create(pParent, nId, strLabel, pos, size, nStyle);
}

void CSkinButton::Init() {
    m_clrNormalBack = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
    m_clrNormalText = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT);
    m_clrHotBack = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
    m_clrHotText = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT);
    m_state = CSkinButtonState(m_opt.bFlat);
}

bool CSkinButton::Create(wxWindow* pParent, wxWindowID nId, const wxString& strLabel, const wxPoint& pos,
                         const wxSize& size, long nStyle) {
    if (!wxControl::Create(pParent, nId, pos, size, nStyle | wxBORDER_NONE | wxWANTS_CHARS))
        return false;
    SetLabel(strLabel);
    // Every pixel is painted by DrawFrame.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetInitialSize(size);
    return true;
}

CSkinButton::~CSkinButton() {
    if (HasCapture())
        ReleaseMouse();
}

void CSkinButton::SetIcons(int nHotId, int nNormalId, int nWidth, int nHeight) {
    m_iconHot = LoadIconResource(static_cast<uint16_t>(nHotId));
    m_iconNormal = nNormalId == 0 ? m_iconHot : LoadIconResource(static_cast<uint16_t>(nNormalId));
    // The box is a byte each way: larger values stop at 255 rather than wrap.
    m_nIconWidth = static_cast<uint8_t>(std::clamp(nWidth, 0, 255));
    m_nIconHeight = static_cast<uint8_t>(std::clamp(nHeight, 0, 255));
    Refresh();
    Update();
}

bool CSkinButton::Enable(bool bEnable) {
    bool bChanged = wxControl::Enable(bEnable);
    // A disabled button takes no mouse input, so it must not keep the capture.
    if (!bEnable && HasCapture()) {
        ReleaseMouse();
        Apply(m_state.OnCaptureChanged());
    }
    return bChanged;
}

wxSize CSkinButton::DoGetBestClientSize() const {
    wxSize sz = GetTextExtent(wxControl::RemoveMnemonics(GetLabel()));
    return wxSize(sz.x + m_nIconWidth + 12, std::max<int>(sz.y, m_nIconHeight) + 8);
}

bool CSkinButton::IsInside(const wxPoint& pt) const {
    return wxRect(GetClientSize()).Contains(pt);
}

void CSkinButton::Apply(unsigned nActions) {
    if ((nActions & SKIN_TAKE_CAPTURE) && !HasCapture())
        CaptureMouse();
    if ((nActions & SKIN_RELEASE_CAPTURE) && HasCapture()) {
        ReleaseMouse();
        // The toolkit does not report a capture we give up ourselves.
        nActions |= m_state.OnCaptureChanged() & SKIN_REDRAW;
    }
    if (nActions & SKIN_REDRAW)
        Refresh();
    if (nActions & SKIN_CLICK) {
        wxCommandEvent event(wxEVT_BUTTON, GetId());
        event.SetEventObject(this);
        HandleWindowEvent(event);
    }
}

void CSkinButton::OnMouseMove(wxMouseEvent& event) {
    event.Skip();
    Apply(m_state.OnMouseMove(IsInside(event.GetPosition()), event.LeftIsDown(), HasCapture(),
                              GetParent() != nullptr));
}

void CSkinButton::OnLeftDown(wxMouseEvent& event) {
    if (!IsEnabled())
        return;
    if (AcceptsFocus() && FindFocus() != this)
        SetFocus();
    Apply(m_state.OnLeftDown(IsInside(event.GetPosition()), HasCapture()));
}

void CSkinButton::OnLeftUp(wxMouseEvent& event) {
    Apply(m_state.OnLeftUp(IsInside(event.GetPosition())));
}

void CSkinButton::OnKillFocus(wxFocusEvent& event) {
    event.Skip();
    Apply(m_state.OnKillFocus());
}

void CSkinButton::OnSetFocus(wxFocusEvent& event) {
    event.Skip();
    Refresh();
}

void CSkinButton::OnCaptureChanged(wxMouseCaptureChangedEvent& event) {
    if (event.GetCapturedWindow() != this)
        Apply(m_state.OnCaptureChanged());
}

void CSkinButton::OnCaptureLost(wxMouseCaptureLostEvent&) {
    Apply(m_state.OnCaptureChanged());
}

void CSkinButton::OnSetCursor(wxSetCursorEvent& event) {
    if (m_cursor.IsOk())
        event.SetCursor(m_cursor);
    else
        event.Skip();
}

void CSkinButton::OnKeyDown(wxKeyEvent& event) {
    switch (event.GetKeyCode()) {
    case WXK_SPACE:
        if (!event.IsAutoRepeat())
            Apply(m_state.OnSpaceDown());
        break;
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
        Apply(m_state.OnEnter());
        break;
    default:
        event.Skip();
    }
}

void CSkinButton::OnKeyUp(wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_SPACE)
        Apply(m_state.OnSpaceUp());
    else
        event.Skip();
}

void CSkinButton::OnEraseBackground(wxEraseEvent&) {}

void CSkinButton::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    CMemDC dcMem(dc);
    DrawFrame(dcMem);
}

void CSkinButton::DrawFrame(wxDC& dc) {
    const wxSize sz = GetClientSize();
    const bool bDisabled = !IsEnabled();
    const wxString strCaption = m_opt.bShowText ? GetLabel() : wxString();

    CSkinFrameInput in;
    in.rcItem = MakePixelRect(0, 0, sz.x, sz.y);
    in.bHot = m_state.IsHot();
    in.bPressed = m_state.IsPressed();
    in.bFocused = HasFocus();
    in.bDisabled = bDisabled;
    in.bHasIcon = m_iconHot.IsOk();
    in.nIconWidth = m_nIconWidth;
    in.nIconHeight = m_nIconHeight;
    in.bHasCaption = !strCaption.empty();
    const CSkinFrameLayout frame = LayoutSkinFrame(m_opt, in);

    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(frame.bHotLook ? m_clrHotBack : m_clrNormalBack));
    dc.DrawRectangle(0, 0, sz.x, sz.y);

    // Read at every paint, so a theme change shows at the next frame.
    const wxColour clrLight = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNHIGHLIGHT);
    const wxColour clrShadow = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW);
    for (const CSkinRun& run : frame.arRuns) {
        dc.SetBrush(wxBrush(run.ePen == SKIN_PEN_LIGHT ? clrLight : clrShadow));
        dc.DrawRectangle(run.rcPixels.nLeft, run.rcPixels.nTop, run.rcPixels.Width(), run.rcPixels.Height());
    }
    dc.SetBrush(wxNullBrush);

    if (frame.bDrawIcon) {
        const wxIcon& icon = frame.bHotLook ? m_iconHot : m_iconNormal;
        if (icon.IsOk()) {
            const wxRect rcIcon(frame.rcIcon.nLeft, frame.rcIcon.nTop, frame.rcIcon.Width(), frame.rcIcon.Height());
            wxDCClipper clip(dc, rcIcon);
            if (bDisabled)
                dc.DrawBitmap(wxBitmap(icon).ConvertToDisabled(), rcIcon.x, rcIcon.y, true);
            else
                dc.DrawIcon(icon, rcIcon.x, rcIcon.y);
        }
    }

    if (frame.bDrawCaption) {
        const CMnemonicText text = ParseMnemonic(std::string(strCaption.utf8_str()));
        const wxString strShown = wxString::FromUTF8(text.strText);
        dc.SetFont(GetFont());
        dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
        wxCoord nWidth = 0, nHeight = 0, nDescent = 0;
        dc.GetTextExtent(strShown, &nWidth, &nHeight, &nDescent);
        const CPixelRect rc = PlaceCaption(frame.rcCaptionArea, nWidth, nHeight);

        wxCoord xMark = 0, nMarkWidth = 0;
        if (text.nUnderline >= 0) {
            xMark = dc.GetTextExtent(wxString::FromUTF8(text.strText.substr(0, text.nUnderline))).x;
            nMarkWidth = dc.GetTextExtent(wxString::FromUTF8(text.strText.substr(text.nUnderline, text.nUnderlineLen))).x;
        }
        auto drawText = [&](int x, int y, const wxColour& clr) {
            dc.SetTextForeground(clr);
            dc.DrawText(strShown, x, y);
            if (nMarkWidth > 0) {
                dc.SetPen(*wxTRANSPARENT_PEN);
                dc.SetBrush(wxBrush(clr));
                dc.DrawRectangle(x + xMark, y + nHeight - nDescent + 1, nMarkWidth, 1);
                dc.SetBrush(wxNullBrush);
            }
        };
        if (bDisabled) {
            // Embossed: a light copy one pixel down and right under a shadow one.
            drawText(rc.nLeft + 1, rc.nTop + 1, clrLight);
            drawText(rc.nLeft, rc.nTop, clrShadow);
        } else {
            dc.SetTextBackground(frame.bHotLook ? m_clrHotBack : m_clrNormalBack);
            drawText(rc.nLeft, rc.nTop, frame.bHotLook ? m_clrHotText : m_clrNormalText);
        }
    }

    if (frame.bDrawFocus)
        wxRendererNative::Get().DrawFocusRect(this, dc,
                                              wxRect(frame.rcFocus.nLeft, frame.rcFocus.nTop, frame.rcFocus.Width(),
                                                     frame.rcFocus.Height()));
}
