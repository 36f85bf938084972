#include "ui/MemDC.h"

#include <wx/dcprint.h>
#if wxUSE_POSTSCRIPT
#include <wx/dcps.h>
#endif

namespace {

bool IsPrintingDC(const wxDC& dc) {
#if wxUSE_PRINTING_ARCHITECTURE
    if (dc.IsKindOf(wxCLASSINFO(wxPrinterDC)))
        return true;
#endif
#if wxUSE_POSTSCRIPT
    if (dc.IsKindOf(wxCLASSINFO(wxPostScriptDC)))
        return true;
#endif
    return false;
}

}  // namespace

CMemDC::CMemDC(wxDC& dcTarget) : m_pTarget(&dcTarget), m_bActive(!IsPrintingDC(dcTarget)) {
    if (!m_bActive)
        return;
    dcTarget.GetClippingBox(m_rcArea);
    if (m_rcArea.IsEmpty()) {
        // Nothing of the target can change: draw into a scrap pixel and
        // copy nothing, so callers never meet an unusable context.
        m_bmpOff.Create(1, 1);
        m_dcMem.SelectObject(m_bmpOff);
        return;
    }
    m_bCopy = m_bmpOff.Create(m_rcArea.width, m_rcArea.height);
    if (!m_bCopy)
        m_bmpOff.Create(1, 1);
    m_dcMem.SelectObject(m_bmpOff);
    // The target's logical coordinates land in the bitmap.
    m_dcMem.SetLogicalOrigin(m_rcArea.x, m_rcArea.y);
}

CMemDC::~CMemDC() {
    if (!m_bActive)
        return;
    if (m_bCopy && m_dcMem.IsOk())
        m_pTarget->Blit(m_rcArea.x, m_rcArea.y, m_rcArea.width, m_rcArea.height, &m_dcMem, m_rcArea.x, m_rcArea.y,
                        wxCOPY);
    m_dcMem.SelectObject(wxNullBitmap);
}
