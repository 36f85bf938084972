#include "ui/BackupBinDlg.h"

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/settings.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "controls/ThemeColours.h"
#include "res/Strings.h"
#include "ui/DisplayText.h"
#include "ui/MessageBox.h"
#include "ui/ResourceImages.h"
#include "res/BackupJar129.xpm"

namespace {

const wxColour g_clrListBack(251, 254, 226);
// The folder column's width at the template's size; it takes the room a
// larger window gives.
constexpr int kFolderColumnWidth = 180;

wxString Text(EStringId eId) { return wxString::FromUTF8(LoadText(eId)); }

}  // namespace

// ---------------------------------------------------------------------------

CBackupListCtrl::CBackupListCtrl(wxWindow* pParent, wxWindowID nId, const wxPoint& pos, const wxSize& size,
                                 CBackupBin& bin)
    : CCheckListCtrl(pParent, nId, pos, size, wxLC_REPORT | wxLC_SINGLE_SEL | wxBORDER_SUNKEN), m_bin(bin) {}

void CBackupListCtrl::ShowCheck(int nRow) {
    if (nRow >= 0 && nRow < GetItemCount())
        SetItemImage(nRow, m_bin.IsChecked(nRow) ? 1 : 0);
}

void CBackupListCtrl::ShowAllChecks() {
    for (int i = 0; i < GetItemCount(); ++i)
        ShowCheck(i);
}

void CBackupListCtrl::ToggleRow(int nRow) {
    m_bin.ToggleCheck(nRow);
    ShowCheck(nRow);
}

// ---------------------------------------------------------------------------

wxBEGIN_EVENT_TABLE(CBackupBinDlg, wxDialog)
    EVT_INIT_DIALOG(CBackupBinDlg::OnInitDialog)
    EVT_BUTTON(CBackupBinDlg::IDC_RESTORE, CBackupBinDlg::OnOK)
    EVT_BUTTON(CBackupBinDlg::IDC_EMPTY, CBackupBinDlg::OnEmpty)
    EVT_LIST_COL_CLICK(CBackupBinDlg::IDC_BACKUP_LIST, CBackupBinDlg::OnColumnclickBackupList)
    EVT_TIMER(CBackupBinDlg::TIMER_STORE_WATCH, CBackupBinDlg::OnWatchTimer)
    EVT_LIST_ITEM_RIGHT_CLICK(CBackupBinDlg::IDC_BACKUP_LIST, CBackupBinDlg::OnRightClickBackupList)
    EVT_LIST_KEY_DOWN(CBackupBinDlg::IDC_BACKUP_LIST, CBackupBinDlg::OnKeydownBackupList)
    EVT_MENU(CBackupBinDlg::IDM_BIN_RESTORE, CBackupBinDlg::OnMenuRestore)
    EVT_MENU(CBackupBinDlg::IDM_BIN_DELETE, CBackupBinDlg::OnMenuDelete)
    EVT_MENU(CBackupBinDlg::IDM_BIN_RESTORE_ALLOW, CBackupBinDlg::OnMenuRestoreAllow)
    EVT_SIZE(CBackupBinDlg::OnSize)
wxEND_EVENT_TABLE()

