// The information box (template 133): the About box's lines plus a request
// that organisations using the program contact the maker. It only shows
// text; "확인", Enter, Escape or the close box end it.
#pragma once

#include <string>
#include <vector>

#include <wx/dialog.h>

class CInfoDlg : public wxDialog {
public:
    enum { IDD = 133 };

    // pParent may be null. Run with ShowModal; the result means nothing.
    // arSignatures: one line per signature database, shown under the
    // template's lines, which keep their places; none adds nothing.
    explicit CInfoDlg(wxWindow* pParent = nullptr, const std::vector<std::string>& arSignatures = {});
};
