#include "ui/ScheduleDlg.h"

#include <stdio.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "ui/DisplayText.h"
#include "ui/MessageBox.h"
#include "res/Strings.h"
#include "base/EscapeField.h"

wxBEGIN_EVENT_TABLE(CScheduleDlg, wxDialog)
    EVT_BUTTON(CScheduleDlg::IDC_ADD, CScheduleDlg::OnAdd)
    EVT_BUTTON(CScheduleDlg::IDC_REMOVE, CScheduleDlg::OnRemove)
    EVT_CHOICE(CScheduleDlg::IDC_EVERY, CScheduleDlg::OnEvery)
wxEND_EVENT_TABLE()

namespace {

wxString Text(EStringId eId) { return ToDisplay(LoadText(eId)); }

}  // namespace

CScheduleDlg::CScheduleDlg(wxWindow* pParent, ISchedules& schedules, const SCANREQUEST& req)
    : m_schedules(schedules), m_req(req) {
    Create(pParent, wxID_ANY, Text(IDS_SCHEDULE_CAPTION), wxDefaultPosition, wxDefaultSize,
           wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxRESIZE_BORDER);
    auto* pMain = new wxBoxSizer(wxVERTICAL);
    m_listSchedules = new wxListCtrl(this, IDC_SCHEDULE_LIST, wxDefaultPosition, FromDIP(wxSize(460, 160)),
                                     wxLC_REPORT | wxLC_SINGLE_SEL);
    m_listSchedules->InsertColumn(COL_NAME, Text(IDS_SCHEDULE_COL_NAME), wxLIST_FORMAT_LEFT, FromDIP(70));
    m_listSchedules->InsertColumn(COL_WHEN, Text(IDS_SCHEDULE_COL_WHEN), wxLIST_FORMAT_LEFT, FromDIP(130));
    m_listSchedules->InsertColumn(COL_TARGETS, Text(IDS_SCHEDULE_COL_TARGETS), wxLIST_FORMAT_LEFT, FromDIP(250));
    pMain->Add(m_listSchedules, 1, wxEXPAND | wxALL, FromDIP(8));

    auto* pWhen = new wxBoxSizer(wxHORIZONTAL);
    wxArrayString arEvery;
    for (EStringId eId : {IDS_SCHEDULE_DAILY, IDS_SCHEDULE_WEEKLY, IDS_SCHEDULE_HOURLY})
        arEvery.Add(Text(eId));
    m_choEvery = new wxChoice(this, IDC_EVERY, wxDefaultPosition, wxDefaultSize, arEvery);
    m_choEvery->SetSelection(0);
    wxArrayString arDays = wxSplit(Text(IDS_SCHEDULE_DAYS), '\n', '\0');
    m_choDay = new wxChoice(this, IDC_DAY, wxDefaultPosition, wxDefaultSize, arDays);
    m_choDay->SetSelection(0);
    m_txtTime = new wxTextCtrl(this, IDC_TIME, "03:00");
    m_chkAcPower = new wxCheckBox(this, IDC_AC_POWER, Text(IDS_SCHEDULE_AC_POWER));
    pWhen->Add(m_choEvery, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, FromDIP(8));
    pWhen->Add(new wxStaticText(this, wxID_ANY, Text(IDS_SCHEDULE_ON)), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, FromDIP(4));
    pWhen->Add(m_choDay, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, FromDIP(8));
    pWhen->Add(new wxStaticText(this, wxID_ANY, Text(IDS_SCHEDULE_AT)), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, FromDIP(4));
    pWhen->Add(m_txtTime, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, FromDIP(8));
    pWhen->Add(m_chkAcPower, 0, wxALIGN_CENTER_VERTICAL);
    pMain->Add(pWhen, 0, wxLEFT | wxRIGHT, FromDIP(8));

    auto* pButtons = new wxBoxSizer(wxHORIZONTAL);
    pButtons->Add(new wxButton(this, IDC_ADD, Text(IDS_SCHEDULE_ADD)), 0, wxRIGHT, FromDIP(8));
    pButtons->Add(new wxButton(this, IDC_REMOVE, Text(IDS_SCHEDULE_REMOVE)), 0, wxRIGHT, FromDIP(8));
    pButtons->AddStretchSpacer();
    pButtons->Add(new wxButton(this, IDC_CLOSE, Text(IDS_SCHEDULE_CLOSE)));
    pMain->Add(pButtons, 0, wxEXPAND | wxALL, FromDIP(8));
    SetSizerAndFit(pMain);
    SetEscapeId(IDC_CLOSE);
    m_choDay->Disable();
    Reload();
    CentreOnParent();
}

