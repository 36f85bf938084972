#include "ui/ResultList.h"

#include "res/Strings.h"
#include "ui/DisplayText.h"
#include "ui/ResourceImages.h"

wxBEGIN_EVENT_TABLE(CResultList, CCheckListCtrl)
    EVT_LIST_ITEM_SELECTED(wxID_ANY, CResultList::OnSelected)
    EVT_LIST_ITEM_DESELECTED(wxID_ANY, CResultList::OnDeselected)
wxEND_EVENT_TABLE()

CResultList::CResultList(wxWindow* pParent, wxWindowID nId, const wxPoint& pos, const wxSize& size,
                         CResultRows& rows)
    : CCheckListCtrl(pParent, nId, pos, size, wxLC_REPORT | wxLC_VIRTUAL | wxBORDER_SUNKEN),
      m_rows(rows) {
    m_rows.SetObserver(this);
}

CResultList::~CResultList() {
    m_rows.SetObserver(nullptr);
}

void CResultList::InitList() {
    m_imageList.Create(16, 16, true, 2);
    wxBitmap bmpChecks = LoadBitmapResource(IDB_LIST_CHECKS);
    if (bmpChecks.IsOk()) {
        for (int i = 0; i < 2; ++i)
            m_imageList.Add(bmpChecks.GetSubBitmap(wxRect(i * 16, 0, 16, 16)), *wxWHITE);
    }
    SetImageList(&m_imageList, wxIMAGE_LIST_SMALL);
    InsertColumn(RESULT_COL_NUM, ToDisplay(LoadText(IDS_COL_NUM)), wxLIST_FORMAT_LEFT, 50);
    InsertColumn(RESULT_COL_PATH, ToDisplay(LoadText(IDS_COL_FILE)), wxLIST_FORMAT_LEFT, 170);
    InsertColumn(RESULT_COL_VIRUS, ToDisplay(LoadText(IDS_COL_VIRUS)), wxLIST_FORMAT_LEFT, 120);
    InsertColumn(RESULT_COL_STATUS, ToDisplay(LoadText(IDS_COL_STATUS)), wxLIST_FORMAT_LEFT, 100);
}

void CResultList::OnRowAdded(int) {
    // Shown at the next SyncItemCount.
}

void CResultList::SyncItemCount() {
    long nCount = m_rows.GetItemCount();
    if (nCount != m_nShownCount) {
        m_nShownCount = nCount;
        SetItemCount(nCount);
    }
}

void CResultList::OnRowChanged(int nRow) {
    if (nRow < m_nShownCount)
        RefreshItem(nRow);
}

void CResultList::ToggleRow(int nRow) {
    m_rows.SetCheck(nRow, !m_rows.GetCheck(nRow));
}

wxString CResultList::OnGetItemText(long nItem, long nColumn) const {
    return ToDisplay(m_rows.GetItemText(static_cast<int>(nItem), static_cast<int>(nColumn)));
}

int CResultList::OnGetItemImage(long nItem) const {
    return m_rows.GetCheck(static_cast<int>(nItem)) ? 1 : 0;
}

void CResultList::OnSelected(wxListEvent& event) {
    m_rows.SetSelected(static_cast<int>(event.GetIndex()));
    event.Skip();
}

void CResultList::OnDeselected(wxListEvent& event) {
    if (m_rows.GetFirstSelected() == event.GetIndex())
        m_rows.SetSelected(-1);
    event.Skip();
}