CBackupBinDlg::CBackupBinDlg(wxWindow* pParent, IBackupBinStore& store, IAllowList* pAllow, IWindowSizes* pSizes)
    : m_bin(store, pAllow) {
    Create(pParent, IDD, Text(IDS_BIN_TITLE), wxDefaultPosition, wxDefaultSize,
           wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxRESIZE_BORDER | wxMAXIMIZE_BOX);
    SetClientSize(wxDLG_UNIT(this, wxSize(207, 221)));
    auto Pos = [this](int x, int y) { return wxDLG_UNIT(this, wxPoint(x, y)); };
    auto Size = [this](int w, int h) { return wxDLG_UNIT(this, wxSize(w, h)); };

    // Template order. Ids 1 and 2 are the standard OK and Cancel ids, so
    // Enter restores and Escape and the close box leave.
    m_btnRestore = new wxButton(this, IDC_RESTORE, Text(IDS_BIN_RESTORE), Pos(76, 198), Size(54, 16));
    m_btnExit = new wxButton(this, IDC_EXIT, Text(IDS_EXIT), Pos(147, 198), Size(54, 16));
    // The jar keeps its own 32x32 pixels, as icon statics do.
    auto* pJar = new wxStaticBitmap(this, wxID_ANY, wxBitmap(BackupJar129_xpm), Pos(9, 11));
    auto* pNum = new wxStaticText(this, wxID_ANY, Text(IDS_BIN_NUM), Pos(41, 68), Size(23, 8), wxST_NO_AUTORESIZE);
    m_staticCount =
        new wxStaticText(this, IDC_COUNT, Text(IDS_COUNT_ZERO), Pos(70, 68), Size(38, 8), wxST_NO_AUTORESIZE);
    m_listBackup = new CBackupListCtrl(this, IDC_BACKUP_LIST, Pos(7, 80), Size(194, 112), m_bin);
    m_btnEmpty = new wxButton(this, IDC_EMPTY, Text(IDS_BIN_EMPTY), Pos(5, 198), Size(54, 16));
    auto* pExplain = new wxStaticText(this, wxID_ANY, wxString(), Pos(41, 7), Size(160, 52), wxST_NO_AUTORESIZE);
    pExplain->SetLabelText(Text(IDS_BIN_EXPLANATION));
    pExplain->Wrap(pExplain->GetSize().x);

    m_btnRestore->SetDefault();
    m_btnRestore->Disable();
    m_btnEmpty->Disable();
    // Larger than the template, the list takes the room; Restore and Exit
    // stay at the bottom right, Empty at the bottom left.
    m_layout.Add(m_listBackup, ANCHOR_ALL);
    m_layout.Add(m_btnRestore, ANCHOR_RIGHT | ANCHOR_BOTTOM);
    m_layout.Add(m_btnExit, ANCHOR_RIGHT | ANCHOR_BOTTOM);
    m_layout.Add(m_btnEmpty, ANCHOR_LEFT | ANCHOR_BOTTOM);
    for (wxWindow* pTop : {static_cast<wxWindow*>(pJar), static_cast<wxWindow*>(pNum),
                           static_cast<wxWindow*>(m_staticCount), static_cast<wxWindow*>(pExplain)})
        m_layout.Add(pTop, ANCHOR_LEFT | ANCHOR_TOP);
    m_layout.Start(this, pSizes, "backup-bin");
    CentreOnParent();
}

