#include "ui/ScanDlg.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/evtloop.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/time.h>

#include <chrono>

#include "base/Diagnostics.h"
#include "res/Strings.h"
#include "ui/DisplayText.h"
#include "ui/LinkLabel.h"
#include "ui/MessageBox.h"
#include "ui/NoticeDlg.h"
#include "ui/ProcessingDlg.h"

wxBEGIN_EVENT_TABLE(CScanDlg, wxDialog)
    EVT_TIMER(CScanDlg::TIMER_SCAN, CScanDlg::OnTimer)
    EVT_BUTTON(CScanDlg::IDC_REPAIR, CScanDlg::OnRepair)
    EVT_LIST_ITEM_ACTIVATED(CScanDlg::IDC_RESULT_LIST, CScanDlg::OnDblclkResultList)
    EVT_LIST_KEY_DOWN(CScanDlg::IDC_RESULT_LIST, CScanDlg::OnKeydownResultList)
    EVT_LIST_COL_CLICK(CScanDlg::IDC_RESULT_LIST, CScanDlg::OnColumnclickResultList)
    EVT_LIST_ITEM_RIGHT_CLICK(CScanDlg::IDC_RESULT_LIST, CScanDlg::OnRightClickResultList)
    EVT_CONTEXT_MENU(CScanDlg::OnContextMenu)
    EVT_MENU(CScanDlg::IDM_ROW_REPAIR, CScanDlg::OnRowRepair)
    EVT_MENU(CScanDlg::IDM_ROW_QUARANTINE, CScanDlg::OnRowQuarantine)
    EVT_MENU(CScanDlg::IDM_ROW_QUARANTINE_UNREPAIRABLE, CScanDlg::OnRowQuarantineUnrepairable)
    EVT_MENU(CScanDlg::IDM_ROW_ALLOW, CScanDlg::OnRowAllow)
    EVT_BUTTON(CScanDlg::IDC_SELECT_ALL, CScanDlg::OnSelectAll)
    EVT_BUTTON(wxID_CANCEL, CScanDlg::OnCancel)
    EVT_BUTTON(wxID_OK, CScanDlg::OnOK)
    EVT_CLOSE(CScanDlg::OnClose)
    EVT_SIZE(CScanDlg::OnSize)
wxEND_EVENT_TABLE()

