#include "ui/HistoryDlg.h"

#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

#include "ui/AppIcon.h"
#include "res/Strings.h"

namespace {

wxString Text(const std::string& str) {
    // Names are bytes; what is no UTF-8 shows as the replacement character.
    wxString wstr = wxString::FromUTF8(str);
    return wstr.empty() && !str.empty() ? wxString(str.data(), wxConvUTF8, str.size()) : wstr;
}

}  // namespace

wxBEGIN_EVENT_TABLE(CHistoryDlg, wxDialog)
    EVT_LIST_ITEM_SELECTED(CHistoryDlg::IDC_HISTORY_LIST, CHistoryDlg::OnItemSelectedList)
wxEND_EVENT_TABLE()

CHistoryDlg::CHistoryDlg(wxWindow* pParent, std::vector<SHISTORYRECORD> arRecords, const std::string& strOpenId)
    : m_arRecords(std::move(arRecords)) {
    Create(pParent, wxID_ANY, Text(LoadText(IDS_HISTORY_TITLE)), wxDefaultPosition, wxDefaultSize,
           wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxRESIZE_BORDER);
    SetIcons(LoadAppIcons());
    m_pList = new wxListCtrl(this, IDC_HISTORY_LIST, wxDefaultPosition, wxDLG_UNIT(this, wxSize(360, 110)),
                             wxLC_REPORT | wxLC_SINGLE_SEL);
    const EStringId arCols[] = {IDS_HISTORY_COL_START, IDS_HISTORY_COL_ROAD, IDS_HISTORY_COL_TARGETS,
                                IDS_HISTORY_COL_SCANNED, IDS_HISTORY_COL_INFECTED, IDS_HISTORY_COL_EXIT};
    const int arWidths[] = {80, 60, 120, 35, 35, 30};
    for (int i = 0; i < 6; ++i)
        m_pList->InsertColumn(i, Text(LoadText(arCols[i])), wxLIST_FORMAT_LEFT,
                              wxDLG_UNIT(this, wxSize(arWidths[i], 0)).x);
    m_pDetails = new wxTextCtrl(this, IDC_HISTORY_DETAILS, wxString(), wxDefaultPosition,
                                wxDLG_UNIT(this, wxSize(360, 110)), wxTE_MULTILINE | wxTE_READONLY | wxTE_DONTWRAP);
    auto* pExit = new wxButton(this, wxID_CANCEL, Text(LoadText(IDS_EXIT)));

    long nOpen = 0;
    for (long nRow = 0; nRow < static_cast<long>(m_arRecords.size()); ++nRow) {
        const SHISTORYRECORD& rec = GetRecord(nRow);
        std::string strTargets;
        for (const std::string& strTarget : rec.arTargets)
            strTargets += (strTargets.empty() ? "" : ", ") +
                          (strTarget.empty() ? std::string(LoadText(IDS_HISTORY_ALL_DRIVES)) : strTarget);
        const int nInfected = static_cast<int>(rec.arFindings.size()) + rec.nOmittedFindings;
        m_pList->InsertItem(nRow, Text(CScanHistory::LocalTime(rec.nStart)));
        m_pList->SetItem(nRow, 1, Text(CScanHistory::RoadText(rec)));
        m_pList->SetItem(nRow, 2, Text(strTargets));
        m_pList->SetItem(nRow, 3, wxString::Format("%d", rec.nScanned));
        m_pList->SetItem(nRow, 4, wxString::Format("%d", nInfected));
        m_pList->SetItem(nRow, 5, wxString::Format("%d", rec.nExit));
        if (!strOpenId.empty() && rec.strId == strOpenId)
            nOpen = nRow;
    }

    auto* pSizer = new wxBoxSizer(wxVERTICAL);
    pSizer->Add(m_pList, 1, wxEXPAND | wxALL, 7);
    pSizer->Add(m_pDetails, 1, wxEXPAND | wxLEFT | wxRIGHT, 7);
    pSizer->Add(pExit, 0, wxALIGN_RIGHT | wxALL, 7);
    SetSizerAndFit(pSizer);
    if (!m_arRecords.empty()) {
        m_pList->SetItemState(nOpen, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                              wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
        m_pList->EnsureVisible(nOpen);
        ShowDetails(nOpen);
    }
    m_pList->SetFocus();
    CentreOnParent();
}

void CHistoryDlg::OnItemSelectedList(wxListEvent& event) {
    ShowDetails(event.GetIndex());
}

void CHistoryDlg::ShowDetails(long nRow) {
    if (nRow < 0 || nRow >= static_cast<long>(m_arRecords.size()))
        return;
    m_pDetails->ChangeValue(Text(CScanHistory::Describe(GetRecord(nRow))));
}
