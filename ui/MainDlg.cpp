#include "ui/MainDlg.h"

#include <time.h>

#include <algorithm>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/menu.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "base/Diagnostics.h"
#include "res/Strings.h"
#include "scan/SavedOptions.h"
#include "ui/AboutDlg.h"
#include "ui/AppIcon.h"
#include "ui/BackupBinDlg.h"
#include "ui/DisplayText.h"
#include "ui/FolderTree.h"
#include "ui/HistoryDlg.h"
#include "ui/InfoDlg.h"
#include "ui/LinkLabel.h"
#include "ui/MessageBox.h"
#include "ui/ResourceImages.h"
#include "ui/ScanDlg.h"
#include "ui/ScheduleDlg.h"
#include "ui/SettingsDlg.h"
#include "ui/SkinButton.h"

wxBEGIN_EVENT_TABLE(CMainDlg, wxDialog)
    EVT_INIT_DIALOG(CMainDlg::OnInitDialog)
    EVT_BUTTON(CMainDlg::IDC_SCAN_NOW, CMainDlg::OnScanNow)
    EVT_BUTTON(CMainDlg::IDOK_EXIT, CMainDlg::OnOK)
    EVT_BUTTON(wxID_CANCEL, CMainDlg::OnCancel)
    EVT_CHAR_HOOK(CMainDlg::OnCharHook)
    EVT_CLOSE(CMainDlg::OnClose)
    EVT_BUTTON(CMainDlg::IDC_BACKUP_BIN, CMainDlg::OnBackupBin)
    EVT_BUTTON(CMainDlg::IDC_INFO, CMainDlg::OnInfoBox)
    EVT_TIMER(CMainDlg::TIMER_ENGINE_LOAD, CMainDlg::OnLoadTimer)
    EVT_MENU(CMainDlg::IDM_SCHEDULE, CMainDlg::OnSchedule)
    EVT_MENU(CMainDlg::IDM_HISTORY, CMainDlg::OnHistory)
    EVT_MENU(CMainDlg::IDM_INFO, CMainDlg::OnInfoMenu)
    EVT_MENU(CMainDlg::IDM_SETTINGS, CMainDlg::OnSettings)
    EVT_CHECKBOX(CMainDlg::IDC_ALL_FILES, CMainDlg::OnAllFiles)
    EVT_CONTEXT_MENU(CMainDlg::OnContextMenu)
wxEND_EVENT_TABLE()