CScanDlg::CScanDlg(wxWindow* pParent, CScanSession& session)
    : m_session(session), m_services(session.GetServices()), m_timer(this, TIMER_SCAN) {
    Create(pParent, IDD, ToDisplay(LoadText(IDS_PRODUCT_CAPTION)), wxDefaultPosition, wxDefaultSize,
           wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxRESIZE_BORDER | wxMAXIMIZE_BOX);
    SetClientSize(wxDLG_UNIT(this, wxSize(273, 161)));
    auto Pos = [this](int x, int y) { return wxDLG_UNIT(this, wxPoint(x, y)); };
    auto Size = [this](int w, int h) { return wxDLG_UNIT(this, wxSize(w, h)); };

    // Template order, which is also the tab order.
    m_listResult = new CResultList(this, IDC_RESULT_LIST, Pos(4, 44), Size(265, 84), m_rows);
    m_btnRepair = new wxButton(this, IDC_REPAIR, ToDisplay(LoadText(IDS_SCAN_REPAIR)), Pos(159, 138), Size(52, 16));
    m_btnRepair->Disable();
    m_btnStop = new wxButton(this, IDC_STOP, ToDisplay(LoadText(IDS_SCAN_STOP)), Pos(217, 138), Size(52, 16));
    m_lblFileCaption =
        new CLinkLabel(this, IDC_FILE_CAPTION, ToDisplay(LoadText(IDS_SCAN_FILE_CAPTION)), Pos(7, 16), Size(38, 8));
    m_stcFile = new wxStaticText(this, IDC_FILE, wxString(), Pos(46, 16), Size(218, 8),
                                 wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_MIDDLE);
    auto* pScannedCaption =
        new wxStaticText(this, wxID_ANY, ToDisplay(LoadText(IDS_SCAN_SCANNED)), Pos(94, 28), Size(36, 8));
    auto* pInfectedCaption =
        new wxStaticText(this, wxID_ANY, ToDisplay(LoadText(IDS_SCAN_INFECTED)), Pos(184, 28), Size(34, 8));
    const wxString strZero = ToDisplay(LoadText(IDS_COUNT_ZERO));
    m_stcScanned = new wxStaticText(this, IDC_SCANNED_COUNT, strZero, Pos(142, 28), Size(33, 8), wxST_NO_AUTORESIZE);
    m_stcInfected = new wxStaticText(this, IDC_INFECTED_COUNT, strZero, Pos(228, 28), Size(33, 8), wxST_NO_AUTORESIZE);
    auto* pFrame = new wxStaticBox(this, IDC_FRAME, wxString(), Pos(4, 10), Size(265, 31));
    m_lblHomePage =
        new CLinkLabel(this, IDC_HOMEPAGE, ToDisplay(LoadText(IDS_SCAN_HOMEPAGE)), Pos(5, 136), Size(76, 9));
    m_lblHomeAddress =
        new CLinkLabel(this, IDC_HOME_ADDRESS, ToDisplay(LoadText(IDS_HOMEPAGE_ADDRESS)), Pos(5, 148), Size(88, 8));
    m_btnSelectAll =
        new wxButton(this, IDC_SELECT_ALL, ToDisplay(LoadText(IDS_SCAN_SELECT_ALL)), Pos(102, 138), Size(52, 16));
    m_btnSelectAll->Disable();

    m_listResult->InitList();
    m_lblFileCaption->SetBold(true);
    // Blue in the template; the theme's link colour reads on any theme.
    m_lblHomePage->SetThemeLinkColor();
    m_lblHomeAddress->SetThemeLinkColor();
    // This desktop's font is wider than the one the layout was drawn for:
    // a label grows to its text rather than cut it.
    for (CLinkLabel* pLabel : {m_lblFileCaption, m_lblHomePage, m_lblHomeAddress})
        FitLabelWidth(pLabel);
    // The path starts after its caption, however wide that turned out.
    int nCaptionEnd = m_lblFileCaption->GetRect().GetRight() + wxDLG_UNIT(this, wxSize(2, 0)).x;
    wxRect rcFile = m_stcFile->GetRect();
    if (nCaptionEnd > rcFile.x) {
        rcFile.width -= nCaptionEnd - rcFile.x;
        rcFile.x = nCaptionEnd;
        m_stcFile->SetSize(rcFile);
    }
    // Larger than the template, the list and the file's line take the room;
    // the buttons stay at the bottom right, the links at the bottom left.
    m_layout.Add(m_listResult, ANCHOR_ALL);
    for (wxWindow* pButton : {static_cast<wxWindow*>(m_btnSelectAll), static_cast<wxWindow*>(m_btnRepair),
                              static_cast<wxWindow*>(m_btnStop)})
        m_layout.Add(pButton, ANCHOR_RIGHT | ANCHOR_BOTTOM);
    m_layout.Add(m_stcFile, ANCHOR_LEFT | ANCHOR_RIGHT | ANCHOR_TOP);
    m_layout.Add(pFrame, ANCHOR_LEFT | ANCHOR_RIGHT | ANCHOR_TOP);
    for (wxWindow* pLabel : {static_cast<wxWindow*>(m_lblFileCaption), static_cast<wxWindow*>(pScannedCaption),
                             static_cast<wxWindow*>(pInfectedCaption), static_cast<wxWindow*>(m_stcScanned),
                             static_cast<wxWindow*>(m_stcInfected)})
        m_layout.Add(pLabel, ANCHOR_LEFT | ANCHOR_TOP);
    m_layout.Add(m_lblHomePage, ANCHOR_LEFT | ANCHOR_BOTTOM);
    m_layout.Add(m_lblHomeAddress, ANCHOR_LEFT | ANCHOR_BOTTOM);
    m_layout.Start(this, m_services.pWindowSizes, "results");
    m_listResult->SetFocus();
    SetEscapeId(wxID_CANCEL);
    CentreOnScreen();

    // The window stays alive while the engine works, for the scan and
    // for every repair made from here.
    if (m_services.pEngine)
        m_services.pEngine->SetWait(this);

    // The scan starts from the first tick, so the window is up first.
    m_timer.StartOnce(SCAN_DELAY_MS);
}

