#include "app/AboutDlg.h"

#include <algorithm>
#include <string>

#include <wx/button.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/statline.h>
#include <wx/stattext.h>

#include "app/AppIcon.h"
#include "res/Version.h"

const char* const g_szAboutRights = "Copyright (C) 2001 Kestrum. 모든 권리 보유.";
const char* const g_arszMakerLines[3] = {
    "Kestrum은 안티바이러스 소프트웨어를 개발하고,",
    "사용자 실수나 바이러스로 손상된 시스템과 데이터를",
    "복구하며, 기술 지원 서비스를 제공합니다.",
};
const char* const g_szHomePageLine = "Kestrum 홈페이지: http://www.kestrum.example/";

wxStaticText* CreateBoxText(wxWindow* pParent, const char* pszUtf8, int x, int y, int nWidth) {
    auto* pText = new wxStaticText(pParent, wxID_ANY, wxString::FromUTF8(pszUtf8), wxDLG_UNIT(pParent, wxPoint(x, y)),
                                   wxDLG_UNIT(pParent, wxSize(nWidth, 8)), wxST_NO_AUTORESIZE);
    const wxSize szText = pText->GetTextExtent(pText->GetLabel());
    const wxSize szBox = pText->GetSize();
    pText->SetSize(wxSize(std::max(szBox.x, szText.x), std::max(szBox.y, szText.y)));
    return pText;
}

CAboutDlg::CAboutDlg(wxWindow* pParent) {
    Create(pParent, IDD, wxString::FromUTF8("Torvane Lite 정보"), wxDefaultPosition, wxDefaultSize,
           wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    SetClientSize(wxDLG_UNIT(this, wxSize(235, 147)));
    auto Pos = [this](int x, int y) { return wxDLG_UNIT(this, wxPoint(x, y)); };
    auto Size = [this](int w, int h) { return wxDLG_UNIT(this, wxSize(w, h)); };
    auto Text = [this](const std::string& str, int x, int y, int w) { CreateBoxText(this, str.c_str(), x, y, w); };

    // Template order. The icon keeps its own 32x32 pixels, as icon statics do.
    new wxStaticBitmap(this, wxID_ANY, LoadAppIcons().GetIcon(32), Pos(10, 17));
    // Template id 1 is the standard OK id.
    auto* pOK = new wxButton(this, wxID_OK, wxString::FromUTF8("확인"), Pos(178, 20), Size(50, 14));
    Text(std::string("Torvane Professional 버전 ") + QUILLET_VERSION_SHORT, 39, 19, 74);
    Text(g_szAboutRights, 39, 31, 121);
    new wxStaticBox(this, wxID_ANY, wxString(), Pos(7, 48), Size(221, 88));
    Text(g_arszMakerLines[0], 16, 61, 202);
    Text(g_arszMakerLines[1], 16, 76, 201);
    Text(g_arszMakerLines[2], 16, 91, 147);
    new wxStaticLine(this, wxID_ANY, Pos(13, 109), Size(208, 1), wxLI_HORIZONTAL);
    Text(g_szHomePageLine, 16, 120, 150);

    pOK->SetDefault();
    pOK->SetFocus();
    CentreOnParent();
}
