// A report list whose rows carry a check box as the first column's image
// (0 clear, 1 ticked): a click on the box, or Space on the focused row,
// toggles it. What a tick means, and where it is kept, is the subclass's.
#pragma once

#include "ui/TipListCtrl.h"

class wxMenu;

class CCheckListCtrl : public CTipListCtrl {
public:
    CCheckListCtrl(wxWindow* pParent, wxWindowID nId, const wxPoint& pos, const wxSize& size, long nStyle);

    // The menu key or Shift+F10: the rows' menu, as a right click opens it.
    static bool IsMenuKey(int nKey);
    // The focused row, else the selected one; -1 for none.
    int GetFocusedRow() const;
    // Shows a menu of the rows at pos (wxDefaultPosition: under the focused
    // row) and returns once it is closed.
    void PopupRowMenu(wxMenu& menu, const wxPoint& pos);
    // Between a popup's start and its end; the dialog opens no second one.
    bool IsRowMenuUp() const { return m_bMenuUp; }
    // The menu once the toolkit has put it on the screen, else null: a key
    // sent before then would reach the list instead.
    wxMenu* GetOpenMenu() const { return m_pOpenMenu; }

protected:
    // Ticks or clears one row, as a click on its box does.
    virtual void ToggleRow(int nRow) = 0;
    // The row Space acts on, -1 for none: the focused row, else the selected one.
    virtual int GetKeyRow() const;

    void OnRowsLeftDown(wxMouseEvent& event);
    void OnKeyDown(wxKeyEvent& event);

private:
    wxMenu* m_pOpenMenu = nullptr;
    bool m_bMenuUp = false;

    wxDECLARE_EVENT_TABLE();
};
