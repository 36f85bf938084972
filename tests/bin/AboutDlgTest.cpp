// The About and information boxes: shown, every text whole, closed by a
// real Enter or Escape key from the X server.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <wx/button.h>
#include <wx/stattext.h>
#include <wx/uiaction.h>

#include "DialogDriver.h"
#include "ui/AboutDlg.h"
#include "ui/InfoDlg.h"

namespace {

std::vector<std::string> Labels(wxWindow& dlg) {
    std::vector<std::string> ar;
    for (wxWindow* pChild : dlg.GetChildren())
        if (dynamic_cast<wxStaticText*>(pChild))
            ar.push_back(std::string(pChild->GetLabel().utf8_str()));
    return ar;
}

// Opens the box, checks it, saves its picture when named, sends the key.
int RunBox(wxDialog& dlg, int nKey, const std::string& strShot, std::vector<std::string>* parLabels) {
    CDialogDriver driver(dlg, {
        [&] {
            *parLabels = Labels(dlg);
            ExpectTextsWhole(dlg);
            auto* pOK = dynamic_cast<wxButton*>(dlg.FindWindow(wxID_OK));
            ASSERT_NE(pOK, nullptr);
            EXPECT_EQ(pOK->GetLabel(), wxString::FromUTF8("확인"));
            EXPECT_EQ(dlg.GetDefaultItem(), pOK);
            if (!strShot.empty()) {
                EXPECT_TRUE(SaveWindowShot(&dlg, strShot));
            }
            // The key goes to the window with the input focus.
            dlg.Raise();
            pOK->SetFocus();
        },
        [] {},
        [nKey] {
            wxUIActionSimulator sim;
            sim.Char(nKey);
        },
    });
    return dlg.ShowModal();
}

TEST(AboutDlgTest, TheAboutBoxShowsItsTextsAndClosesWithEnterOrEscape) {
    std::vector<std::string> arFirst, arSecond;
    {
        CAboutDlg dlg(nullptr);
        EXPECT_EQ(dlg.GetTitle(), wxString::FromUTF8("Torvane Lite 정보"));
        EXPECT_EQ(dlg.GetId(), CAboutDlg::IDD);
        EXPECT_EQ(RunBox(dlg, WXK_RETURN, "about.png", &arFirst), wxID_OK);
    }
    ASSERT_EQ(arFirst.size(), 6u);
    EXPECT_EQ(arFirst[0], "Torvane Professional 버전 1.0");
    EXPECT_NE(arFirst[5].find("http://www.kestrum.example/"), std::string::npos);
    {
        // A second opening shows the same again.
        CAboutDlg dlg(nullptr);
        EXPECT_NE(RunBox(dlg, WXK_ESCAPE, "", &arSecond), DRIVER_TIMED_OUT);
    }
    EXPECT_EQ(arSecond, arFirst);
}

TEST(AboutDlgTest, TheInformationBoxShowsItsTextsAndClosesWithEnterOrEscape) {
    std::vector<std::string> arFirst, arSecond;
    {
        CInfoDlg dlg(nullptr);
        EXPECT_EQ(dlg.GetTitle(), "Torvane Professional");
        EXPECT_EQ(dlg.GetId(), CInfoDlg::IDD);
        EXPECT_EQ(RunBox(dlg, WXK_RETURN, "info.png", &arFirst), wxID_OK);
    }
    ASSERT_EQ(arFirst.size(), 8u);
    EXPECT_EQ(arFirst[0], "Torvane Professional  버전 1.0");
    EXPECT_NE(arFirst[3].find("(02-0000-0000)"), std::string::npos);
    {
        CInfoDlg dlg(nullptr);
        EXPECT_NE(RunBox(dlg, WXK_ESCAPE, "", &arSecond), DRIVER_TIMED_OUT);
    }
    EXPECT_EQ(arSecond, arFirst);
}

}  // namespace