void CBackupBinDlg::OnInitDialog(wxInitDialogEvent& event) {
    event.Skip();
    // The pale yellow only where the theme's text reads on it, and then
    // with that text colour: never white on yellow.
    const wxColour clrText = wxSystemSettings::GetColour(wxSYS_COLOUR_LISTBOXTEXT);
    const CListColours colours = ChooseListColours(CRgb{g_clrListBack.Red(), g_clrListBack.Green(), g_clrListBack.Blue()},
                                                   CRgb{clrText.Red(), clrText.Green(), clrText.Blue()});
    if (colours.bForced) {
        m_listBackup->SetBackgroundColour(wxColour(colours.clrBack.r, colours.clrBack.g, colours.clrBack.b));
        m_listBackup->SetForegroundColour(wxColour(colours.clrText.r, colours.clrText.g, colours.clrText.b));
    }
    m_imlState.Create(16, 16, true, 2);
    wxBitmap bmpChecks = LoadBitmapResource(IDB_LIST_CHECKS);
    if (bmpChecks.IsOk()) {
        for (int i = 0; i < 2; ++i)
            m_imlState.Add(bmpChecks.GetSubBitmap(wxRect(i * 16, 0, 16, 16)), *wxWHITE);
    }
    m_listBackup->SetImageList(&m_imlState, wxIMAGE_LIST_SMALL);
    m_listBackup->InsertColumn(BIN_COL_NUM, Text(IDS_BIN_COL_NUM), wxLIST_FORMAT_LEFT, 40);
    m_listBackup->InsertColumn(BIN_COL_NAME, Text(IDS_BIN_COL_NAME), wxLIST_FORMAT_LEFT, 110);
    // The date beside the name: two backups of one file differ in it.
    m_listBackup->InsertColumn(BIN_COL_DATE, Text(IDS_BIN_COL_DATE), wxLIST_FORMAT_LEFT, DateColumnWidth());
    m_listBackup->InsertColumn(BIN_COL_FOLDER, Text(IDS_BIN_COL_FOLDER), wxLIST_FORMAT_LEFT,
                               kFolderColumnWidth + m_layout.GetGrowth().x);
    m_listBackup->InsertColumn(BIN_COL_KIND, Text(IDS_BIN_COL_KIND), wxLIST_FORMAT_LEFT, 80);
    m_listBackup->InsertColumn(BIN_COL_VIRUS, Text(IDS_BIN_COL_VIRUS), wxLIST_FORMAT_LEFT, 120);
    // The backup file's own name: kept in the row, never shown.
    m_listBackup->InsertColumn(BIN_COL_FILE, Text(IDS_BIN_COL_FILE), wxLIST_FORMAT_LEFT, 0);
    LoadBackupList();
    m_timerWatch.Start(WATCH_MS);
}

void CBackupBinDlg::LoadBackupList() {
    m_bin.Load();
    ShowRows();
    ShowCountAndButtons();
}

void CBackupBinDlg::ShowRows() {
    m_listBackup->DeleteAllItems();
    for (int i = 0; i < m_bin.GetCount(); ++i)
        for (int nCol = 0; nCol < BIN_COL_COUNT; ++nCol)
            m_listBackup->AddItem(m_bin.GetCellText(i, nCol), i, nCol);
    m_listBackup->ShowAllChecks();
}

void CBackupBinDlg::ShowSorted() {
    // The same rows in a new order: each place takes its new row's texts,
    // and the list keeps its focus and state.
    if (m_listBackup->GetItemCount() != m_bin.GetCount()) {
        ShowRows();
        return;
    }
    for (int i = 0; i < m_bin.GetCount(); ++i) {
        m_listBackup->SetItemText(i, ToDisplay(m_bin.GetCellText(i, BIN_COL_NUM)));
        for (int nCol = 1; nCol < BIN_COL_COUNT; ++nCol)
            m_listBackup->AddItem(m_bin.GetCellText(i, nCol), i, nCol);
    }
    m_listBackup->ShowAllChecks();
}

void CBackupBinDlg::ShowRemoved(const std::vector<int>& arRemoved) {
    for (int nRow : arRemoved)
        m_listBackup->DeleteItem(nRow);
    if (m_listBackup->GetItemCount() != m_bin.GetCount()) {
        ShowRows();
        return;
    }
    // Every row after a removed one moves up and takes its new number.
    for (int i = 0; i < m_bin.GetCount(); ++i)
        m_listBackup->SetItemText(i, ToDisplay(m_bin.GetCellText(i, BIN_COL_NUM)));
    m_listBackup->ShowAllChecks();
}

void CBackupBinDlg::ShowCountAndButtons() {
    m_staticCount->SetLabel(ToDisplay(m_bin.GetCountText()));
    m_btnRestore->Enable(m_bin.CanRestore());
    m_btnEmpty->Enable(m_bin.CanEmpty());
    m_btnExit->Enable();
}

void CBackupBinDlg::KeepFocus() {
    wxWindow* pFocus = FindFocus();
    if (pFocus && pFocus->IsEnabled() && IsDescendant(pFocus))
        return;
    if (m_bin.GetCount() > 0)
        m_listBackup->SetFocus();
    else
        m_btnExit->SetFocus();
}

