#include "ui/CheckListCtrl.h"

#include <wx/menu.h>
#include <wx/utils.h>

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
    return GetFocusedRow();
}

int CCheckListCtrl::GetFocusedRow() const {
    long nItem = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_FOCUSED);
    if (nItem < 0)
        nItem = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    return static_cast<int>(nItem);
}

bool CCheckListCtrl::IsMenuKey(int nKey) {
    return nKey == WXK_MENU || nKey == WXK_WINDOWS_MENU || (nKey == WXK_F10 && wxGetKeyState(WXK_SHIFT));
}

void CCheckListCtrl::PopupRowMenu(wxMenu& menu, const wxPoint& pos) {
    if (m_bMenuUp)
        return;
    wxPoint ptAt = pos;
    if (ptAt == wxDefaultPosition) {
        // From the keyboard: under the focused row, or the list's corner.
        wxRect rcRow;
        const int nRow = GetFocusedRow();
        ptAt = nRow >= 0 && GetItemRect(nRow, rcRow) ? rcRow.GetBottomLeft() : wxPoint(0, 0);
    }
    m_bMenuUp = true;
    menu.Bind(wxEVT_MENU_OPEN, [this, &menu](wxMenuEvent&) { m_pOpenMenu = &menu; });
    PopupMenu(&menu, ptAt);
    m_pOpenMenu = nullptr;
    m_bMenuUp = false;
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
