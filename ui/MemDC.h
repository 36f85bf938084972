// Off-screen drawing for one paint: everything drawn through a CMemDC lands
// in a bitmap that is copied onto the target in one block when the CMemDC
// goes out of scope, so a frame never shows half drawn. On a printing
// target nothing is buffered and drawing goes straight through.
#pragma once

#include <wx/bitmap.h>
#include <wx/dc.h>
#include <wx/dcmemory.h>
#include <wx/gdicmn.h>

class CMemDC {
public:
    explicit CMemDC(wxDC& dcTarget);
    ~CMemDC();
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    // Where to draw, in the target's logical coordinates.
    wxDC& GetDC() { return m_bActive ? static_cast<wxDC&>(m_dcMem) : *m_pTarget; }
    wxDC* operator->() { return &GetDC(); }
    operator wxDC&() { return GetDC(); }

    // False on a printing target.
    bool IsActive() const { return m_bActive; }
    // The target's clip box at construction: what is buffered and copied.
    const wxRect& GetArea() const { return m_rcArea; }

private:
    wxDC* m_pTarget;
    wxMemoryDC m_dcMem;
    wxBitmap m_bmpOff;
    wxRect m_rcArea;
    bool m_bActive;
    bool m_bCopy = false;  // the off-screen bitmap exists and goes to the target
};
