#include "ui/LinkLabel.h"

#include <wx/log.h>
#include <wx/settings.h>
#include <wx/utils.h>

#include "controls/LinkLabelLogic.h"
#include "controls/ThemeColours.h"

wxBEGIN_EVENT_TABLE(CLinkLabel, wxStaticText)
    EVT_LEFT_DOWN(CLinkLabel::OnLeftDown)
    EVT_SET_CURSOR(CLinkLabel::OnSetCursor)
wxEND_EVENT_TABLE()

CLinkLabel::CLinkLabel() { Init(); }

CLinkLabel::CLinkLabel(wxWindow* pParent, wxWindowID nId, const wxString& strText, const wxPoint& pos,
                       const wxSize& size, long nStyle) {
    Init();
    Create(pParent, nId, strText, pos, size, nStyle);
}

void CLinkLabel::Init() {
    m_clrText = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT);
    m_clrFlash = wxSystemSettings::GetColour(wxSYS_COLOUR_3DFACE);
    m_fontText = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
}

bool CLinkLabel::Create(wxWindow* pParent, wxWindowID nId, const wxString& strText, const wxPoint& pos,
                        const wxSize& size, long nStyle) {
    // The label keeps the size its dialog gives it, whatever font it takes.
    if (!wxStaticText::Create(pParent, nId, strText, pos, size, nStyle | wxST_NO_AUTORESIZE))
        return false;
    ApplyLook();
    return true;
}

void CLinkLabel::SetTextColor(const wxColour& clrText) {
    m_clrText = clrText;
    ApplyLook();
}

namespace {

CRgb ToRgb(const wxColour& clr) {
    return CRgb{clr.Red(), clr.Green(), clr.Blue()};
}

}  // namespace

void CLinkLabel::SetThemeLinkColor() {
    const wxColour clrLink = wxSystemSettings::GetColour(wxSYS_COLOUR_HOTLIGHT);
    const wxColour clrText = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT);
    const wxColour clrFace = GetParent() ? GetParent()->GetBackgroundColour()
                                         : wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
    const CRgb rgb = ChooseLinkColour(clrLink.IsOk(), clrLink.IsOk() ? ToRgb(clrLink) : CRgb(), ToRgb(clrText),
                                      ToRgb(clrFace));
    SetTextColor(wxColour(rgb.r, rgb.g, rgb.b));
}

void CLinkLabel::SetBold(bool bBold) {
    m_fontText.SetNumericWeight(LinkFontWeight(bBold));
    ApplyLook();
}

void CLinkLabel::ApplyLook() {
    SetFont(m_fontText);
    SetForegroundColour(m_clrText);
    // The label has no box of its own: the dialog's face shows through
    // unless a background flash asks for its other brush.
    if (ChooseLinkBrush(m_nFlashKind, m_bFlashPhase) == LINK_BRUSH_FLASH)
        SetBackgroundColour(m_clrFlash);
    Refresh();
    Update();
}

void CLinkLabel::OnLeftDown(wxMouseEvent& event) {
    const CLinkTarget target = ResolveLinkTarget(std::string(GetLabelText().utf8_str()));
    {
        // A target nothing can open fails without a message.
        wxLogNull noLog;
        if (target.eOpen == LINK_OPEN_BROWSER)
            wxLaunchDefaultBrowser(wxString::FromUTF8(target.strTarget));
        else if (target.eOpen == LINK_OPEN_DOCUMENT)
            wxLaunchDefaultApplication(wxString::FromUTF8(target.strTarget));
    }
    event.Skip();
}

void CLinkLabel::OnSetCursor(wxSetCursorEvent& event) {
    if (m_cursor.IsOk())
        event.SetCursor(m_cursor);
    else
        event.Skip();
}
