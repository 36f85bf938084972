#include "ui/AboutDlg.h"

#include <algorithm>
#include <string>

#include <wx/button.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/statline.h>
#include <wx/stattext.h>

#include "res/Strings.h"
#include "res/Version.h"
#include "ui/AppIcon.h"

wxStaticText* CreateBoxText(wxWindow* pParent, const char* pszUtf8, int x, int y, int nWidth) {
    auto* pText = new wxStaticText(pParent, wxID_ANY, wxString::FromUTF8(pszUtf8), wxDLG_UNIT(pParent, wxPoint(x, y)),
                                   wxDLG_UNIT(pParent, wxSize(nWidth, 8)), wxST_NO_AUTORESIZE);
    const wxSize szText = pText->GetTextExtent(pText->GetLabel());
    const wxSize szBox = pText->GetSize();
    pText->SetSize(wxSize(std::max(szBox.x, szText.x), std::max(szBox.y, szText.y)));
    return pText;
}

CAboutDlg::CAboutDlg(wxWindow* pParent) {
    Create(pParent, IDD, wxString::FromUTF8(LoadText(IDS_ABOUT_CAPTION)), wxDefaultPosition, wxDefaultSize,
           wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    SetClientSize(wxDLG_UNIT(this, wxSize(235, 147)));
    auto Pos = [this](int x, int y) { return wxDLG_UNIT(this, wxPoint(x, y)); };
    auto Size = [this](int w, int h) { return wxDLG_UNIT(this, wxSize(w, h)); };
    auto Text = [this](const std::string& str, int x, int y, int w) { CreateBoxText(this, str.c_str(), x, y, w); };
    auto Line = [&Text](EStringId eId, int x, int y, int w) { Text(LoadText(eId), x, y, w); };

    // Template order. The icon keeps its own 32x32 pixels, as icon statics do.
    new wxStaticBitmap(this, wxID_ANY, LoadAppIcons().GetIcon(32), Pos(10, 17));
    // Template id 1 is the standard OK id.
    auto* pOK = new wxButton(this, wxID_OK, wxString::FromUTF8(LoadText(IDS_BOX_OK)), Pos(178, 20), Size(50, 14));
    Text(std::string(LoadText(IDS_ABOUT_VERSION)) + QUILLET_VERSION_SHORT, 39, 19, 74);
    Line(IDS_ABOUT_RIGHTS, 39, 31, 121);
    new wxStaticBox(this, wxID_ANY, wxString(), Pos(7, 48), Size(221, 88));
    Line(IDS_MAKER_LINE_1, 16, 61, 202);
    Line(IDS_MAKER_LINE_2, 16, 76, 201);
    Line(IDS_MAKER_LINE_3, 16, 91, 147);
    new wxStaticLine(this, wxID_ANY, Pos(13, 109), Size(208, 1), wxLI_HORIZONTAL);
    Line(IDS_HOMEPAGE_LINE, 16, 120, 150);

    pOK->SetDefault();
    pOK->SetFocus();
    CentreOnParent();
}
