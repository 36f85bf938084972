// A report list that shows the full text of the cell under the mouse as a
// tool tip, so names cut off by narrow columns can still be read.
#pragma once

#include <string>

#include <wx/listctrl.h>

#include "controls/PixelRect.h"
#include "controls/TipListLogic.h"

class CTipListCtrl : public wxListCtrl {
public:
    CTipListCtrl();
    CTipListCtrl(wxWindow* pParent, wxWindowID nId, const wxPoint& pos = wxDefaultPosition,
                 const wxSize& size = wxDefaultSize, long nStyle = wxLC_REPORT);
    bool Create(wxWindow* pParent, wxWindowID nId, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long nStyle = wxLC_REPORT);
    ~CTipListCtrl() override;

    // Writes one cell. Column 0 inserts a row at nRow, any other column sets
    // that cell of an existing row. The text is bytes, shown as display text.
    // State (its selected and focused bits), image and item data are set
    // only when not -1. False when the cell was not written.
    bool AddItem(const std::string& strText, int nRow, int nCol, int nState = -1, int nImage = -1, long nData = -1);

    // The row of the cell under a point in the list's client coordinates,
    // or -1; the cell's rectangle and column when asked.
    int CellFromPoint(const wxPoint& pt, wxRect* prcCell = nullptr, int* pnCol = nullptr) const;
    // The window that gets the mouse over the rows (the list itself where
    // the platform's list has no inner window); tips are set on it.
    wxWindow* GetRowsWindow() const;

    // The tip id of the cell under the point, 0 for none.
    TipId TipHitTest(const wxPoint& pt, wxRect* prcCell = nullptr) const;
    // The text a tip with this id shows: the start of its cell's text.
    wxString GetTipText(TipId nId) const;
    // The cell whose tip is set now, 0 for none. Its text is read again on
    // every mouse move over the rows.
    TipId GetShownTip() const { return m_nShownTip; }

protected:
    // The whole text of a cell, for its tip: a list that shows a cell
    // shortened gives the full one here.
    virtual wxString GetFullCellText(long nRow, long nCol) const { return GetItemText(nRow, static_cast<int>(nCol)); }

private:
    class CTipMouseHook;
    friend class CTipMouseHook;

    void OnRowsMouseMove(const wxPoint& ptRows);
    void OnRowsMouseLeave();
    void ShowTip(TipId nId);

    CTipMouseHook* m_pHook = nullptr;
    TipId m_nShownTip = 0;
};
