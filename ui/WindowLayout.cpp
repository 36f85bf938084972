#include "ui/WindowLayout.h"

#include <algorithm>

#include <wx/display.h>
#include <wx/toplevel.h>

void CWindowLayout::Add(wxWindow* pControl, int nAnchors) {
    m_arItems.push_back({pControl, nAnchors, pControl->GetRect()});
}

void CWindowLayout::Start(wxTopLevelWindow* pWindow, IWindowSizes* pSizes, const std::string& strName) {
    m_pWindow = pWindow;
    m_pSizes = pSizes;
    m_strName = strName;
    m_sizeTemplate = pWindow->GetClientSize();
    pWindow->SetMinClientSize(m_sizeTemplate);
    CWindowSize kept;
    const bool bKept = pSizes && pSizes->Load(strName, &kept);
    if (!bKept)
        return;
    const int nDisplay = wxDisplay::GetFromWindow(pWindow);
    const wxRect rcScreen = wxDisplay(nDisplay == wxNOT_FOUND ? 0u : static_cast<unsigned>(nDisplay)).GetClientArea();
    const CWindowSize size = ChooseOpeningSize(bKept, kept, {m_sizeTemplate.x, m_sizeTemplate.y},
                                               {rcScreen.width, rcScreen.height});
    pWindow->SetClientSize(size.nWidth, size.nHeight);
    Follow();
}

wxSize CWindowLayout::GetGrowth() const {
    if (!m_pWindow)
        return wxSize(0, 0);
    const wxSize size = m_pWindow->GetClientSize();
    // Below the minimum (a window manager that ignores it) nothing shrinks
    // under its template place.
    return wxSize(std::max(0, size.x - m_sizeTemplate.x), std::max(0, size.y - m_sizeTemplate.y));
}

void CWindowLayout::Follow() {
    const wxSize growth = GetGrowth();
    for (const SItem& item : m_arItems) {
        const wxRect& rc = item.rcTemplate;
        const CPixelRect rcNew =
            FollowSize(MakePixelRect(rc.x, rc.y, rc.width, rc.height), item.nAnchors, growth.x, growth.y);
        item.pControl->SetSize(rcNew.nLeft, rcNew.nTop, rcNew.Width(), rcNew.Height());
    }
}

void CWindowLayout::Save() {
    if (!m_pWindow || !m_pSizes || m_pWindow->IsMaximized())
        return;
    const wxSize size = m_pWindow->GetClientSize();
    m_pSizes->Save(m_strName, {size.x, size.y});
}
