// The history of scans as a window: one row a scan, newest first; the
// selected scan's whole record (targets, findings, errors) below the list.
// It only shows what it is handed; the program reads the file.
#pragma once

#include <string>
#include <vector>

#include <wx/dialog.h>

#include "scan/History.h"

class wxListCtrl;
class wxListEvent;
class wxTextCtrl;

class CHistoryDlg : public wxDialog {
public:
    enum { IDC_HISTORY_LIST = 1000, IDC_HISTORY_DETAILS = 1001 };

    // arRecords in file order (oldest first). strOpenId: the scan to select
    // at the start ("" or unknown: the newest).
    CHistoryDlg(wxWindow* pParent, std::vector<SHISTORYRECORD> arRecords, const std::string& strOpenId);

    // The record a list row shows.
    const SHISTORYRECORD& GetRecord(long nRow) const { return m_arRecords[m_arRecords.size() - 1 - nRow]; }

private:
    void OnItemSelectedList(wxListEvent& event);
    void ShowDetails(long nRow);

    std::vector<SHISTORYRECORD> m_arRecords;
    wxListCtrl* m_pList = nullptr;
    wxTextCtrl* m_pDetails = nullptr;

    wxDECLARE_EVENT_TABLE();
};
