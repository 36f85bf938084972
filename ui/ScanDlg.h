// The scan results dialog: runs the scan shortly after it opens, shows the
// file and the counters as the walk goes, lists the findings, stops on
// request, and afterwards lets the user repair rows. Closing it after the
// scan hands the findings to the agent.
#pragma once

#include <memory>
#include <vector>

#include <wx/dialog.h>
#include <wx/timer.h>

#include "repair/RepairRoads.h"
#include "scan/ScanServices.h"
#include "scan/ScanSession.h"
#include "scan/Scanner.h"
#include "ui/ResultList.h"
#include "ui/WindowLayout.h"

class wxButton;
class wxListEvent;
class wxMenu;
class wxStaticText;
class CLinkLabel;
class CProcessingDlg;

// Widens a label to its text when the desktop font needs more room.
void FitLabelWidth(CLinkLabel* pLabel);

class CScanDlg : public wxDialog, private IScanView, private IRepairView, private IEngineWait {
public:
    enum {
        IDD = 202,
        IDC_RESULT_LIST = 210,
        IDC_REPAIR = 214,
        IDC_STOP = wxID_CANCEL,  // 2
        IDC_FILE_CAPTION = 217,
        IDC_FILE = 207,
        IDC_SCANNED_COUNT = 208,
        IDC_INFECTED_COUNT = 209,
        IDC_FRAME = 236,
        IDC_HOMEPAGE = 216,
        IDC_HOME_ADDRESS = 227,
        IDC_SELECT_ALL = 1004,
        // The results list's menu.
        IDM_ROW_REPAIR = 32100,
        IDM_ROW_QUARANTINE = 32101,
        IDM_ROW_QUARANTINE_UNREPAIRABLE = 32102,
        IDM_ROW_ALLOW = 32103,
        TIMER_SCAN = 1,
        SCAN_DELAY_MS = 800,
        DRAIN_INTERVAL_MS = 5,
        LABEL_INTERVAL_MS = 40,  // 25 changes a second read as continuous
        // Stop pressed twice during an engine call that has run this long
        // ends the engine, as a hang would.
        GIVE_UP_CALL_MS = 5000,
    };

    // The scan runs in session, which numbers its backups.
    CScanDlg(wxWindow* pParent, CScanSession& session);
    ~CScanDlg() override;

    // Filled by the main dialog before ShowModal.
    SCANREQUEST m_req;
    // Targets named on the command line, for the history: all of them as
    // asked, and a line for each one that was not there (then left out of
    // m_req).
    void SetTargetsAsked(std::vector<CScanTarget> arAsked, std::vector<std::string> arMissing);

    // The last number the scan's backups took (the start number if none).
    uint32_t GetLastBackupNo() const;
    bool IsScanOver() const { return m_bStop && !m_bScanning; }
    bool IsRepairing() const { return m_pRoads && m_pRoads->IsBusy(); }
    CResultRows& GetRows() { return m_rows; }
    CResultList* GetResultList() { return m_listResult; }
    // The rows selected in the list, top to bottom as shown.
    std::vector<int> GetSelectedRows() const;
    // The rows' menu while it is open, else null.
    wxMenu* GetOpenMenu() const;
    // Keeps the window's size for the next start, then ends it.
    void EndModal(int nReturnCode) override;

protected:
    void OnTimer(wxTimerEvent& event);
    void OnRepair(wxCommandEvent& event);
    void OnDblclkResultList(wxListEvent& event);
    void OnColumnclickResultList(wxListEvent& event);
    void OnKeydownResultList(wxListEvent& event);
    void OnRightClickResultList(wxListEvent& event);
    void OnContextMenu(wxContextMenuEvent& event);
    void OnRowRepair(wxCommandEvent& event);
    void OnRowQuarantine(wxCommandEvent& event);
    void OnRowQuarantineUnrepairable(wxCommandEvent& event);
    void OnRowAllow(wxCommandEvent& event);
    void OnSelectAll(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnSize(wxSizeEvent& event);

private:
    void RunScan();
    void CancelOrStop();
    // The scan's record, into the history, once.
    void RecordHistory();
    // The rows' menu, at pos in the list's client coordinates; only once the
    // scan is over and nothing runs.
    void ShowRowMenu(const wxPoint& pos);
    bool CanActOnRows() const;
    void SetAllChecks(bool bChecked);
    void FlushLabels();
    void ServeEvents();
    // True while an engine call waits: nothing that reaches the engine runs.
    bool IsEngineBusy() const { return m_bEngineWait; }

    // IScanView
    void Drain() override;
    void SetLabel(EScanLabel eLabel, const std::string& strText) override;
    void ScanEnded(bool bStopped) override;
    void NotScanned(const std::string& strPath, ESkipReason eReason, const std::string& strDetail) override;
    void EngineFailed(const std::string& strReason) override;
    // IEngineWait
    bool WhileWaiting(uint64_t nCall, int64_t nElapsedMs) override;
    // IRepairView
    bool ShowNotice(const std::string& strMessage, bool* pbDontShow) override;
    void ShowMessage(const std::string& strText, const std::string& strCaption, EMessageIcon eIcon) override;
    bool AskYesNo(const std::string& strText, const std::string& strCaption) override;
    void OpenProgress() override;
    void SetProgressRange(int nMax) override;
    void SetProgressPos(int nPos) override;
    void SetProgressText(const std::string& strText) override;
    void CloseProgress() override;

    CScanSession& m_session;
    CScanServices m_services;
    wxTimer m_timer;
    CResultRows m_rows;
    std::unique_ptr<CScanRun> m_pRun;
    // The run's, once it begins.
    CScanner* m_pScanner = nullptr;
    CRepairRoads* m_pRoads = nullptr;
    CProcessingDlg* m_pProgressDlg = nullptr;

    wxButton* m_btnStop = nullptr;
    wxButton* m_btnRepair = nullptr;
    wxButton* m_btnSelectAll = nullptr;
    CLinkLabel* m_lblHomeAddress = nullptr;
    CLinkLabel* m_lblFileCaption = nullptr;
    CLinkLabel* m_lblHomePage = nullptr;
    CResultList* m_listResult = nullptr;
    wxStaticText* m_stcScanned = nullptr;
    wxStaticText* m_stcInfected = nullptr;
    wxStaticText* m_stcFile = nullptr;

    CWindowLayout m_layout;

    std::vector<CScanTarget> m_arTargetsAsked;
    std::vector<std::string> m_arMissingLines;
    bool m_bStop = false;
    bool m_bRecorded = false;
    bool m_bScanning = false;
    int64_t m_nLastDrainMs = 0;
    int64_t m_nLastLabelMs = 0;
    bool m_bEngineWait = false;
    uint64_t m_nWaitCall = 0;  // the engine call being waited for
    int m_nCallStops = 0;      // Stop presses during it
    std::string m_arLabelText[LABEL_COUNT];
    bool m_arLabelDirty[LABEL_COUNT] = {};
    bool m_bHeaderCheckAll = true;
    bool m_bSelectAll = false;

    wxDECLARE_EVENT_TABLE();
};