void CBackupBinDlg::OnOK(wxCommandEvent&) {
    RestoreRows(false, -1);
}

void CBackupBinDlg::RestoreRows(bool bAllow, int nMenuRow) {
    if (m_bInPass)
        return;
    if (!m_bin.HasChecked() && nMenuRow >= 0 && nMenuRow < m_bin.GetCount()) {
        m_bin.SetCheck(nMenuRow, true);
        m_listBackup->ShowCheck(nMenuRow);
    }
    if (!m_bin.HasChecked()) {
        QuilletMessageBox(Text(IDS_BIN_NOTHING_TICKED), Text(IDS_BIN_RESTORE_ERROR), wxOK | wxICON_INFORMATION, this);
        return;
    }
    m_bInPass = true;
    if (QuilletMessageBox(Text(IDS_BIN_ASK_RESTORE), Text(IDS_PRODUCT_CAPTION), wxYES_NO | wxICON_QUESTION, this) != wxYES) {
        m_bInPass = false;
        return;
    }
    m_btnEmpty->Disable();
    m_btnRestore->Disable();
    m_btnExit->Disable();
    const CRestoreOutcome outcome = m_bin.RestoreChecked(bAllow);
    ShowRemoved(outcome.arRemoved);
    ShowCountAndButtons();
    KeepFocus();
    m_bInPass = false;
    if (outcome.nFailed > 0)
        QuilletMessageBox(wxString::Format(Text(IDS_BIN_RESTORE_FAILED), outcome.nFailed), Text(IDS_BIN_RESTORE_ERROR),
                          wxOK | wxICON_EXCLAMATION, this);
    if (outcome.nGone > 0)
        QuilletMessageBox(wxString::Format(Text(IDS_BIN_RESTORE_GONE), outcome.nGone), Text(IDS_PRODUCT_CAPTION),
                          wxOK | wxICON_INFORMATION, this);
    for (const auto& [strPath, strWhy] : outcome.arNotAllowed)
        QuilletMessageBox(ToDisplay(strPath + "\n" + LoadText(IDS_ALLOW_FAILED) + " " + strWhy), Text(IDS_PRODUCT_CAPTION),
                          wxOK | wxICON_EXCLAMATION, this);
}

void CBackupBinDlg::OnRightClickBackupList(wxListEvent& event) {
    ShowMenu(static_cast<int>(event.GetIndex()), m_listBackup->ScreenToClient(wxGetMousePosition()));
}

void CBackupBinDlg::OnKeydownBackupList(wxListEvent& event) {
    // The menu key and Shift+F10, on the focused row.
    const int nKey = event.GetKeyCode();
    if (CCheckListCtrl::IsMenuKey(nKey)) {
        ShowMenu(m_listBackup->GetFocusedRow(), wxDefaultPosition);
        return;
    }
    event.Skip();
}

wxMenu* CBackupBinDlg::GetOpenMenu() const {
    return m_listBackup->GetOpenMenu();
}

void CBackupBinDlg::ShowMenu(int nRow, const wxPoint& pos) {
    if (m_bInPass || m_listBackup->IsRowMenuUp())
        return;
    m_nMenuRow = nRow;
    const std::vector<int> arRows = m_bin.GetActionRows(nRow);
    wxMenu menu;
    menu.Append(IDM_BIN_RESTORE, Text(IDS_BIN_MENU_RESTORE))->Enable(!arRows.empty());
    menu.Append(IDM_BIN_RESTORE_ALLOW, Text(IDS_BIN_MENU_RESTORE_ALLOW))->Enable(m_bin.CanAllow(arRows));
    menu.AppendSeparator();
    menu.Append(IDM_BIN_DELETE, Text(IDS_BIN_MENU_DELETE))->Enable(!arRows.empty());
    m_listBackup->PopupRowMenu(menu, pos);
}

