#include "ui/ProcessingDlg.h"

#include <wx/gauge.h>
#include <wx/stattext.h>

#include "res/Strings.h"
#include "ui/DisplayText.h"

wxBEGIN_EVENT_TABLE(CProcessingDlg, wxDialog)
    EVT_CLOSE(CProcessingDlg::OnClose)
wxEND_EVENT_TABLE()

CProcessingDlg::CProcessingDlg(wxWindow* pParent) {
    // No close box: the pass decides when the window goes.
    Create(pParent, IDD, ToDisplay(LoadText(IDS_PROCESSING_CAPTION)), wxDefaultPosition, wxDefaultSize,
           wxCAPTION | wxSYSTEM_MENU | wxSTAY_ON_TOP);
    SetClientSize(wxDLG_UNIT(this, wxSize(201, 45)));
    m_staticContext = new wxStaticText(this, IDC_CONTEXT, ToDisplay(LoadText(IDS_PROCESSING_CONTEXT)),
                                       wxDLG_UNIT(this, wxPoint(7, 7)), wxDLG_UNIT(this, wxSize(187, 16)),
                                       wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_MIDDLE);
    m_progress = new wxGauge(this, IDC_PROGRESS, 100, wxDLG_UNIT(this, wxPoint(7, 29)),
                             wxDLG_UNIT(this, wxSize(187, 8)));
    CentreOnParent();
    Show();
}

void CProcessingDlg::SetRange(int nMax) {
    m_progress->SetRange(nMax > 0 ? nMax : 1);
}

void CProcessingDlg::SetPos(int nPos) {
    m_progress->SetValue(nPos < m_progress->GetRange() ? nPos : m_progress->GetRange());
}

void CProcessingDlg::SetContext(const std::string& strText) {
    m_staticContext->SetLabel(ToDisplay(strText));
}

void CProcessingDlg::OnClose(wxCloseEvent& event) {
    if (event.CanVeto())
        event.Veto();
    else
        Destroy();
}
