// The Schedule dialog: the user's scheduled scans, one row each; Add makes
// one of what the main dialog would scan now (its ticked targets and
// options) at the time picked here; Remove removes the selected one. The
// schedules decide everything; this only renders and forwards.
#pragma once

#include <string>
#include <vector>

#include <wx/dialog.h>

#include "scan/ScanTypes.h"
#include "schedule/Schedule.h"

class wxCheckBox;
class wxChoice;
class wxListCtrl;
class wxTextCtrl;

class CScheduleDlg : public wxDialog {
public:
    enum {
        IDC_SCHEDULE_LIST = 1101,
        IDC_EVERY = 1102,
        IDC_DAY = 1103,
        IDC_TIME = 1104,
        IDC_AC_POWER = 1105,
        IDC_ADD = 1106,
        IDC_REMOVE = 1107,
        IDC_CLOSE = wxID_CANCEL,
    };
    enum { COL_NAME, COL_WHEN, COL_TARGETS };

    // req: what the main dialog would scan now. The schedules are the
    // caller's and outlive the dialog.
    CScheduleDlg(wxWindow* pParent, ISchedules& schedules, const SCANREQUEST& req);

    // Reads the schedules again into the list.
    void Reload();
    const std::vector<CScheduleEntry>& GetEntries() const { return m_arEntries; }

protected:
    void OnAdd(wxCommandEvent& event);
    void OnRemove(wxCommandEvent& event);
    void OnEvery(wxCommandEvent& event);

private:
    void Tell(const std::string& strMessage, bool bError);

    ISchedules& m_schedules;
    SCANREQUEST m_req;
    std::vector<CScheduleEntry> m_arEntries;
    wxListCtrl* m_listSchedules = nullptr;
    wxChoice* m_choEvery = nullptr;
    wxChoice* m_choDay = nullptr;
    wxTextCtrl* m_txtTime = nullptr;
    wxCheckBox* m_chkAcPower = nullptr;

    wxDECLARE_EVENT_TABLE();
};
