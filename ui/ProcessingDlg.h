// The small progress window of a Repair pass: stays above other windows,
// cannot be closed by the user, and goes away when the pass ends.
#pragma once

#include <string>

#include <wx/dialog.h>

class wxGauge;
class wxStaticText;

class CProcessingDlg : public wxDialog {
public:
    enum { IDD = 170, IDC_PROGRESS = 1033, IDC_CONTEXT = 1034 };

    // Created modeless and shown at once.
    explicit CProcessingDlg(wxWindow* pParent);

    void SetRange(int nMax);
    void SetPos(int nPos);
    void SetContext(const std::string& strText);

    wxGauge* m_progress = nullptr;
    wxStaticText* m_staticContext = nullptr;

protected:
    void OnClose(wxCloseEvent& event);

private:
    wxDECLARE_EVENT_TABLE();
};