CMainDlg::CMainDlg(wxWindow* pParent, CScanSession& session)
    : m_session(session), m_services(session.GetServices()), m_timerLoad(this, TIMER_ENGINE_LOAD) {
    Create(pParent, IDD, ToDisplay(LoadText(IDS_PRODUCT_CAPTION)), wxDefaultPosition, wxDefaultSize,
           wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    SetClientSize(wxDLG_UNIT(this, wxSize(230, 126)));
    SetIcons(LoadAppIcons());
    auto Pos = [this](int x, int y) { return wxDLG_UNIT(this, wxPoint(x, y)); };
    auto Size = [this](int w, int h) { return wxDLG_UNIT(this, wxSize(w, h)); };

    auto Text = [](EStringId eId) { return ToDisplay(LoadText(eId)); };

    // Template order; the hidden controls exist, as the template has them,
    // and nothing shows or enables them.
    m_btnScanNow = new wxButton(this, IDC_SCAN_NOW, Text(IDS_MAIN_SCAN_NOW), Pos(134, 10), Size(91, 20));
    auto* pOptionsBox = new wxStaticBox(this, wxID_ANY, Text(IDS_MAIN_CONFIGURATION), Pos(133, 35), Size(92, 60));
    m_chkSubfolders = new wxCheckBox(this, IDC_SUBFOLDERS, Text(IDS_MAIN_SUBFOLDERS), Pos(140, 47), Size(78, 10));
    m_chkAllFiles = new wxCheckBox(this, IDC_ALL_FILES, Text(IDS_MAIN_ALL_FILES), Pos(140, 63), Size(73, 10));
    m_chkAutoRepair = new wxCheckBox(this, IDC_AUTO_REPAIR, Text(IDS_MAIN_AUTO_REPAIR), Pos(140, 79), Size(81, 10));
    m_chkBackup = new wxCheckBox(this, IDC_BACKUP, Text(IDS_MAIN_BACKUP), Pos(9, 100), Size(83, 10));
    m_chkBackup->Hide();
    m_chkBackup->Disable();
    m_btnBackupBin = new wxButton(this, IDC_BACKUP_BIN, Text(IDS_MAIN_BACKUP_BIN), Pos(0, 63), Size(6, 25));
    m_btnBackupBin->Hide();
    m_btnBackupBin->Disable();
    m_btnInfo = new CSkinButton(this, IDC_INFO, wxString(), Pos(0, 62), Size(6, 25));
    m_btnInfo->Hide();
    m_btnInfo->Disable();
    m_treeFolders = new CFolderTree(this, IDC_TREE, Pos(6, 8), Size(121, 92));
    if (m_services.pNamespace)
        m_treeFolders->SetNamespace(*m_services.pNamespace);
    new wxButton(this, IDOK_EXIT, Text(IDS_EXIT), Pos(134, 103), Size(91, 18));
    m_lblTavin = new CLinkLabel(this, IDC_TAVIN, Text(IDS_MAIN_TAVIN), Pos(1, 45), Size(8, 25));
    m_lblTavin->Hide();
    m_lblTavin->Disable();
    auto* pVerCaption = new wxStaticText(this, wxID_ANY, Text(IDS_MAIN_ENGINE_VER), Pos(20, 109), Size(45, 8));
    // Empty until the engine says: the template's date read as a version.
    m_stcEngineVer = new wxStaticText(this, IDC_ENGINE_VER, wxString(), Pos(72, 109), Size(42, 8));
    // A longer caption in another language moves the version along.
    if (pVerCaption->GetBestSize().x > pVerCaption->GetSize().x) {
        pVerCaption->SetSize(wxSize(pVerCaption->GetBestSize().x, pVerCaption->GetSize().y));
        const int nShift = pVerCaption->GetRect().GetRight() + Size(4, 0).x - m_stcEngineVer->GetPosition().x;
        if (nShift > 0)
            m_stcEngineVer->Move(m_stcEngineVer->GetPosition() + wxPoint(nShift, 0));
    }
    // In the theme's own colours (a forced one is unreadable on some), bold.
    m_stcSignatureWarning = new wxStaticText(this, IDC_SIGNATURE_WARNING, wxString(), Pos(6, 127), Size(218, 8));
    m_stcSignatureWarning->SetFont(m_stcSignatureWarning->GetFont().Bold());
    m_stcSignatureWarning->Hide();
    // Below the version, in the room the layout leaves under it.
    m_stcEngineName = new wxStaticText(this, IDC_ENGINE_NAME, wxString(), Pos(20, 117), Size(113, 8));
    // The desktop's check boxes need more room than the layout gave them.
    for (wxCheckBox* pCheck : {m_chkSubfolders, m_chkAllFiles, m_chkAutoRepair, m_chkBackup}) {
        wxSize size = pCheck->GetSize(), best = pCheck->GetBestSize();
        pCheck->SetSize(wxSize(std::max(size.x, best.x), std::max(size.y, best.y)));
    }
    // A language with longer words widens the right column, box and
    // buttons with it, rather than cutting a check box's text.
    int nGrow = 0;
    for (wxCheckBox* pCheck : {m_chkSubfolders, m_chkAllFiles, m_chkAutoRepair})
        nGrow = std::max(nGrow, pCheck->GetRect().GetRight() + Size(4, 0).x - pOptionsBox->GetRect().GetRight());
    if (nGrow > 0) {
        const int nColumn = pOptionsBox->GetRect().x;
        for (wxWindow* pChild : GetChildren()) {
            const wxRect rc = pChild->GetRect();
            if (rc.x >= nColumn && !pChild->IsKindOf(wxCLASSINFO(wxCheckBox)))
                pChild->SetSize(rc.x, rc.y, rc.width + nGrow, rc.height);
        }
        const wxSize client = GetClientSize();
        SetClientSize(wxSize(client.x + nGrow, client.y));
    }
    // "Exit" is not the default button: Enter does not end the program.
    SetAffirmativeId(wxID_NONE);
    SetEscapeId(wxID_CANCEL);
    CentreOnScreen();
}

void CMainDlg::OnInitDialog(wxInitDialogEvent& event) {
    event.Skip();
    m_chkSubfolders->SetValue(true);
    m_chkBackup->SetValue(true);
    m_btnInfo->SetIcons(IDI_INFO, 0, 32, 32);
    m_treeFolders->InitImageLists();
    m_treeFolders->FillRoot();
    m_session.PrepareBackups();
    m_chkAutoRepair->SetValue(true);
    ShowSignatureWarning();
    ShowEngineName();
    StartLoad();
}

void CMainDlg::ShowEngineName() {
    const std::string strEngine = m_services.pEngineSettings ? m_services.pEngineSettings->GetEngineName() : "";
    std::string strName;
    if (strEngine == "reference")
        strName = LoadText(IDS_MAIN_ENGINE_TEST);
    else if (strEngine == "clamav")
        strName = LoadText(IDS_MAIN_ENGINE_CLAMAV);
    else if (strEngine == "clamd")
        strName = LoadText(IDS_MAIN_ENGINE_CLAMD);
    else
        strName = strEngine.substr(strEngine.rfind('/') + 1);
    m_stcEngineName->SetLabel(ToDisplay(strName));
    // A real engine finds real viruses in any file; the test engine keeps
    // the listed types, as the window always did.
    if (!m_bAllFilesChosen)
        m_chkAllFiles->SetValue(IsRealEngine(strEngine));
}

void CMainDlg::OnAllFiles(wxCommandEvent& event) {
    m_bAllFilesChosen = true;
    event.Skip();
}

void CMainDlg::StartLoad() {
    // The engine gets ready in its own process while the window is up: a
    // large signature database takes seconds to load.
    if (!m_services.pEngine) {
        LoadSettled(ENGINE_LOAD_FAILED);
        return;
    }
    const int nResult = m_session.BeginLoad();
    if (nResult == ENGINE_LOAD_PENDING) {
        // Said where the version will show; given up in time, the engine
        // fails as one that cannot be loaded.
        m_stcEngineVer->SetLabel(ToDisplay(LoadText(IDS_MAIN_ENGINE_LOADING)));
        m_timerLoad.Start(LOAD_POLL_MS);
    } else {
        LoadSettled(nResult);
    }
}

CMainDlg::~CMainDlg() {
    m_timerLoad.Stop();
    EndScanWait();
}

void CMainDlg::OnLoadTimer(wxTimerEvent&) {
    const int nResult = m_session.PollLoad();
    if (nResult == ENGINE_LOAD_PENDING)
        return;
    m_timerLoad.Stop();
    LoadSettled(nResult);
}

void CMainDlg::LoadSettled(int nResult) {
    m_nLoadResult = nResult;
    const bool bWaiting = m_bScanWaiting;
    EndScanWait();
    if (nResult != ENGINE_LOAD_OK) {
        m_stcEngineVer->SetLabel(ToDisplay(LoadText(IDS_MAIN_ENGINE_FAILED)));
        ShowLoadFailure();
        return;
    }
    m_bEngineLoaded = true;
    m_stcEngineVer->SetLabel(ToDisplay(m_session.GetEngineVersion()));
    if (bWaiting)
        RunScan();
}

void CMainDlg::EndScanWait() {
    if (m_bScanWaiting)
        wxEndBusyCursor();
    m_bScanWaiting = false;
}

void CMainDlg::ShowLoadFailure() {
    const std::string strText = m_session.GetLoadFailureText();
    QuilletMessageBox(ToDisplay(strText), ToDisplay(LoadText(IDS_PRODUCT_CAPTION)), wxOK | wxICON_ERROR, this);
}

bool CMainDlg::CollectTargets() {
    m_arTargets.clear();
    wxTreeItemId item = m_treeFolders->FirstCheckedItem();
    if (!item.IsOk()) {
        m_strMessage = LoadText(IDS_SELECT_ITEM);
        QuilletMessageBox(ToDisplay(m_strMessage), ToDisplay(LoadText(IDS_PRODUCT_CAPTION)), wxOK | wxICON_EXCLAMATION,
                          this);
        return false;
    }
    for (; item.IsOk(); item = m_treeFolders->NextCheckedItem(item)) {
        std::string strPath;
        m_treeFolders->GetItemPath(item, strPath);
        m_arTargets.push_back(CScanTarget(strPath, m_treeFolders->IsAllDrivesItem(item)));
    }
    return true;
}

SCANREQUEST CMainDlg::MakeScanRequest() const {
    SCANREQUEST req;
    req.arTargets = m_arTargets;
    req.arTopNames = m_treeFolders->GetTopNames();
    req.bSubfolders = m_chkSubfolders->GetValue();
    req.bAllFiles = m_chkAllFiles->GetValue();
    req.bAutoRepair = m_chkAutoRepair->GetValue();
    req.bBackup = m_chkBackup->GetValue();
    req.bQuarantine = m_bQuarantine;
    req.nLastBackupNo = m_session.GetLastBackupNo();
    req.szWorkDir = m_session.GetWorkDir();
    return req;
}

void CMainDlg::OnScanNow(wxCommandEvent&) {
    // Still getting ready: the scan starts when the engine is, and Exit
    // and Escape work meanwhile.
    if (m_nLoadResult == ENGINE_LOAD_PENDING && !m_bEngineLoaded) {
        if (!m_bScanWaiting) {
            m_bScanWaiting = true;
            wxBeginBusyCursor();
        }
        return;
    }
    // Without an engine there is nothing to scan with: say so again.
    if (!m_bEngineLoaded) {
        ShowLoadFailure();
        return;
    }
    RunScan();
}

void CMainDlg::RunScan() {
    if (!CollectTargets())
        return;
    {
        CScanDlg dlg(nullptr, m_session);
        dlg.m_req = MakeScanRequest();
        // `quillet PATH...` scans with the options of the last scan started here.
        if (!SaveOptions(m_services.pRegistry, dlg.m_req))
            Diagnose("the scan options were not saved", "quillet/options in the config folder");
        dlg.ShowModal();
    }
    m_arTargets.clear();
}

void CMainDlg::OnOK(wxCommandEvent&) {
    if (m_bEngineLoaded) {
        m_session.Unload();
        m_bEngineLoaded = false;
    }
    if (IsModal())
        EndModal(wxID_OK);
}

void CMainDlg::OnCancel(wxCommandEvent&) {
    if (IsModal())
        EndModal(wxID_CANCEL);
}

// There is no Cancel button for the toolkit to press on Escape, and its
// close handling would end the dialog without OnCancel: both come here and
// end it as Cancel does, leaving the engine on (only "Exit" turns it off).
void CMainDlg::OnCharHook(wxKeyEvent& event) {
    if (event.GetKeyCode() == 'E' && event.GetModifiers() == wxMOD_CONTROL) {
        wxCommandEvent schedule(wxEVT_MENU, IDM_SCHEDULE);
        OnSchedule(schedule);
        return;
    }
    if (event.GetKeyCode() == 'I' && event.GetModifiers() == wxMOD_CONTROL) {
        wxCommandEvent info(wxEVT_MENU, IDM_INFO);
        OnInfoMenu(info);
        return;
    }
    if (event.GetKeyCode() == 'H' && event.GetModifiers() == wxMOD_CONTROL) {
        wxCommandEvent history(wxEVT_MENU, IDM_HISTORY);
        OnHistory(history);
        return;
    }
    if (event.GetKeyCode() == ',' && event.GetModifiers() == wxMOD_CONTROL) {
        wxCommandEvent settings(wxEVT_MENU, IDM_SETTINGS);
        OnSettings(settings);
        return;
    }
    if (event.GetKeyCode() != WXK_ESCAPE) {
        event.Skip();
        return;
    }
    wxCommandEvent cancel(wxEVT_BUTTON, wxID_CANCEL);
    OnCancel(cancel);
}

void CMainDlg::OnClose(wxCloseEvent& event) {
    if (!IsModal()) {
        event.Skip();
        return;
    }
    wxCommandEvent cancel(wxEVT_BUTTON, wxID_CANCEL);
    OnCancel(cancel);
}

void CMainDlg::OnBackupBin(wxCommandEvent&) {
    if (!m_services.pBin)
        return;
    CBackupBinDlg dlg(nullptr, *m_services.pBin, m_services.pAllow, m_services.pWindowSizes);
    dlg.ShowModal();
}

void CMainDlg::OnInfoBox(wxCommandEvent&) {
    // Read afresh: the updater may have run since the start.
    std::vector<std::string> arLines;
    if (m_services.pSignatures) {
        SSIGNATUREHEALTH health;
        m_services.pSignatures->Check(&health);
        arLines = DescribeSignatures(health);
    }
    CInfoDlg dlg(nullptr, arLines);
    dlg.ShowModal();
}

// Old, missing or unreadable signatures are said in a line of their own
// under the template's controls, which stay where they are: no box to
// dismiss at every start.
void CMainDlg::ShowSignatureWarning() {
    if (!m_services.pSignatures)
        return;
    SSIGNATUREHEALTH health;
    m_services.pSignatures->Check(&health);
    const int64_t nNow = static_cast<int64_t>(time(nullptr));
    std::string strText;
    for (const std::string& strLine : SignatureWarnings(health, nNow))
        strText += (strText.empty() ? "" : "\n") + strLine;
    if (strText.empty())
        return;
    m_strSignatureWarning = strText;
    const int nWidth = wxDLG_UNIT(this, wxSize(218, 0)).x;
    m_stcSignatureWarning->SetLabel(ToDisplay(strText));
    m_stcSignatureWarning->Wrap(nWidth);
    const wxSize best = m_stcSignatureWarning->GetBestSize();
    m_stcSignatureWarning->SetSize(wxSize(nWidth, best.y));
    m_stcSignatureWarning->Show();
    const wxSize client = GetClientSize();
    SetClientSize(wxSize(client.x, m_stcSignatureWarning->GetPosition().y + best.y + wxDLG_UNIT(this, wxSize(0, 4)).y));
}

std::string CMainDlg::GetSignatureWarning() const {
    return m_strSignatureWarning;
}

void CMainDlg::OnInfoMenu(wxCommandEvent& event) {
    OnInfoBox(event);
}

void CMainDlg::OnSysCommand(int nCommand) {
    // No platform system menu carries the About item here, and the string
    // that would name it is empty, as it always was; the command stays.
    if ((nCommand & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlg(this);
        dlg.ShowModal();
    }
}

// Only the dialog's own background: the tree and the lists keep their menus.
void CMainDlg::OnContextMenu(wxContextMenuEvent& event) {
    if (event.GetEventObject() != this) {
        event.Skip();
        return;
    }
    wxMenu menu;
    menu.Append(IDM_SCHEDULE, ToDisplay(LoadText(IDS_SCHEDULE_MENU)));
    menu.Append(IDM_HISTORY, ToDisplay(LoadText(IDS_HISTORY_MENU)));
    menu.Append(IDM_INFO, ToDisplay(LoadText(IDS_SIG_INFO_MENU)));
    if (m_services.pEngineSettings)
        menu.Append(IDM_SETTINGS, ToDisplay(LoadText(IDS_SETTINGS_MENU)));
    PopupMenu(&menu);
}

void CMainDlg::OnSchedule(wxCommandEvent&) {
    if (!m_services.pSchedules)
        return;
    // What "Scan Now" would scan, ticked or not yet: the dialog says when
    // nothing is ticked.
    std::vector<CScanTarget> arTargets;
    for (wxTreeItemId item = m_treeFolders->FirstCheckedItem(); item.IsOk();
         item = m_treeFolders->NextCheckedItem(item)) {
        std::string strPath;
        m_treeFolders->GetItemPath(item, strPath);
        arTargets.push_back(CScanTarget(strPath, m_treeFolders->IsAllDrivesItem(item)));
    }
    SCANREQUEST req = MakeScanRequest();
    req.arTargets = std::move(arTargets);
    CScheduleDlg dlg(this, *m_services.pSchedules, req);
    dlg.ShowModal();
}

void CMainDlg::OnHistory(wxCommandEvent&) {
    if (!m_services.pHistory)
        return;
    std::vector<SHISTORYRECORD> arRecords;
    std::string strWhy;
    if (!m_services.pHistory->Read(&arRecords, &strWhy)) {
        char szText[4096];
        snprintf(szText, sizeof szText, LoadText(IDS_HISTORY_CANNOT_READ),
                 m_services.pHistory->GetLocation().c_str(), strWhy.c_str());
        QuilletMessageBox(ToDisplay(szText), ToDisplay(LoadText(IDS_PRODUCT_CAPTION)), wxOK | wxICON_ERROR, this);
        return;
    }
    CHistoryDlg dlg(this, std::move(arRecords), std::string());
    dlg.ShowModal();
}

// A saved choice takes effect at once: the engine in use is unloaded, the
// new one applied and loaded as at start, and "Engine Ver." shows its version.
void CMainDlg::OnSettings(wxCommandEvent&) {
    if (!m_services.pEngineSettings)
        return;
    CSettingsDlg dlg(this, *m_services.pEngineSettings);
    if (dlg.ShowModal() != wxID_OK)
        return;
    const CEngineChoice choice = dlg.GetChoice();
    m_timerLoad.Stop();
    EndScanWait();
    m_session.Unload();
    m_bEngineLoaded = false;
    m_bQuarantine = choice.bQuarantine;
    std::string strWhy;
    if (!m_services.pEngineSettings->Apply(choice, &strWhy)) {
        m_nLoadResult = ENGINE_LOAD_FAILED;
        m_stcEngineVer->SetLabel(ToDisplay(LoadText(IDS_MAIN_ENGINE_VER_NONE)));
        m_stcEngineName->SetLabel(wxString());
        char szText[8192];
        snprintf(szText, sizeof szText, LoadText(IDS_SETTINGS_NOT_APPLIED), strWhy.c_str());
        QuilletMessageBox(ToDisplay(szText), ToDisplay(LoadText(IDS_PRODUCT_CAPTION)), wxOK | wxICON_ERROR, this);
        return;
    }
    ShowEngineName();
    StartLoad();
}
