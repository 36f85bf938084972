#include "ui/TransparentBitmap.h"

#include <wx/image.h>

#include "controls/TransparentBlit.h"
#include "ui/ResourceImages.h"

bool CTransparentBitmap::LoadBitmap(int nResourceId) {
    wxBitmap bmp = LoadBitmapResource(nResourceId);
    if (!bmp.IsOk())
        return false;
    wxBitmap::operator=(bmp);
    return true;
}

void CTransparentBitmap::DrawTransparent(wxDC& dc, int x, int y, const wxColour& clrKey) {
    const wxColour clrOldBack = dc.GetTextBackground();
    const wxColour clrOldText = dc.GetTextForeground();
    dc.SetTextBackground(m_clrPaper);
    dc.SetTextForeground(m_clrInk);

    if (IsOk()) {
        if (!m_bmpMasked.IsOk() || !m_bmpMaskedFrom.IsSameAs(*this) || m_clrMaskedKey != clrKey) {
            // The device cannot combine pixels by raster operation, so the
            // key mask (the same one the three-operation rule builds) becomes
            // the copy's alpha: fully kept or fully left out.
            wxImage image = ConvertToImage();
            const int nWidth = image.GetWidth();
            const int nHeight = image.GetHeight();
            CPixelBuffer pixels(nWidth, nHeight);
            const unsigned char* pRgb = image.GetData();
            for (size_t i = 0; i < pixels.arPixels.size(); ++i)
                pixels.arPixels[i] = PackRgb(pRgb[3 * i], pRgb[3 * i + 1], pRgb[3 * i + 2]);
            CMonoMask mask = MakeKeyMask(pixels, PackRgb(clrKey.Red(), clrKey.Green(), clrKey.Blue()));
            // A mask the image already had becomes alpha too.
            if (!image.HasAlpha())
                image.InitAlpha();
            unsigned char* pAlpha = image.GetAlpha();
            for (size_t i = 0; i < mask.arWhite.size(); ++i)
                if (mask.arWhite[i])
                    pAlpha[i] = 0;
            m_bmpMasked = wxBitmap(image);
            m_bmpMaskedFrom = *this;
            m_clrMaskedKey = clrKey;
        }
        dc.DrawBitmap(m_bmpMasked, x, y, true);
    }

    dc.SetTextBackground(clrOldBack);
    dc.SetTextForeground(clrOldText);
}
