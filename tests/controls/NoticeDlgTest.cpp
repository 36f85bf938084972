// The notice box as a user meets it: shown modally, ticked, closed by a key.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include <wx/checkbox.h>
#include <wx/frame.h>
#include <wx/stattext.h>
#include <wx/timer.h>

#include "WindowPixels.h"
#include "ui/DisplayText.h"
#include "ui/NoticeDlg.h"

namespace {

// Runs a step once the box is on screen and painted, from inside its modal loop.
class CBoxDriver : public wxTimer {
public:
    CBoxDriver(wxDialog& dlg, std::function<void()> fnStep) : m_dlg(dlg), m_fnStep(std::move(fnStep)) {
        Start(50);
    }
    void Notify() override {
        if ((!m_dlg.IsShownOnScreen() || ++m_nShownTicks < 4) && ++m_nTicks < 100)
            return;
        Stop();
        m_fnStep();
    }

private:
    wxDialog& m_dlg;
    std::function<void()> m_fnStep;
    int m_nTicks = 0;
    int m_nShownTicks = 0;
};

void PostKey(wxDialog& dlg, int nKey) {
    wxKeyEvent event(wxEVT_CHAR_HOOK);
    event.m_keyCode = nKey;
    event.SetEventObject(&dlg);
    wxPostEvent(&dlg, event);
}

void Tick(wxDialog& dlg) {
    auto* pCheck = wxDynamicCast(dlg.FindWindow(CNoticeDlg::IDC_DONT_SHOW), wxCheckBox);
    ASSERT_NE(pCheck, nullptr);
    EXPECT_FALSE(pCheck->GetValue());
    pCheck->SetValue(true);
    wxCommandEvent event(wxEVT_CHECKBOX, CNoticeDlg::IDC_DONT_SHOW);
    event.SetInt(1);
    event.SetEventObject(pCheck);
    pCheck->GetEventHandler()->ProcessEvent(event);
}

wxStaticText* Text(wxDialog& dlg) {
    return wxDynamicCast(dlg.FindWindow(CNoticeDlg::IDC_NOTICE_TEXT), wxStaticText);
}

// The emblem's top-left pixel is white; (22, 0) and (23, 43) are red.
void ExpectEmblem(const wxImage& image, const char* pszWhen) {
    const wxColour clrFace = PixelAt(image, 3, 3);
    EXPECT_EQ(PixelAt(image, 15, 15), clrFace) << pszWhen;
    EXPECT_EQ(PixelAt(image, 15 + 22, 15), wxColour(0xD7, 0x19, 0x20)) << pszWhen;
    EXPECT_EQ(PixelAt(image, 15 + 23, 15 + 43), wxColour(0xD7, 0x19, 0x20)) << pszWhen;
}

}  // namespace

TEST(NoticeDlgTest, EnterWithTheBoxTickedReportsIt) {
    CNoticeDlg dlg(nullptr, "/tmp/samples/infected.exe\nRepair is done.");
    bool bChecked = false;
    CBoxDriver driver(dlg, [&] {
        // Two lines inside control 216, the path first.
        wxStaticText* pText = Text(dlg);
        ASSERT_NE(pText, nullptr);
        EXPECT_EQ(pText->GetLabel(), "/tmp/samples/infected.exe\nRepair is done.");
        EXPECT_EQ(dlg.GetTitle(), "Torvane Professional");

        wxImage image = GrabClientArea(&dlg);
        ExpectEmblem(image, "first paint");
        // Covered by another window and uncovered: the emblem is drawn again.
        auto* pCover = new wxFrame(nullptr, wxID_ANY, "cover", dlg.GetScreenPosition(), dlg.GetSize(),
                                   wxFRAME_NO_TASKBAR | wxBORDER_NONE);
        pCover->SetBackgroundColour(*wxBLACK);
        pCover->Show();
        PumpEvents(200);
        EXPECT_NE(PixelAt(GrabClientArea(&dlg), 15 + 22, 15), wxColour(0xD7, 0x19, 0x20)) << "covered";
        pCover->Destroy();
        PumpEvents(300);
        ExpectEmblem(GrabClientArea(&dlg), "after uncovering");

        Tick(dlg);
        bChecked = true;
        // Long enough for the tick's own animation to end.
        PumpEvents(500);
        EXPECT_TRUE(SaveScreenshot(GrabClientArea(&dlg), "notice_box.png"));
        PostKey(dlg, WXK_RETURN);
    });
    EXPECT_EQ(dlg.ShowModal(), wxID_OK);
    EXPECT_TRUE(bChecked);
    EXPECT_TRUE(dlg.m_bDontShow);
}

