// The notice box: the emblem, a text, OK and "Don't show this message box
// again.". It only reports the tick; the caller keeps the choice for as long
// as it means it (one press of Repair).
#pragma once

#include <string>

#include <wx/dialog.h>

#include "ui/TransparentBitmap.h"

class wxCheckBox;
class wxStaticText;

class CNoticeDlg : public wxDialog {
public:
    enum { IDD = 209, IDC_NOTICE_TEXT = 216, IDC_DONT_SHOW = 1001 };

    // pParent may be null. The message is bytes (a path, "\n", a notice);
    // it may also be set in m_strMessage before ShowModal.
    explicit CNoticeDlg(wxWindow* pParent = nullptr, const std::string& strMessage = std::string());

    // One notice, modal: true when OK (or Enter) closed it, and then
    // *pbDontShow holds the tick; false for Escape or the close box, with
    // *pbDontShow untouched.
    static bool ShowNotice(wxWindow* pParent, const std::string& strMessage, bool* pbDontShow);

    // wxID_OK when OK or Enter closed the box, wxID_CANCEL for Escape or
    // the close box.
    int ShowModal() override;

    std::string m_strMessage;
    // The tick when the user pressed OK; false otherwise.
    bool m_bDontShow = false;

protected:
    void OnPaint(wxPaintEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnClose(wxCloseEvent& event);

private:
    void ShowText();
    void EndNotice(int nCode);

    CTransparentBitmap m_bmpEmblem;
    wxStaticText* m_staticText = nullptr;
    wxCheckBox* m_chkDontShow = nullptr;
    wxWindow* m_btnOK = nullptr;
    bool m_bChecked = false;  // exchanged with the check box

    wxDECLARE_EVENT_TABLE();
};
