// The main window: the folder tree, the scan options, the engine's version,
// "Scan Now" and "Exit". It loads the engine at start and prepares the work
// folder; every scan runs in a results dialog on top of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <wx/dialog.h>
#include <wx/timer.h>

#include "engine/FarsendEngine.h"

#include "scan/ScanServices.h"
#include "scan/ScanSession.h"
#include "scan/ScanTypes.h"

class wxButton;
class wxCheckBox;
class wxContextMenuEvent;
class wxStaticText;
class wxTreeEvent;
class CFolderTree;
class CLinkLabel;
class CSkinButton;

class CMainDlg : public wxDialog {
public:
    enum {
        IDD = 102,
        IDOK_EXIT = wxID_OK,  // template id 1
        IDC_SCAN_NOW = 202,
        IDC_SUBFOLDERS = 211,
        IDC_ALL_FILES = 212,
        IDC_AUTO_REPAIR = 213,
        IDC_BACKUP = 228,
        IDC_BACKUP_BIN = 229,
        IDC_INFO = 239,
        IDC_TREE = 1000,
        IDC_TAVIN = 1003,
        IDC_ENGINE_VER = 1005,
        // Below the template's controls, shown only when the signatures
        // are old, missing or unreadable.
        IDC_SIGNATURE_WARNING = 1006,
        // Which engine is in use, under its version.
        IDC_ENGINE_NAME = 1007,
        IDM_ABOUTBOX = 0x0010,
        // The toolkit reaches no system menu here: the Schedule dialog is
        // on Ctrl+E and on the background's right-click menu.
        IDM_SCHEDULE = 0x0020,
        IDM_HISTORY = 0x0030,
        IDM_INFO = 0x0040,
        IDM_SETTINGS = 0x0050,
        TIMER_ENGINE_LOAD = 1,
        LOAD_POLL_MS = 50,
    };

    // session: the program's, which loads the engine and numbers backups.
    CMainDlg(wxWindow* pParent, CScanSession& session);
    ~CMainDlg() override;

    // The target list from the tree's ticks; false, after telling the user,
    // when nothing is ticked.
    bool CollectTargets();
    // What the next scan would be handed, in the record's order.
    SCANREQUEST MakeScanRequest() const;

    // The settings file's "quarantine = yes": every scan from here moves
    // what cannot be repaired into the Backup Bin.
    void SetQuarantineUnrepairable(bool bQuarantine) { m_bQuarantine = bQuarantine; }

    bool IsEngineLoaded() const { return m_bEngineLoaded; }
    // The start-up line about old, missing or unreadable signatures; ""
    // when there is none.
    std::string GetSignatureWarning() const;
    // "Scan Now" was pressed while the engine was still getting ready.
    bool IsScanWaiting() const { return m_bScanWaiting; }
    uint32_t GetLastBackupNo() const { return m_session.GetLastBackupNo(); }
    const std::string& GetWorkDir() const { return m_session.GetWorkDir(); }
    CFolderTree* GetTree() { return m_treeFolders; }

    std::vector<CScanTarget> m_arTargets;

protected:
    void OnInitDialog(wxInitDialogEvent& event);
    void OnScanNow(wxCommandEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnBackupBin(wxCommandEvent& event);
    void OnInfoBox(wxCommandEvent& event);
    void OnSysCommand(int nCommand);
    void OnSchedule(wxCommandEvent& event);
    void OnHistory(wxCommandEvent& event);
    void OnInfoMenu(wxCommandEvent& event);
    void OnSettings(wxCommandEvent& event);
    void OnAllFiles(wxCommandEvent& event);
    void OnContextMenu(wxContextMenuEvent& event);
    void OnLoadTimer(wxTimerEvent& event);

private:
    void ShowLoadFailure();
    // Loads the engine the services point at, beside the window.
    void StartLoad();
    // Says which engine is in use, and gives "All files" its default for
    // it unless the user chose.
    void ShowEngineName();
    // Acts on how the engine's loading went (ENGINE_LOAD_ codes).
    void LoadSettled(int nResult);
    void RunScan();
    void EndScanWait();
    void ShowSignatureWarning();

    CScanSession& m_session;
    CScanServices m_services;
    std::string m_strMessage;
    std::string m_strSignatureWarning;
    bool m_bEngineLoaded = false;
    int m_nLoadResult = ENGINE_LOAD_PENDING;
    bool m_bScanWaiting = false;
    bool m_bQuarantine = false;
    bool m_bAllFilesChosen = false;  // the user's own tick stays
    wxTimer m_timerLoad;

    wxStaticText* m_stcEngineVer = nullptr;
    wxStaticText* m_stcSignatureWarning = nullptr;
    wxStaticText* m_stcEngineName = nullptr;
    CLinkLabel* m_lblTavin = nullptr;
    wxButton* m_btnBackupBin = nullptr;
    wxButton* m_btnScanNow = nullptr;
    CSkinButton* m_btnInfo = nullptr;
    wxCheckBox* m_chkSubfolders = nullptr;
    wxCheckBox* m_chkBackup = nullptr;
    wxCheckBox* m_chkAutoRepair = nullptr;
    wxCheckBox* m_chkAllFiles = nullptr;
    CFolderTree* m_treeFolders = nullptr;

    wxDECLARE_EVENT_TABLE();
};
