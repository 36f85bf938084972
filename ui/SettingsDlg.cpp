#include "ui/SettingsDlg.h"

#include <stdio.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "res/Strings.h"
#include "ui/DisplayText.h"
#include "ui/MessageBox.h"

wxBEGIN_EVENT_TABLE(CSettingsDlg, wxDialog)
    EVT_BUTTON(CSettingsDlg::IDC_SAVE, CSettingsDlg::OnSave)
wxEND_EVENT_TABLE()

namespace {

wxString Text(EStringId eId) { return ToDisplay(LoadText(eId)); }

std::string Formatted(EStringId eId, const std::string& strValue) {
    char szText[8192];
    snprintf(szText, sizeof szText, LoadText(eId), strValue.c_str());
    return szText;
}

const char* const s_arEngines[] = {"auto", "reference", "clamav", "clamd"};

}  // namespace

CSettingsDlg::CSettingsDlg(wxWindow* pParent, IEngineSettings& settings) : m_settings(settings) {
    Create(pParent, wxID_ANY, Text(IDS_SETTINGS_CAPTION), wxDefaultPosition, wxDefaultSize,
           wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    std::string strWhy;
    const bool bRead = m_settings.Read(&m_choice, &strWhy);

    wxArrayString arEngines;
    for (EStringId eId : {IDS_SETTINGS_ENGINE_AUTO, IDS_SETTINGS_ENGINE_REFERENCE, IDS_SETTINGS_ENGINE_CLAMAV,
                          IDS_SETTINGS_ENGINE_CLAMD})
        arEngines.Add(Text(eId));
    int nEngine = -1;
    for (int i = 0; i < ENGINE_LIBRARY; ++i)
        if (m_choice.strEngine == s_arEngines[i])
            nEngine = i;
    // A library the file names by its path stays choosable as it is.
    if (nEngine < 0) {
        arEngines.Add(ToDisplay(Formatted(IDS_SETTINGS_ENGINE_LIBRARY, m_choice.strEngine)));
        nEngine = ENGINE_LIBRARY;
    }
    m_choEngine = new wxChoice(this, IDC_ENGINE, wxDefaultPosition, wxDefaultSize, arEngines);
    m_choEngine->SetSelection(nEngine);
    m_txtDatabase = new wxTextCtrl(this, IDC_DATABASE, wxString::FromUTF8(m_choice.strDatabase), wxDefaultPosition,
                                   FromDIP(wxSize(300, -1)));
    m_txtDatabase->SetHint(wxString::FromUTF8("/var/lib/clamav"));
    m_txtClamd = new wxTextCtrl(this, IDC_CLAMD, wxString::FromUTF8(m_choice.strClamd), wxDefaultPosition,
                                FromDIP(wxSize(300, -1)));
    m_txtClamd->SetHint("unix:/run/clamav/clamd.ctl");
    m_chkQuarantine = new wxCheckBox(this, IDC_QUARANTINE, Text(IDS_SETTINGS_QUARANTINE));
    m_chkQuarantine->SetValue(m_choice.bQuarantine);
    m_chkMediaWatch = new wxCheckBox(this, IDC_MEDIA_WATCH, Text(IDS_SETTINGS_MEDIA_WATCH));
    m_chkMediaWatch->SetValue(m_settings.IsMediaWatchOn());

    auto* pGrid = new wxFlexGridSizer(2, FromDIP(wxSize(8, 8)));
    pGrid->AddGrowableCol(1);
    pGrid->Add(new wxStaticText(this, wxID_ANY, Text(IDS_SETTINGS_ENGINE)), 0, wxALIGN_CENTER_VERTICAL);
    pGrid->Add(m_choEngine, 1, wxEXPAND);
    pGrid->Add(new wxStaticText(this, wxID_ANY, Text(IDS_SETTINGS_DATABASE)), 0, wxALIGN_CENTER_VERTICAL);
    pGrid->Add(m_txtDatabase, 1, wxEXPAND);
    pGrid->Add(new wxStaticText(this, wxID_ANY, Text(IDS_SETTINGS_CLAMD)), 0, wxALIGN_CENTER_VERTICAL);
    pGrid->Add(m_txtClamd, 1, wxEXPAND);
    auto* pMain = new wxBoxSizer(wxVERTICAL);
    pMain->Add(pGrid, 0, wxEXPAND | wxALL, FromDIP(8));
    pMain->Add(m_chkQuarantine, 0, wxLEFT | wxRIGHT, FromDIP(8));
    pMain->Add(m_chkMediaWatch, 0, wxLEFT | wxRIGHT | wxTOP, FromDIP(8));
    auto* pButtons = new wxBoxSizer(wxHORIZONTAL);
    pButtons->AddStretchSpacer();
    pButtons->Add(new wxButton(this, IDC_SAVE, Text(IDS_SETTINGS_SAVE)), 0, wxRIGHT, FromDIP(8));
    pButtons->Add(new wxButton(this, IDC_CANCEL, Text(IDS_SETTINGS_CANCEL)));
    pMain->Add(pButtons, 0, wxEXPAND | wxALL, FromDIP(8));
    SetSizerAndFit(pMain);
    SetEscapeId(IDC_CANCEL);
    CentreOnParent();
    if (!bRead)
        QuilletMessageBox(ToDisplay(Formatted(IDS_SETTINGS_CANNOT_READ, strWhy)), Text(IDS_SETTINGS_CAPTION),
                          wxOK | wxICON_EXCLAMATION, this);
}

CEngineChoice CSettingsDlg::GetChoice() const {
    CEngineChoice choice = m_choice;
    const int nEngine = m_choEngine->GetSelection();
    if (nEngine >= 0 && nEngine < ENGINE_LIBRARY)
        choice.strEngine = s_arEngines[nEngine];
    // Paths are bytes: a field left as shown keeps the file's own bytes;
    // only what the user typed is taken from the text.
    if (m_txtDatabase->GetValue() != wxString::FromUTF8(m_choice.strDatabase))
        choice.strDatabase = m_txtDatabase->GetValue().utf8_string();
    if (m_txtClamd->GetValue() != wxString::FromUTF8(m_choice.strClamd))
        choice.strClamd = m_txtClamd->GetValue().utf8_string();
    choice.bQuarantine = m_chkQuarantine->GetValue();
    return choice;
}

void CSettingsDlg::OnSave(wxCommandEvent&) {
    // Checked first: a choice that cannot work is said, never saved.
    const CEngineChoice choice = GetChoice();
    std::string strWhy;
    if (!m_settings.Check(choice, &strWhy) || !m_settings.Save(choice, &strWhy)) {
        QuilletMessageBox(ToDisplay(Formatted(IDS_SETTINGS_NOT_SAVED, strWhy)), Text(IDS_SETTINGS_CAPTION),
                          wxOK | wxICON_EXCLAMATION, this);
        return;
    }
    m_choice = choice;
    // The drive offer lives in the desktop's autostart folder, not in the file.
    if (m_chkMediaWatch->GetValue() != m_settings.IsMediaWatchOn() &&
        !m_settings.SetMediaWatch(m_chkMediaWatch->GetValue(), &strWhy))
        QuilletMessageBox(ToDisplay(Formatted(IDS_SETTINGS_NOT_SAVED, strWhy)), Text(IDS_SETTINGS_CAPTION),
                          wxOK | wxICON_EXCLAMATION, this);
    EndModal(wxID_OK);
}
