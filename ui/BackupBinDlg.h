// The Backup Bin (template 211): lists the backup files in the work folder,
// puts ticked ones back where they came from (Restore) or deletes them all
// (Empty). What it shows and does is CBackupBin's; this only renders it.
#pragma once

#include <wx/dialog.h>
#include <wx/imaglist.h>
#include <wx/timer.h>

#include "repair/BackupBin.h"
#include "ui/CheckListCtrl.h"
#include "ui/WindowLayout.h"

class wxButton;
class wxListEvent;
class wxMenu;
class wxStaticText;

// The list (control 231): a row's tick is the small image of column 0,
// toggled by a click on it or by Space on the focused row.
class CBackupListCtrl : public CCheckListCtrl {
public:
    CBackupListCtrl(wxWindow* pParent, wxWindowID nId, const wxPoint& pos, const wxSize& size, CBackupBin& bin);

    void ShowCheck(int nRow);
    void ShowAllChecks();

protected:
    void ToggleRow(int nRow) override;

private:
    CBackupBin& m_bin;
};

class CBackupBinDlg : public wxDialog {
public:
    enum {
        IDD = 211,
        IDC_RESTORE = wxID_OK,   // template id 1
        IDC_EXIT = wxID_CANCEL,  // template id 2
        IDC_COUNT = 230,
        IDC_BACKUP_LIST = 231,
        IDC_EMPTY = 233,
        TIMER_STORE_WATCH = 1,
        // The list's menu.
        IDM_BIN_RESTORE = 32110,
        IDM_BIN_DELETE = 32111,
        IDM_BIN_RESTORE_ALLOW = 32112,
    };
    // How often the store is asked whether it changed while the Bin is open.
    static constexpr int WATCH_MS = 500;

    // pParent may be null. The store is the caller's and outlives the
    // dialog; the list is read from it when the dialog initialises.
    // pAllow: where "Restore and allow" puts a finding (none: not offered).
    // pSizes: where the window's size is kept between runs (none: not kept).
    CBackupBinDlg(wxWindow* pParent, IBackupBinStore& store, IAllowList* pAllow = nullptr,
                  IWindowSizes* pSizes = nullptr);

    // Refills the list from the store (the work folder is not created here).
    // While the dialog is open, a change of the store (a backup taken by a
    // scan, one restored or emptied by another program) reloads it; rows
    // still there keep their ticks.
    void LoadBackupList();

    const CBackupBin& GetBin() const { return m_bin; }
    // The list's menu while it is open, else null.
    wxMenu* GetOpenMenu() const;
    // Keeps the window's size for the next start, then ends it.
    void EndModal(int nReturnCode) override;

protected:
    void OnInitDialog(wxInitDialogEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnEmpty(wxCommandEvent& event);
    void OnColumnclickBackupList(wxListEvent& event);
    void OnWatchTimer(wxTimerEvent& event);
    void OnRightClickBackupList(wxListEvent& event);
    void OnKeydownBackupList(wxListEvent& event);
    void OnMenuRestore(wxCommandEvent& event);
    void OnMenuDelete(wxCommandEvent& event);
    void OnMenuRestoreAllow(wxCommandEvent& event);
    void OnSize(wxSizeEvent& event);

private:
    void ShowRows();
    void ShowSorted();
    void ShowRemoved(const std::vector<int>& arRemoved);
    void ShowMenu(int nRow, const wxPoint& pos);
    // Restore of the ticked rows (nMenuRow when none is ticked).
    void RestoreRows(bool bAllow, int nMenuRow);
    void ShowCountAndButtons();
    int DateColumnWidth() const;
    // A button that had the focus and was disabled leaves none (and with
    // it Escape): the list takes it, or Exit when the list is empty.
    void KeepFocus();

    wxImageList m_imlState;
    wxButton* m_btnRestore = nullptr;
    wxButton* m_btnExit = nullptr;
    wxButton* m_btnEmpty = nullptr;
    wxStaticText* m_staticCount = nullptr;
    CBackupListCtrl* m_listBackup = nullptr;
    CBackupBin m_bin;
    CWindowLayout m_layout;
    wxTimer m_timerWatch{this, TIMER_STORE_WATCH};
    // Restore or Empty is under way, its questions included: the list the
    // user answered about stays as it is.
    bool m_bInPass = false;
    int m_nMenuRow = -1;  // the row the menu was opened on

    wxDECLARE_EVENT_TABLE();
};
