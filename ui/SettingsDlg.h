// The settings dialog: what engine.conf holds (the engine, auto included;
// the signature folder; the daemon's address; quarantine), checked before
// it is saved. The platform checks, saves and reads; this only renders
// and forwards. Ends with wxID_OK once the file holds the new choice.
#pragma once

#include <string>

#include <wx/dialog.h>

#include "scan/EngineSettings.h"

class wxCheckBox;
class wxChoice;
class wxTextCtrl;

class CSettingsDlg : public wxDialog {
public:
    enum {
        IDC_ENGINE = 1201,
        IDC_DATABASE = 1202,
        IDC_CLAMD = 1203,
        IDC_QUARANTINE = 1204,
        IDC_SAVE = 1205,
        IDC_MEDIA_WATCH = 1206,
        IDC_CANCEL = wxID_CANCEL,
    };
    // The choices' order in IDC_ENGINE; a library named in the file is one more.
    enum { ENGINE_AUTO, ENGINE_REFERENCE, ENGINE_CLAMAV, ENGINE_CLAMD, ENGINE_LIBRARY };

    CSettingsDlg(wxWindow* pParent, IEngineSettings& settings);

    // What the controls say now; after wxID_OK, what was saved.
    CEngineChoice GetChoice() const;

protected:
    void OnSave(wxCommandEvent& event);

private:
    IEngineSettings& m_settings;
    // What the file held: settings the dialog does not show stay as they were.
    CEngineChoice m_choice;
    wxChoice* m_choEngine = nullptr;
    wxTextCtrl* m_txtDatabase = nullptr;
    wxTextCtrl* m_txtClamd = nullptr;
    wxCheckBox* m_chkQuarantine = nullptr;
    wxCheckBox* m_chkMediaWatch = nullptr;

    wxDECLARE_EVENT_TABLE();
};
