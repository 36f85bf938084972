#include "controls/CheckListCtrl.h"

wxBEGIN_EVENT_TABLE(CCheckListCtrl, CTipListCtrl)
    EVT_KEY_DOWN(CCheckListCtrl::OnKeyDown)
wxEND_EVENT_TABLE()

CCheckListCtrl::CCheckListCtrl(wxWindow* pParent, wxWindowID nId, const wxPoint& pos, const wxSize& size,
                               long nStyle)
    : CTipListCtrl(pParent, nId, pos, size, nStyle) {
    // Clicks land on the inner window that draws the rows.
    GetRowsWindow()->Bind(wxEVT_LEFT_DOWN, &CCheckListCtrl::OnRowsLeftDown, this);
}

int CCheckListCtrl::GetKeyRow() const {
    long nItem = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_FOCUSED);
    if (nItem < 0)
        nItem = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    return static_cast<int>(nItem);
}

void CCheckListCtrl::OnRowsLeftDown(wxMouseEvent& event) {
    // Selection and focus still follow the click.
    event.Skip();
    int nFlags = 0;
    long nItem = HitTest(event.GetPosition(), nFlags);
    if (nItem >= 0 && (nFlags & wxLIST_HITTEST_ONITEMICON))
        ToggleRow(static_cast<int>(nItem));
}

void CCheckListCtrl::OnKeyDown(wxKeyEvent& event) {
    // Space ticks the row, as with any list of check boxes.
    const int nRow = event.GetKeyCode() == WXK_SPACE ? GetKeyRow() : -1;
    if (nRow >= 0) {
        ToggleRow(nRow);
        return;
    }
    event.Skip();
}
