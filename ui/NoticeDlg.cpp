#include "ui/NoticeDlg.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dcclient.h>
#include <wx/stattext.h>
#include <wx/valgen.h>

#include "controls/TextWrap.h"
#include "res/Strings.h"
#include "ui/DisplayText.h"
#include "ui/ResourceImages.h"

wxBEGIN_EVENT_TABLE(CNoticeDlg, wxDialog)
    EVT_PAINT(CNoticeDlg::OnPaint)
    EVT_BUTTON(wxID_OK, CNoticeDlg::OnOK)
    EVT_CHAR_HOOK(CNoticeDlg::OnCharHook)
    EVT_CLOSE(CNoticeDlg::OnClose)
wxEND_EVENT_TABLE()

CNoticeDlg::CNoticeDlg(wxWindow* pParent, const std::string& strMessage)
    : wxDialog(pParent, wxID_ANY, ToDisplay(LoadText(IDS_PRODUCT_CAPTION)), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      m_strMessage(strMessage) {
    SetClientSize(wxDLG_UNIT(this, wxSize(235, 69)));
    // Control 1 of the template is the standard OK button.
    auto* pOK = new wxButton(this, wxID_OK, ToDisplay(LoadText(IDS_NOTICE_OK)), wxDLG_UNIT(this, wxPoint(178, 51)),
                             wxDLG_UNIT(this, wxSize(52, 14)));
    pOK->SetDefault();
    m_btnOK = pOK;
    m_staticText = new wxStaticText(this, IDC_NOTICE_TEXT, wxString(), wxDLG_UNIT(this, wxPoint(47, 12)),
                                    wxDLG_UNIT(this, wxSize(183, 39)), wxALIGN_LEFT | wxST_NO_AUTORESIZE);
    m_chkDontShow = new wxCheckBox(this, IDC_DONT_SHOW, ToDisplay(LoadText(IDS_NOTICE_DONT_SHOW)),
                                   wxDLG_UNIT(this, wxPoint(7, 55)), wxDLG_UNIT(this, wxSize(138, 10)));
    m_chkDontShow->SetValidator(wxGenericValidator(&m_bChecked));
    // Without a Cancel button the toolkit would turn Escape and the close
    // box into OK; both cancel here (OnCharHook, OnClose).
    SetEscapeId(wxID_NONE);
    pOK->SetFocus();
}

bool CNoticeDlg::ShowNotice(wxWindow* pParent, const std::string& strMessage, bool* pbDontShow) {
    CNoticeDlg dlg(pParent, strMessage);
    if (dlg.ShowModal() != wxID_OK)
        return false;
    if (pbDontShow)
        *pbDontShow = dlg.m_bDontShow;
    return true;
}

int CNoticeDlg::ShowModal() {
    // Laid out before the box appears, so it never jumps or grows in sight.
    // The check box starts clear (the box initialises its controls from
    // m_bChecked), and a box shown again never reports an earlier tick.
    ShowText();
    if (!m_bmpEmblem.IsOk())
        m_bmpEmblem.LoadBitmap(IDB_EMBLEM);
    m_bChecked = false;
    m_bDontShow = false;
    Centre();
    return wxDialog::ShowModal();
}

void CNoticeDlg::ShowText() {
    // Wrapped here rather than by the label: a path without blanks must
    // break inside the box instead of running off its edge.
    const int nWidth = m_staticText->GetSize().x;
    auto fnMeasure = [this](const std::string& str) { return m_staticText->GetTextExtent(ToDisplay(str)).x; };
    std::string strWrapped;
    const std::vector<std::string> arLines = WrapText(m_strMessage, nWidth, fnMeasure);
    for (size_t i = 0; i < arLines.size(); ++i) {
        if (i)
            strWrapped += '\n';
        strWrapped += arLines[i];
    }
    // Taken literally: an ampersand in a path is not a mnemonic.
    m_staticText->SetLabelText(ToDisplay(strWrapped));

    // A text taller than the box grows the box and everything below it, so
    // the notice under a long path stays in sight.
    const int nNeeded = m_staticText->GetCharHeight() * static_cast<int>(arLines.size());
    const int nExtra = nNeeded - m_staticText->GetSize().y;
    if (nExtra > 0) {
        m_staticText->SetSize(m_staticText->GetSize() + wxSize(0, nExtra));
        m_btnOK->Move(m_btnOK->GetPosition() + wxPoint(0, nExtra));
        m_chkDontShow->Move(m_chkDontShow->GetPosition() + wxPoint(0, nExtra));
        SetClientSize(GetClientSize() + wxSize(0, nExtra));
    }
}

void CNoticeDlg::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    // Pixels, not dialog units: the emblem keeps its place whatever the font.
    m_bmpEmblem.DrawTransparent(dc, 15, 15, *wxWHITE);
}

void CNoticeDlg::OnOK(wxCommandEvent&) {
    if (!TransferDataFromWindow())
        return;
    m_bDontShow = m_bChecked;
    EndNotice(wxID_OK);
}

void CNoticeDlg::OnCharHook(wxKeyEvent& event) {
    switch (event.GetKeyCode()) {
    case WXK_ESCAPE:
        EndNotice(wxID_CANCEL);
        break;
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
        // OK is the default button wherever the focus is.
        EmulateButtonClickIfPresent(wxID_OK);
        break;
    default:
        event.Skip();
    }
}

void CNoticeDlg::OnClose(wxCloseEvent&) { EndNotice(wxID_CANCEL); }

void CNoticeDlg::EndNotice(int nCode) {
    if (IsModal())
        EndModal(nCode);
    else
        Hide();
}