void CScheduleDlg::Tell(const std::string& strMessage, bool bError) {
    QuilletMessageBox(ToDisplay(strMessage), Text(IDS_SCHEDULE_CAPTION),
                      wxOK | (bError ? wxICON_EXCLAMATION : wxICON_INFORMATION), this);
}

void CScheduleDlg::Reload() {
    std::string strMessage;
    if (m_schedules.List(&m_arEntries, &strMessage) != 0)
        Tell(strMessage, true);
    m_listSchedules->DeleteAllItems();
    for (const CScheduleEntry& entry : m_arEntries) {
        const long nRow = m_listSchedules->InsertItem(m_listSchedules->GetItemCount(), ToDisplay(entry.strName));
        std::string strTargets;
        if (!entry.bReadable) {
            m_listSchedules->SetItem(nRow, COL_WHEN, Text(IDS_SCHEDULE_UNREADABLE));
            strTargets = entry.strWhy;
        } else {
            m_listSchedules->SetItem(nRow, COL_WHEN, ToDisplay(ScheduleWhenText(entry.schedule.when)));
            if (entry.schedule.bAllDrives)
                strTargets = "--all-drives";
            for (const std::string& strTarget : entry.schedule.arTargets)
                strTargets += (strTargets.empty() ? "" : "  ") + EscapeField(strTarget);
        }
        m_listSchedules->SetItem(nRow, COL_TARGETS, ToDisplay(strTargets));
    }
}

void CScheduleDlg::OnEvery(wxCommandEvent&) {
    const int nEvery = m_choEvery->GetSelection();
    m_choDay->Enable(nEvery == 1);
    m_txtTime->Enable(nEvery != 2);
}

void CScheduleDlg::OnAdd(wxCommandEvent&) {
    if (m_req.arTargets.empty()) {
        Tell(LoadText(IDS_SELECT_ITEM), true);
        return;
    }
    CSchedule schedule;
    std::string strBad;
    if (!ScheduleFromRequest(m_req, &schedule, &strBad)) {
        char szBuf[4096];
        snprintf(szBuf, sizeof szBuf, LoadText(IDS_SCHEDULE_NOT_ON_DISK), EscapeField(strBad).c_str());
        Tell(szBuf, true);
        return;
    }
    const int nEvery = m_choEvery->GetSelection();
    schedule.when.eEvery = nEvery == 1 ? EScheduleEvery::Weekly : nEvery == 2 ? EScheduleEvery::Hourly : EScheduleEvery::Daily;
    schedule.when.nDay = nEvery == 1 ? m_choDay->GetSelection() : 0;
    const std::string strTime = m_txtTime->GetValue().utf8_string();
    if (nEvery != 2 && !ParseScheduleClock(strTime, &schedule.when.nHour, &schedule.when.nMinute)) {
        char szBuf[4096];
        snprintf(szBuf, sizeof szBuf, LoadText(IDS_SCHEDULE_BAD_TIME), EscapeField(strTime).c_str());
        Tell(szBuf, true);
        return;
    }
    schedule.bOnAcPower = m_chkAcPower->GetValue();
    std::string strMessage;
    const int nResult = m_schedules.Add(schedule, &strMessage);
    Reload();
    if (!strMessage.empty())
        Tell(strMessage, nResult != 0);
}

void CScheduleDlg::OnRemove(wxCommandEvent&) {
    const long nRow = m_listSchedules->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    if (nRow < 0 || static_cast<size_t>(nRow) >= m_arEntries.size())
        return;
    std::string strMessage;
    if (m_schedules.Remove(m_arEntries[static_cast<size_t>(nRow)].strName, &strMessage) != 0)
        Tell(strMessage, true);
    Reload();
}
