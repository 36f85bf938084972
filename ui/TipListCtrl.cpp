#include "ui/TipListCtrl.h"

#include "ui/DisplayText.h"

namespace {

// The list as CellFromPoint sees it. Rectangles come in the list's client
// coordinates: the rows' rectangles already include the header's height.
class CTipListSource : public ITipListSource {
public:
    explicit CTipListSource(const wxListCtrl& list) : m_list(list) {}
    bool IsReportView() const override { return m_list.InReportView(); }
    int GetTopIndex() const override { return static_cast<int>(m_list.GetTopItem()); }
    int GetCountPerPage() const override { return m_list.GetCountPerPage(); }
    int GetItemCount() const override { return m_list.GetItemCount(); }
    int GetColumnCount() const override { return m_list.GetColumnCount(); }
    int GetColumnWidth(int nCol) const override { return m_list.GetColumnWidth(nCol); }
    bool GetRowBounds(int nRow, CPixelRect* prcRow) const override {
        wxRect rc;
        if (!m_list.GetItemRect(nRow, rc, wxLIST_RECT_BOUNDS))
            return false;
        *prcRow = MakePixelRect(rc.x, rc.y, rc.width, rc.height);
        return true;
    }
    CPixelRect GetClientBounds() const override {
        wxSize sz = m_list.GetClientSize();
        return MakePixelRect(0, 0, sz.x, sz.y);
    }

private:
    const wxListCtrl& m_list;
};

}  // namespace

// Sits on the rows window, whose mouse events never reach the list itself,
// and hands moves and leaves to the list; every event goes on as before.
class CTipListCtrl::CTipMouseHook : public wxEvtHandler {
public:
    explicit CTipMouseHook(CTipListCtrl& list) : m_list(list) {}

    void OnMotion(wxMouseEvent& event) {
        event.Skip();
        m_list.OnRowsMouseMove(event.GetPosition());
    }
    void OnLeave(wxMouseEvent& event) {
        event.Skip();
        m_list.OnRowsMouseLeave();
    }

private:
    CTipListCtrl& m_list;
    wxDECLARE_EVENT_TABLE();
};

wxBEGIN_EVENT_TABLE(CTipListCtrl::CTipMouseHook, wxEvtHandler)
    EVT_MOTION(CTipListCtrl::CTipMouseHook::OnMotion)
    EVT_LEAVE_WINDOW(CTipListCtrl::CTipMouseHook::OnLeave)
wxEND_EVENT_TABLE()

CTipListCtrl::CTipListCtrl() = default;

CTipListCtrl::CTipListCtrl(wxWindow* pParent, wxWindowID nId, const wxPoint& pos, const wxSize& size, long nStyle) {
    Create(pParent, nId, pos, size, nStyle);
}

bool CTipListCtrl::Create(wxWindow* pParent, wxWindowID nId, const wxPoint& pos, const wxSize& size, long nStyle) {
    if (!wxListCtrl::Create(pParent, nId, pos, size, nStyle))
        return false;
    m_pHook = new CTipMouseHook(*this);
    GetRowsWindow()->PushEventHandler(m_pHook);
    return true;
}

CTipListCtrl::~CTipListCtrl() {
    if (m_pHook) {
        GetRowsWindow()->RemoveEventHandler(m_pHook);
        delete m_pHook;
    }
}

wxWindow* CTipListCtrl::GetRowsWindow() const {
#if !defined(__WXMSW__)
    // The generic list draws its rows in an inner window that only names
    // its class in a private header: find it among the children by address.
    const void* pMain = m_mainWin;
    for (wxWindow* pChild : GetChildren())
        if (static_cast<const void*>(pChild) == pMain)
            return pChild;
#endif
    return const_cast<CTipListCtrl*>(this);
}

bool CTipListCtrl::AddItem(const std::string& strText, int nRow, int nCol, int nState, int nImage, long nData) {
    wxListItem item;
    item.SetId(nRow);
    item.SetColumn(nCol);
    item.SetText(ToDisplay(strText));
    long nMask = wxLIST_MASK_TEXT;
    if (nState != -1) {
        item.SetState(nState);
        item.SetStateMask(wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
        nMask |= wxLIST_MASK_STATE;
    }
    if (nImage != -1) {
        item.SetImage(nImage);
        nMask |= wxLIST_MASK_IMAGE;
    }
    if (nData != -1) {
        item.SetData(nData);
        nMask |= wxLIST_MASK_DATA;
    }
    item.SetMask(nMask);
    if (nCol == 0)
        return InsertItem(item) != -1;
    if (nRow < 0 || nRow >= GetItemCount() || nCol >= GetColumnCount())
        return false;
    return SetItem(item);
}

int CTipListCtrl::CellFromPoint(const wxPoint& pt, wxRect* prcCell, int* pnCol) const {
    CPixelRect rcCell;
    int nRow = ::CellFromPoint(CTipListSource(*this), pt.x, pt.y, &rcCell, pnCol);
    if (nRow >= 0 && prcCell)
        *prcCell = wxRect(rcCell.nLeft, rcCell.nTop, rcCell.Width(), rcCell.Height());
    return nRow;
}

TipId CTipListCtrl::TipHitTest(const wxPoint& pt, wxRect* prcCell) const {
    int nCol = 0;
    int nRow = CellFromPoint(pt, prcCell, &nCol);
    return nRow < 0 ? 0 : TipIdFromCell(nRow, nCol);
}

wxString CTipListCtrl::GetTipText(TipId nId) const {
    int nRow = 0;
    int nCol = 0;
    if (!CellFromTipId(nId, &nRow, &nCol) || nRow >= GetItemCount() || nCol >= GetColumnCount())
        return wxString();
    return wxString::FromUTF8(LimitTipText(std::string(GetFullCellText(nRow, nCol).utf8_str())));
}

void CTipListCtrl::OnRowsMouseMove(const wxPoint& ptRows) {
    wxWindow* pRows = GetRowsWindow();
    // Rows-window coordinates to the list's: the rows window sits below the
    // header inside the list.
    wxPoint pt = pRows == this ? ptRows : ptRows + pRows->GetPosition();
    ShowTip(TipHitTest(pt));
}

void CTipListCtrl::OnRowsMouseLeave() { ShowTip(0); }

void CTipListCtrl::ShowTip(TipId nId) {
    wxWindow* pRows = GetRowsWindow();
    // Read on every move, not only on entering a cell: a row may have been
    // rewritten (a repair changes its status) under a pointer that stayed.
    wxString strTip = nId == 0 ? wxString() : GetTipText(nId);
    if (nId == m_nShownTip && strTip == pRows->GetToolTipText())
        return;
    m_nShownTip = nId;
    // A new text per cell: the toolkit moves and hides the tip itself, and
    // shows a changed text in a tip already up.
    if (strTip.empty())
        pRows->UnsetToolTip();
    else
        pRows->SetToolTip(strTip);
}
