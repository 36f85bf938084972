#include "app/InfoDlg.h"

#include <string>

#include <wx/button.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/statline.h>

#include "app/AboutDlg.h"
#include "app/AppIcon.h"
#include "res/Version.h"

const char* const g_arszContactLines[2] = {
    "이 프로그램을 사용하는 기업, 관공서, 학교에서는",
    "Kestrum으로 연락해 주시기 바랍니다. (02-0000-0000)",
};

CInfoDlg::CInfoDlg(wxWindow* pParent) {
    Create(pParent, IDD, "Torvane Professional", wxDefaultPosition, wxDefaultSize,
           wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    SetClientSize(wxDLG_UNIT(this, wxSize(235, 175)));
    auto Pos = [this](int x, int y) { return wxDLG_UNIT(this, wxPoint(x, y)); };
    auto Size = [this](int w, int h) { return wxDLG_UNIT(this, wxSize(w, h)); };
    auto Text = [this](const std::string& str, int x, int y, int w) { CreateBoxText(this, str.c_str(), x, y, w); };

    // Template order. The icon keeps its own 32x32 pixels, as icon statics do.
    new wxStaticBitmap(this, wxID_ANY, LoadAppIcons().GetIcon(32), Pos(10, 15));
    // Template id 1 is the standard OK id.
    auto* pOK = new wxButton(this, wxID_OK, wxString::FromUTF8("확인"), Pos(178, 16), Size(50, 16));
    // Two blanks before the version word, as this box has always had them.
    Text(std::string("Torvane Professional  버전 ") + QUILLET_VERSION_SHORT, 41, 17, 76);
    Text(g_szAboutRights, 41, 29, 121);
    Text(g_arszContactLines[0], 17, 50, 200);
    Text(g_arszContactLines[1], 17, 62, 204);
    new wxStaticBox(this, wxID_ANY, wxString(), Pos(7, 73), Size(221, 88));
    Text(g_arszMakerLines[0], 17, 87, 202);
    Text(g_arszMakerLines[1], 17, 102, 201);
    Text(g_arszMakerLines[2], 17, 117, 166);
    new wxStaticLine(this, wxID_ANY, Pos(13, 134), Size(208, 1), wxLI_HORIZONTAL);
    Text(g_szHomePageLine, 17, 145, 150);

    pOK->SetDefault();
    pOK->SetFocus();
    CentreOnParent();
}