void CBackupBinDlg::OnMenuRestore(wxCommandEvent&) {
    RestoreRows(false, m_nMenuRow);
}

void CBackupBinDlg::OnMenuRestoreAllow(wxCommandEvent&) {
    if (m_bin.CanAllow(m_bin.GetActionRows(m_nMenuRow)))
        RestoreRows(true, m_nMenuRow);
}

void CBackupBinDlg::OnMenuDelete(wxCommandEvent&) {
    const std::vector<int> arRows = m_bin.GetActionRows(m_nMenuRow);
    if (m_bInPass || arRows.empty())
        return;
    m_bInPass = true;
    // For good: the safe answer is the one Enter gives.
    if (QuilletMessageBox(wxString::Format(Text(IDS_BIN_ASK_DELETE), static_cast<int>(arRows.size())),
                          Text(IDS_PRODUCT_CAPTION), wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION, this) != wxYES) {
        m_bInPass = false;
        return;
    }
    const CDeleteOutcome outcome = m_bin.DeleteRows(arRows);
    ShowRemoved(outcome.arRemoved);
    ShowCountAndButtons();
    KeepFocus();
    m_bInPass = false;
    if (outcome.nFailed > 0)
        QuilletMessageBox(wxString::Format(Text(IDS_BIN_DELETE_FAILED), outcome.nFailed), Text(IDS_PRODUCT_CAPTION),
                          wxOK | wxICON_EXCLAMATION, this);
}

void CBackupBinDlg::OnEmpty(wxCommandEvent&) {
    m_bInPass = true;
    // Every backup goes for good: Enter alone must not do it.
    if (QuilletMessageBox(Text(IDS_BIN_ASK_EMPTY), Text(IDS_PRODUCT_CAPTION), wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION,
                          this) != wxYES) {
        m_bInPass = false;
        return;
    }
    const CEmptyOutcome outcome = m_bin.Empty();
    ShowRows();
    ShowCountAndButtons();
    KeepFocus();
    m_bInPass = false;
    if (outcome.nFailed > 0)
        QuilletMessageBox(wxString::Format(Text(IDS_BIN_EMPTY_FAILED), outcome.nFailed), Text(IDS_BIN_EMPTY_ERROR),
                          wxOK | wxICON_EXCLAMATION, this);
}

void CBackupBinDlg::OnWatchTimer(wxTimerEvent&) {
    if (m_bInPass || !m_bin.StoreChanged() || !m_bin.Reload())
        return;
    ShowRows();
    ShowCountAndButtons();
    KeepFocus();
}

void CBackupBinDlg::OnColumnclickBackupList(wxListEvent& event) {
    // The first column ticks and clears, as it always did; the others order
    // the rows, which keep their ticks.
    if (m_bin.OnColumnClick(event.GetColumn()))
        m_listBackup->ShowAllChecks();
    else if (!m_bInPass && m_bin.SortByColumn(event.GetColumn()))
        ShowSorted();
}

int CBackupBinDlg::DateColumnWidth() const {
    // Wide enough for any date in the list's font, whatever the desktop's.
    wxClientDC dc(m_listBackup);
    dc.SetFont(m_listBackup->GetFont());
    return dc.GetTextExtent(wxString("0000-00-00 00:00:00")).x + 16;
}

void CBackupBinDlg::OnSize(wxSizeEvent& event) {
    event.Skip();
    m_layout.Follow();
    if (m_listBackup && m_listBackup->GetColumnCount() > BIN_COL_FOLDER)
        m_listBackup->SetColumnWidth(BIN_COL_FOLDER, kFolderColumnWidth + m_layout.GetGrowth().x);
}

void CBackupBinDlg::EndModal(int nReturnCode) {
    m_layout.Save();
    wxDialog::EndModal(nReturnCode);
}