TEST(NoticeDlgTest, EscapeOrCloseBoxLeaveItClear) {
    CNoticeDlg dlg(nullptr);
    dlg.m_strMessage = "/tmp/a.exe\nThis file is unrepairable.";
    CBoxDriver driver(dlg, [&] {
        Tick(dlg);
        PostKey(dlg, WXK_ESCAPE);
    });
    EXPECT_EQ(dlg.ShowModal(), wxID_CANCEL);
    EXPECT_FALSE(dlg.m_bDontShow);

    // The same box again starts clear; the title bar's close box cancels too.
    CBoxDriver driver2(dlg, [&] {
        Tick(dlg);
        dlg.Close();
    });
    EXPECT_EQ(dlg.ShowModal(), wxID_CANCEL);
    EXPECT_FALSE(dlg.m_bDontShow);

    // Enter without a tick, through the caller's one-call form.
    struct CEnterWhenShown : wxTimer {
        void Notify() override {
            for (wxWindow* pWin : wxTopLevelWindows)
                if (auto* pBox = dynamic_cast<CNoticeDlg*>(pWin); pBox && pBox->IsShownOnScreen()) {
                    Stop();
                    PostKey(*pBox, WXK_RETURN);
                    return;
                }
        }
    } enter;
    enter.Start(50);
    bool bDontShow = true;
    EXPECT_TRUE(CNoticeDlg::ShowNotice(nullptr, "/tmp/b.exe\nRepair is done.", &bDontShow));
    EXPECT_FALSE(bDontShow);
}

TEST(NoticeDlgTest, LongPathWrapsInsideTheBoxAndKeepsTheNotice) {
    // Deep enough to need more lines than the template's text box holds.
    std::string strPath = "/home/someone/Downloads";
    for (int i = 0; i < 6; ++i)
        strPath += "/archive-of-old-projects-" + std::to_string(2019 + i);
    strPath += "/setup-program-version-2.exe";
    CNoticeDlg dlg(nullptr, strPath + "\nRepair the virus after decompression. & more");
    CBoxDriver driver(dlg, [&] {
        wxStaticText* pText = Text(dlg);
        ASSERT_NE(pText, nullptr);
        const wxString strShown = pText->GetLabelText();
        // Every line fits the control's width; the notice is the last line,
        // its ampersand shown as itself.
        wxArrayString arLines = wxSplit(strShown, '\n', 0);
        ASSERT_GE(arLines.size(), 3u);
        for (const wxString& strLine : arLines)
            EXPECT_LE(pText->GetTextExtent(strLine).x, pText->GetSize().x) << strLine;
        EXPECT_TRUE(strShown.EndsWith("& more"));
        wxString strJoined = strShown;
        strJoined.Replace("\n", "");
        EXPECT_TRUE(strJoined.StartsWith(ToDisplay(strPath)));
        // The box grew so that all lines are inside the text control, and
        // the OK button and the check box stay below it.
        const int nNeeded = pText->GetCharHeight() * static_cast<int>(arLines.size());
        EXPECT_GE(pText->GetSize().y, nNeeded);
        EXPECT_GT(dlg.GetClientSize().y, dlg.ConvertDialogToPixels(wxSize(235, 69)).y);
        wxWindow* pOK = dlg.FindWindow(wxID_OK);
        wxWindow* pCheck = dlg.FindWindow(CNoticeDlg::IDC_DONT_SHOW);
        EXPECT_GE(pCheck->GetPosition().y, pText->GetRect().GetBottom());
        EXPECT_LE(pOK->GetRect().GetBottom(), dlg.GetClientSize().y);
        EXPECT_TRUE(SaveScreenshot(GrabClientArea(&dlg), "notice_box_long_path.png"));
        PostKey(dlg, WXK_ESCAPE);
    });
    EXPECT_EQ(dlg.ShowModal(), wxID_CANCEL);
}