void FitLabelWidth(CLinkLabel* pLabel) {
    wxClientDC dc(pLabel);
    dc.SetFont(pLabel->GetLabelFont());
    int nWidth = dc.GetTextExtent(pLabel->GetLabel()).GetWidth() + 2;
    wxSize size = pLabel->GetSize();
    if (nWidth > size.GetWidth())
        pLabel->SetSize(wxSize(nWidth, size.GetHeight()));
}

CScanDlg::~CScanDlg() {
    if (m_services.pEngine)
        m_services.pEngine->SetWait(nullptr);
    // The list watches m_rows: it must go before the members do.
    DestroyChildren();
    m_timer.Stop();
    if (m_pProgressDlg)
        m_pProgressDlg->Destroy();
}

uint32_t CScanDlg::GetLastBackupNo() const {
    return m_pScanner ? m_pScanner->GetLastBackupNo() : m_session.GetLastBackupNo();
}

void CScanDlg::SetTargetsAsked(std::vector<CScanTarget> arAsked, std::vector<std::string> arMissing) {
    m_arTargetsAsked = std::move(arAsked);
    m_arMissingLines = std::move(arMissing);
}

void CScanDlg::OnTimer(wxTimerEvent&) {
    m_timer.Stop();
    if (!m_pScanner)
        RunScan();
}

void CScanDlg::RunScan() {
    // Every repair from here backs files up first (the main dialog made the
    // folder ready when it opened).
    m_session.PrepareBackups();
    IScanView& view = *this;
    IRepairView& repairView = *this;
    m_pRun = m_session.NewScan(m_req, view, m_rows, this);
    m_pScanner = &m_pRun->GetScanner();
    m_pRoads = &m_pRun->GetRoads(repairView);
    if (!m_arTargetsAsked.empty())
        m_pRun->SetTargetsAsked(m_arTargetsAsked);
    for (const std::string& strLine : m_arMissingLines)
        m_pRun->AddErrorLine(strLine);
    // Stop pressed before the first tick: every target ends at once.
    if (m_bStop)
        m_pScanner->Stop();
    m_bScanning = true;
    m_pRun->Run();
    m_bScanning = false;
    // Workers' engines serve no window; the one left for repairs does.
    if (m_services.pEngine)
        m_services.pEngine->SetWait(this);
}

