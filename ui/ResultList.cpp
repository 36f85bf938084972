#include "ui/ResultList.h"

#include <wx/dcclient.h>

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
    InsertColumn(RESULT_COL_PATH, ToDisplay(LoadText(IDS_COL_FILE)), wxLIST_FORMAT_LEFT, PATH_COLUMN_WIDTH);
    InsertColumn(RESULT_COL_VIRUS, ToDisplay(LoadText(IDS_COL_VIRUS)), wxLIST_FORMAT_LEFT, 120);
    InsertColumn(RESULT_COL_STATUS, ToDisplay(LoadText(IDS_COL_STATUS)), wxLIST_FORMAT_LEFT, 100);
}

void CResultList::OnRowAdded(int) {
    // Shown at the next SyncItemCount.
}

void CResultList::SyncItemCount() {
    long nCount = m_rows.GetItemCount();
    if (nCount != m_nShownCount) {
        // Rows found after a sort come at the end, so nothing moves under
        // the user's eyes.
        for (int nRow = static_cast<int>(m_arOrder.size()); !m_arOrder.empty() && nRow < nCount; ++nRow) {
            m_arItemOfRow.push_back(static_cast<long>(m_arOrder.size()));
            m_arOrder.push_back(nRow);
        }
        m_nShownCount = nCount;
        SetItemCount(nCount);
    }
}

int CResultList::RowOfItem(long nItem) const {
    if (nItem < 0 || m_arOrder.empty())
        return static_cast<int>(nItem);
    return static_cast<size_t>(nItem) < m_arOrder.size() ? m_arOrder[static_cast<size_t>(nItem)] : -1;
}

long CResultList::ItemOfRow(int nRow) const {
    if (nRow < 0 || m_arOrder.empty())
        return nRow;
    return static_cast<size_t>(nRow) < m_arItemOfRow.size() ? m_arItemOfRow[static_cast<size_t>(nRow)] : -1;
}

void CResultList::SortByColumn(int nCol) {
    if (nCol <= RESULT_COL_NUM || nCol > RESULT_COL_STATUS)
        return;
    SyncItemCount();
    std::vector<int> arSelected;
    for (long nItem = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); nItem >= 0;
         nItem = GetNextItem(nItem, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
        arSelected.push_back(RowOfItem(nItem));
    const int nFocused = RowOfItem(GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_FOCUSED));
    const int nFirstSelected = m_rows.GetFirstSelected();

    m_sort.Click(nCol);
    m_arOrder.clear();
    m_arItemOfRow.clear();
    if (m_sort.IsSorted()) {
        m_arOrder = m_rows.SortedOrder(m_sort.GetColumn(), m_sort.IsDescending());
        m_arItemOfRow.assign(m_arOrder.size(), -1);
        for (size_t i = 0; i < m_arOrder.size(); ++i)
            m_arItemOfRow[static_cast<size_t>(m_arOrder[i])] = static_cast<long>(i);
    }
    // The same rows stay selected at their new places.
    SetItemState(-1, 0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    for (int nRow : arSelected)
        SetItemState(ItemOfRow(nRow), wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    if (nFocused >= 0)
        SetItemState(ItemOfRow(nFocused), wxLIST_STATE_FOCUSED, wxLIST_STATE_FOCUSED);
    m_rows.SetSelected(nFirstSelected);
    Refresh();
}

void CResultList::FollowGrowth(int nGrowX) {
    if (GetColumnCount() > RESULT_COL_PATH)
        SetColumnWidth(RESULT_COL_PATH, PATH_COLUMN_WIDTH + nGrowX);
}

void CResultList::OnRowChanged(int nRow) {
    if (nRow < m_nShownCount) {
        const long nItem = ItemOfRow(nRow);
        if (nItem >= 0)
            RefreshItem(nItem);
    }
}

void CResultList::ToggleRow(int nItem) {
    ToggleCheck(RowOfItem(nItem));
}

wxString CResultList::OnGetItemText(long nItem, long nColumn) const {
    const int nRow = RowOfItem(nItem);
    if (nColumn != RESULT_COL_PATH)
        return ToDisplay(m_rows.GetItemText(nRow, static_cast<int>(nColumn)));
    // The name stays in sight whatever the folder: the path gives up its
    // middle to fit the column. The list pads a cell by 8 pixels and
    // cuts its end off when the text is wider.
    wxClientDC dc(const_cast<CResultList*>(this));
    dc.SetFont(GetFont());
    const int nWidth = GetColumnWidth(RESULT_COL_PATH) - 12;
    return ToDisplay(ShortenPathMiddle(m_rows.GetItemText(nRow, RESULT_COL_PATH), nWidth,
                                       [&](const std::string& str) { return dc.GetTextExtent(ToDisplay(str)).x; }));
}

wxString CResultList::GetFullCellText(long nItem, long nColumn) const {
    return ToDisplay(m_rows.GetItemText(RowOfItem(nItem), static_cast<int>(nColumn)));
}

int CResultList::OnGetItemImage(long nItem) const {
    return m_rows.GetCheck(RowOfItem(nItem)) ? 1 : 0;
}

void CResultList::OnSelected(wxListEvent& event) {
    m_rows.SetSelected(RowOfItem(event.GetIndex()));
    event.Skip();
}

void CResultList::OnDeselected(wxListEvent& event) {
    if (m_rows.GetFirstSelected() == RowOfItem(event.GetIndex()))
        m_rows.SetSelected(-1);
    event.Skip();
}
