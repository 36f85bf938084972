#include "ui/InfoDlg.h"

#include <algorithm>
#include <string>

#include <wx/button.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/statline.h>
#include <wx/stattext.h>

#include "res/Strings.h"
#include "res/Version.h"
#include "ui/AboutDlg.h"
#include "ui/AppIcon.h"
#include "ui/DisplayText.h"

CInfoDlg::CInfoDlg(wxWindow* pParent, const std::vector<std::string>& arSignatures) {
    Create(pParent, IDD, wxString::FromUTF8(LoadText(IDS_PRODUCT_CAPTION)), wxDefaultPosition, wxDefaultSize,
           wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    SetClientSize(wxDLG_UNIT(this, wxSize(235, 175)));
    auto Pos = [this](int x, int y) { return wxDLG_UNIT(this, wxPoint(x, y)); };
    auto Size = [this](int w, int h) { return wxDLG_UNIT(this, wxSize(w, h)); };
    auto Text = [this](const std::string& str, int x, int y, int w) { CreateBoxText(this, str.c_str(), x, y, w); };
    auto Line = [&Text](EStringId eId, int x, int y, int w) { Text(LoadText(eId), x, y, w); };

    // Template order. The icon keeps its own 32x32 pixels, as icon statics do.
    new wxStaticBitmap(this, wxID_ANY, LoadAppIcons().GetIcon(32), Pos(10, 15));
    // Template id 1 is the standard OK id.
    auto* pOK = new wxButton(this, wxID_OK, wxString::FromUTF8(LoadText(IDS_BOX_OK)), Pos(178, 16), Size(50, 16));
    Text(std::string(LoadText(IDS_INFO_VERSION)) + QUILLET_VERSION_SHORT, 41, 17, 76);
    Line(IDS_ABOUT_RIGHTS, 41, 29, 121);
    Line(IDS_CONTACT_LINE_1, 17, 50, 200);
    Line(IDS_CONTACT_LINE_2, 17, 62, 204);
    new wxStaticBox(this, wxID_ANY, wxString(), Pos(7, 73), Size(221, 88));
    Line(IDS_MAKER_LINE_1, 17, 87, 202);
    Line(IDS_MAKER_LINE_2, 17, 102, 201);
    Line(IDS_MAKER_LINE_3, 17, 117, 166);
    new wxStaticLine(this, wxID_ANY, Pos(13, 134), Size(208, 1), wxLI_HORIZONTAL);
    Line(IDS_HOMEPAGE_LINE, 17, 145, 150);
    if (!arSignatures.empty()) {
        // Below the template, one line a database; the box grows to hold them.
        std::string strText = LoadText(IDS_SIG_INFO_HEADING);
        for (const std::string& strLine : arSignatures)
            strText += "\n" + strLine;
        auto* pSignatures = new wxStaticText(this, wxID_ANY, ToDisplay(strText), Pos(17, 160));
        const wxSize best = pSignatures->GetBestSize();
        const wxSize client = GetClientSize();
        SetClientSize(wxSize(std::max(client.x, pSignatures->GetPosition().x + best.x + Pos(17, 0).x),
                             pSignatures->GetPosition().y + best.y + Pos(0, 8).y));
    }

    pOK->SetDefault();
    pOK->SetFocus();
    CentreOnParent();
}