namespace {

// Monotonic: a clock set back must not stop the repainting or Stop.
int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void CScanDlg::Drain() {
    // Asking the window system whether anything is waiting costs a system
    // call; between two looks a few milliseconds apart nobody can tell.
    int64_t nNow = NowMs();
    if (nNow - m_nLastDrainMs < DRAIN_INTERVAL_MS)
        return;
    m_nLastDrainMs = nNow;
    if (nNow - m_nLastLabelMs >= LABEL_INTERVAL_MS) {
        m_nLastLabelMs = nNow;
        FlushLabels();
    }
    ServeEvents();
}

void CScanDlg::ServeEvents() {
    wxEventLoopBase* pLoop = wxEventLoopBase::GetActive();
    if (pLoop && (pLoop->Pending() || (wxTheApp && wxTheApp->HasPendingEvents())))
        pLoop->YieldFor(wxEVT_CATEGORY_ALL);
}

bool CScanDlg::WhileWaiting(uint64_t nCall, int64_t nElapsedMs) {
    if (nCall != m_nWaitCall) {
        m_nWaitCall = nCall;
        m_nCallStops = 0;
    }
    // The file under way, the counters and the rows found so far show
    // while the engine works; handlers that would reach it stand aside.
    int64_t nNow = NowMs();
    if (nNow - m_nLastLabelMs >= LABEL_INTERVAL_MS) {
        m_nLastLabelMs = nNow;
        FlushLabels();
    }
    m_bEngineWait = true;
    ServeEvents();
    m_bEngineWait = false;
    return !(m_nCallStops >= 2 && nElapsedMs >= GIVE_UP_CALL_MS);
}

void CScanDlg::EngineFailed(const std::string& strReason) {
    Diagnose("the engine failed", strReason);
}

void CScanDlg::NotScanned(const std::string& strPath, ESkipReason eReason, const std::string& strDetail) {
    Diagnose(SkipReasonText(eReason, strDetail), strPath);
}

void CScanDlg::SetLabel(EScanLabel eLabel, const std::string& strText) {
    // Kept, and shown at the next look at the queue: a label changed
    // twenty thousand times a second shows no more than one changed at
    // the screen's pace.
    if (eLabel < 0 || eLabel >= LABEL_COUNT)
        return;
    m_arLabelText[eLabel] = strText;
    m_arLabelDirty[eLabel] = true;
}

void CScanDlg::FlushLabels() {
    m_listResult->SyncItemCount();
    // The template's control for each label, by meaning.
    wxStaticText* arLabels[LABEL_COUNT] = {};
    arLabels[LABEL_CURRENT_FILE] = m_stcFile;
    arLabels[LABEL_SCANNED] = m_stcScanned;
    arLabels[LABEL_INFECTED] = m_stcInfected;
    for (int i = 0; i < LABEL_COUNT; ++i) {
        if (m_arLabelDirty[i]) {
            arLabels[i]->SetLabel(ToDisplay(m_arLabelText[i]));
            m_arLabelDirty[i] = false;
        }
    }
}

void CScanDlg::ScanEnded(bool bStopped) {
    FlushLabels();
    if (!bStopped) {
        // A scan that left files out does not read as a complete one.
        wxString strText = ToDisplay(LoadText(IDS_SCAN_FINISHED));
        const int nNotScanned = m_pScanner ? m_pScanner->GetNotScanned() : 0;
        if (nNotScanned == 1)
            strText += "\n" + ToDisplay(LoadText(IDS_SCAN_NOT_FULLY_ONE));
        else if (nNotScanned > 1)
            strText += "\n" + wxString::Format(ToDisplay(LoadText(IDS_SCAN_NOT_FULLY_MANY)), nNotScanned);
        QuilletMessageBox(strText, ToDisplay(LoadText(IDS_PRODUCT_CAPTION)), wxOK | wxICON_NONE, this);
    }
    m_bStop = true;
    m_btnStop->SetLabel(ToDisplay(LoadText(IDS_EXIT)));
    bool bRows = m_rows.GetItemCount() > 0;
    m_btnSelectAll->Enable(bRows);
    m_btnRepair->Enable(bRows);
}

void CScanDlg::OnCancel(wxCommandEvent&) {
    CancelOrStop();
}

void CScanDlg::OnClose(wxCloseEvent& event) {
    if (event.CanVeto())
        event.Veto();
    CancelOrStop();
}

void CScanDlg::CancelOrStop() {
    if (m_bEngineWait)
        ++m_nCallStops;
    // A Repair pass in progress keeps the dialog: its loop still uses it.
    if (m_pRoads && m_pRoads->IsBusy())
        return;
    if (!m_bStop || m_bScanning) {
        m_bStop = true;
        m_btnStop->SetLabel(ToDisplay(LoadText(IDS_EXIT)));
        if (m_pScanner)
            m_pScanner->Stop();
        return;
    }
    if (m_pRun)
        m_pRun->WriteEventRecords();
    RecordHistory();
    EndModal(wxID_CANCEL);
}

void CScanDlg::OnSize(wxSizeEvent& event) {
    event.Skip();
    m_layout.Follow();
    if (m_listResult)
        m_listResult->FollowGrowth(m_layout.GetGrowth().x);
}

void CScanDlg::EndModal(int nReturnCode) {
    m_layout.Save();
    wxDialog::EndModal(nReturnCode);
}

void CScanDlg::OnOK(wxCommandEvent&) {
    // Enter ends the dialog without the records, once nothing runs.
    if (m_bScanning || m_bEngineWait || (m_pRoads && m_pRoads->IsBusy()))
        return;
    RecordHistory();
    EndModal(wxID_OK);
}

void CScanDlg::RecordHistory() {
    // Once the window closes: what its repairs did is in the rows by then.
    if (!m_pRun || !m_pRun->HasRun() || m_bRecorded)
        return;
    m_bRecorded = true;
    m_pRun->SetRoad(HISTORY_ROAD_WINDOW);
    std::string strWhy;
    if (!m_pRun->RecordHistory(m_pRun->GetExitStatus(!m_arMissingLines.empty(), 0), &strWhy))
        Diagnose("the scan's record is not in the history (" + strWhy + ")",
                 m_services.pHistory ? m_services.pHistory->GetLocation() : std::string());
}

void CScanDlg::OnRepair(wxCommandEvent&) {
    if (m_pRoads && !m_bScanning && !m_bEngineWait)
        m_pRoads->OnRepair();
}

void CScanDlg::OnDblclkResultList(wxListEvent& event) {
    m_rows.SetSelected(m_listResult->RowOfItem(event.GetIndex()));
    // Not while an engine call waits, nor while workers hold the engines.
    if (m_pRoads && !m_bEngineWait && !(m_bScanning && m_pScanner && m_pScanner->IsParallel()))
        m_pRoads->OnDblclkResultList();
}

void CScanDlg::OnKeydownResultList(wxListEvent& event) {
    // The menu key and Shift+F10 open the rows' menu, as a right click does.
    const int nKey = event.GetKeyCode();
    if (CCheckListCtrl::IsMenuKey(nKey)) {
        ShowRowMenu(wxDefaultPosition);
        return;
    }
    event.Skip();
}

bool CScanDlg::CanActOnRows() const {
    return m_pRoads && IsScanOver() && !m_bEngineWait && !m_pRoads->IsBusy();
}

std::vector<int> CScanDlg::GetSelectedRows() const {
    std::vector<int> arRows;
    for (long nItem = m_listResult->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); nItem >= 0;
         nItem = m_listResult->GetNextItem(nItem, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
        arRows.push_back(m_listResult->RowOfItem(nItem));
    return arRows;
}

void CScanDlg::OnRightClickResultList(wxListEvent& event) {
    // The row under the mouse joins the selection unless it is in it.
    const long nItem = event.GetIndex();
    if (nItem >= 0 && !m_listResult->GetItemState(nItem, wxLIST_STATE_SELECTED)) {
        for (int nRow : GetSelectedRows())
            m_listResult->SetItemState(nRow, 0, wxLIST_STATE_SELECTED);
        m_listResult->SetItemState(nItem, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                                   wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    }
    ShowRowMenu(m_listResult->ScreenToClient(wxGetMousePosition()));
}

void CScanDlg::OnContextMenu(wxContextMenuEvent& event) {
    // From the keyboard where the toolkit turns the menu key into this.
    if (event.GetEventObject() != m_listResult || event.GetPosition() != wxDefaultPosition) {
        event.Skip();
        return;
    }
    ShowRowMenu(wxDefaultPosition);
}

wxMenu* CScanDlg::GetOpenMenu() const {
    return m_listResult->GetOpenMenu();
}

void CScanDlg::ShowRowMenu(const wxPoint& pos) {
    if (!CanActOnRows() || m_listResult->IsRowMenuUp())
        return;
    const std::vector<int> arRows = GetSelectedRows();
    bool bRepair = false, bQuarantine = false, bAllow = false;
    for (int nRow : arRows) {
        bRepair = bRepair || m_pRoads->CanQuarantine(nRow);
        bQuarantine = bQuarantine || (m_pScanner->CanQuarantine() && m_pRoads->CanQuarantine(nRow));
        bAllow = bAllow || m_pRoads->CanAllow(nRow);
    }
    wxMenu menu;
    menu.Append(IDM_ROW_REPAIR, ToDisplay(LoadText(IDS_RESULT_MENU_REPAIR)))->Enable(bRepair);
    menu.Append(IDM_ROW_QUARANTINE, ToDisplay(LoadText(IDS_RESULT_MENU_QUARANTINE)))->Enable(bQuarantine);
    menu.Append(IDM_ROW_QUARANTINE_UNREPAIRABLE, ToDisplay(LoadText(IDS_RESULT_MENU_QUARANTINE_ALL)))
        ->Enable(m_pScanner->CanQuarantine() && !m_pRoads->GetUnrepairableRows().empty());
    menu.AppendSeparator();
    menu.Append(IDM_ROW_ALLOW, ToDisplay(LoadText(IDS_RESULT_MENU_ALLOW)))->Enable(bAllow);
    m_listResult->PopupRowMenu(menu, pos);
}

void CScanDlg::OnRowRepair(wxCommandEvent&) {
    const std::vector<int> arRows = GetSelectedRows();
    if (!CanActOnRows() || arRows.empty())
        return;
    // One row: the double-click's road, its question included.
    if (arRows.size() == 1) {
        m_rows.SetSelected(arRows[0]);
        m_pRoads->OnDblclkResultList();
    } else {
        m_pRoads->RepairRows(arRows);
    }
}

void CScanDlg::OnRowQuarantine(wxCommandEvent&) {
    if (CanActOnRows())
        m_pRoads->QuarantineRows(GetSelectedRows());
}

void CScanDlg::OnRowQuarantineUnrepairable(wxCommandEvent&) {
    if (CanActOnRows())
        m_pRoads->QuarantineRows(m_pRoads->GetUnrepairableRows());
}

void CScanDlg::OnRowAllow(wxCommandEvent&) {
    if (CanActOnRows())
        m_pRoads->AllowRows(GetSelectedRows());
}

void CScanDlg::OnColumnclickResultList(wxListEvent& event) {
    // "Num" ticks and clears, as it always did; the others order the list.
    if (event.GetColumn() != 0) {
        m_listResult->SortByColumn(event.GetColumn());
        return;
    }
    if (m_rows.GetItemCount() == 0)
        return;
    SetAllChecks(m_bHeaderCheckAll);
    m_bHeaderCheckAll = !m_bHeaderCheckAll;
}

void CScanDlg::OnSelectAll(wxCommandEvent&) {
    m_bSelectAll = !m_bSelectAll;
    SetAllChecks(m_bSelectAll);
}

void CScanDlg::SetAllChecks(bool bChecked) {
    for (int i = 0; i < m_rows.GetItemCount(); ++i)
        m_rows.SetCheck(i, bChecked);
}

bool CScanDlg::ShowNotice(const std::string& strMessage, bool* pbDontShow) {
    return CNoticeDlg::ShowNotice(this, strMessage, pbDontShow);
}

namespace {

long IconStyle(EMessageIcon eIcon) {
    switch (eIcon) {
    case ICON_EXCLAMATION: return wxICON_EXCLAMATION;
    case ICON_QUESTION: return wxICON_QUESTION;
    case ICON_STOP: return wxICON_ERROR;
    case ICON_INFORMATION: return wxICON_INFORMATION;
    }
    return wxICON_NONE;
}

}  // namespace

void CScanDlg::ShowMessage(const std::string& strText, const std::string& strCaption, EMessageIcon eIcon) {
    QuilletMessageBox(ToDisplay(strText), ToDisplay(strCaption), wxOK | IconStyle(eIcon), this);
}

bool CScanDlg::AskYesNo(const std::string& strText, const std::string& strCaption) {
    return QuilletMessageBox(ToDisplay(strText), ToDisplay(strCaption), wxYES_NO | wxICON_QUESTION, this) == wxYES;
}

void CScanDlg::OpenProgress() {
    if (!m_pProgressDlg)
        m_pProgressDlg = new CProcessingDlg(this);
}

void CScanDlg::SetProgressRange(int nMax) {
    if (m_pProgressDlg)
        m_pProgressDlg->SetRange(nMax);
}

void CScanDlg::SetProgressPos(int nPos) {
    if (m_pProgressDlg)
        m_pProgressDlg->SetPos(nPos);
}

void CScanDlg::SetProgressText(const std::string& strText) {
    if (m_pProgressDlg)
        m_pProgressDlg->SetContext(strText);
}

void CScanDlg::CloseProgress() {
    // Freed once, here; the window never frees itself.
    if (m_pProgressDlg) {
        m_pProgressDlg->Destroy();
        m_pProgressDlg = nullptr;
    }
}
