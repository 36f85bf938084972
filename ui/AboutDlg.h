// The About box (template 100): product and version, the maker's rights
// notice, a framed description of the maker and its home page. It only
// shows text; "확인", Enter, Escape or the close box end it.
#pragma once

#include <wx/dialog.h>

class wxStaticText;

// A text of the box at its place in dialog units, grown when its text needs
// more room than the template gave: another font, or Korean glyphs from a
// fallback font whose lines are taller than the dialog font's.
wxStaticText* CreateBoxText(wxWindow* pParent, const char* pszUtf8, int x, int y, int nWidth);

class CAboutDlg : public wxDialog {
public:
    enum { IDD = 100 };

    // pParent may be null. Run with ShowModal; the result means nothing.
    explicit CAboutDlg(wxWindow* pParent = nullptr);
};
