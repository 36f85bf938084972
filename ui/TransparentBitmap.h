// A bitmap that draws itself with one key colour left out, so a picture on
// a plain background sits on a window of any colour.
#pragma once

#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/dc.h>

class CTransparentBitmap : public wxBitmap {
public:
    CTransparentBitmap() = default;

    // One of the program's images (ui/ResourceImages.h); false when
    // there is no such image.
    bool LoadBitmap(int nResourceId);

    // The whole bitmap at (x, y), natural size, leaving the destination as
    // it was wherever the bitmap holds clrKey. The destination's text and
    // background colours are the same afterwards. Draws nothing when no
    // bitmap is loaded.
    void DrawTransparent(wxDC& dc, int x, int y, const wxColour& clrKey);

    const wxColour& GetInkColour() const { return m_clrInk; }
    const wxColour& GetPaperColour() const { return m_clrPaper; }

private:
    // Held while the mask is applied: with black ink and white paper the
    // mask's white keeps the destination and its black clears it.
    wxColour m_clrInk{0, 0, 0};
    wxColour m_clrPaper{255, 255, 255};
    // The masked copy for the last key colour; rebuilt when the bitmap or
    // the key changes, not on every paint.
    wxBitmap m_bmpMasked;
    wxBitmap m_bmpMaskedFrom;
    wxColour m_clrMaskedKey;
};
