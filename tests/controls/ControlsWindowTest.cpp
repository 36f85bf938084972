// The controls as the toolkit draws them and routes their events.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <wx/dcmemory.h>
#include <wx/dcps.h>
#include <wx/filename.h>
#include <wx/frame.h>
#include <wx/log.h>
#include <wx/panel.h>
#include <wx/settings.h>
#include <wx/uiaction.h>

#include "WindowPixels.h"
#include "controls/TransparentBlit.h"
#include "ui/LinkLabel.h"
#include "ui/MemDC.h"
#include "ui/ResourceImages.h"
#include "ui/SkinButton.h"
#include "ui/TipListCtrl.h"
#include "ui/TransparentBitmap.h"

namespace {

uint32_t Rgb(const wxColour& clr) { return PackRgb(clr.Red(), clr.Green(), clr.Blue()); }

CPixelBuffer ToPixels(const wxImage& image) {
    CPixelBuffer pixels(image.GetWidth(), image.GetHeight());
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            pixels.At(x, y) = PackRgb(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
    return pixels;
}

// A frame that counts the skin button's clicks as a dialog would.
class CClickFrame : public wxFrame {
public:
    enum { IDC_SKIN = 239 };
    CClickFrame() : wxFrame(nullptr, wxID_ANY, "Quillet controls", wxPoint(40, 40), wxSize(420, 320)) {}
    int m_nClicks = 0;

private:
    void OnSkin(wxCommandEvent&) { ++m_nClicks; }
    wxDECLARE_EVENT_TABLE();
};

wxBEGIN_EVENT_TABLE(CClickFrame, wxFrame)
    EVT_BUTTON(CClickFrame::IDC_SKIN, CClickFrame::OnSkin)
wxEND_EVENT_TABLE()

void SendMouse(wxWindow* pWindow, wxEventType nType, wxPoint pt, bool bLeftDown = false) {
    wxMouseEvent event(nType);
    event.SetPosition(pt);
    event.m_leftDown = bLeftDown;
    event.SetEventObject(pWindow);
    pWindow->GetEventHandler()->ProcessEvent(event);
}

wxImage Render(CSkinButton* pButton) {
    const wxSize sz = pButton->GetClientSize();
    wxBitmap bmp(sz.x, sz.y, 24);
    {
        wxMemoryDC dc(bmp);
        pButton->DrawFrame(dc);
    }
    return bmp.ConvertToImage();
}

wxImage Scaled(const wxImage& image, int nFactor) {
    return image.Scale(image.GetWidth() * nFactor, image.GetHeight() * nFactor, wxIMAGE_QUALITY_NEAREST);
}

}  // namespace

TEST(TransparentBitmapWindowTest, EmblemDrawnWithItsWhiteLeftOut) {
    CTransparentBitmap bmpEmblem;
    ASSERT_TRUE(bmpEmblem.LoadBitmap(IDB_EMBLEM));
    EXPECT_EQ(bmpEmblem.GetWidth(), 49);
    EXPECT_EQ(bmpEmblem.GetHeight(), 45);
    // The other images keep their sizes too.
    EXPECT_EQ(LoadBitmapResource(IDB_LIST_CHECKS).GetSize(), wxSize(32, 16));
    EXPECT_EQ(LoadIconResource(IDI_INFO).GetSize(), wxSize(32, 32));
    EXPECT_EQ(LoadIconResource(IDI_INFO, 16).GetSize(), wxSize(16, 16));

    const wxColour clrBack(0, 128, 192);
    wxBitmap bmpTarget(80, 75, 24);
    {
        wxMemoryDC dc(bmpTarget);
        dc.SetBackground(wxBrush(clrBack));
        dc.Clear();
        dc.SetTextForeground(wxColour(1, 2, 3));
        dc.SetTextBackground(wxColour(4, 5, 6));
        bmpEmblem.DrawTransparent(dc, 15, 15, *wxWHITE);
        // Twice: the second paint uses the kept masked copy.
        bmpEmblem.DrawTransparent(dc, 15, 15, *wxWHITE);
        EXPECT_EQ(dc.GetTextForeground(), wxColour(1, 2, 3));
        EXPECT_EQ(dc.GetTextBackground(), wxColour(4, 5, 6));
    }
    const wxImage image = bmpTarget.ConvertToImage();

    // Pixel for pixel what the three-operation rule gives.
    CPixelBuffer want(80, 75, Rgb(clrBack));
    const CPixelBuffer emblem = ToPixels(bmpEmblem.ConvertToImage());
    DrawTransparentPixels(want, 15, 15, emblem, kRgbWhite);
    int nWrong = 0, nBackInside = 0, nEmblem = 0;
    for (int y = 0; y < 75; ++y)
        for (int x = 0; x < 80; ++x) {
            uint32_t clr = Rgb(PixelAt(image, x, y));
            nWrong += clr != want.At(x, y);
            bool bInside = x >= 15 && x < 64 && y >= 15 && y < 60;
            nBackInside += bInside && clr == Rgb(clrBack);
            nEmblem += bInside && clr != Rgb(clrBack);
            EXPECT_NE(clr, kRgbWhite) << x << "," << y;
        }
    EXPECT_EQ(nWrong, 0);
    // Both the see-through white and the emblem itself are there.
    EXPECT_GT(nBackInside, 400);
    EXPECT_GT(nEmblem, 400);
    EXPECT_EQ(PixelAt(image, 15 + 22, 15 + 0), wxColour(0xD7, 0x19, 0x20));

    // Nothing loaded: nothing drawn, the colours still put back.
    CTransparentBitmap bmpNone;
    wxBitmap bmpPlain(10, 10, 24);
    wxMemoryDC dc(bmpPlain);
    dc.SetTextForeground(wxColour(7, 8, 9));
    bmpNone.DrawTransparent(dc, 0, 0, *wxWHITE);
    EXPECT_EQ(dc.GetTextForeground(), wxColour(7, 8, 9));
}

TEST(MemDCWindowTest, ClipBoxAwayFromTheOriginLandsInPlace) {
    wxBitmap bmpTarget(60, 60, 24);
    {
        wxMemoryDC dc(bmpTarget);
        dc.SetBackground(*wxWHITE_BRUSH);
        dc.Clear();
        dc.SetClippingRegion(20, 10, 30, 25);
        CMemDC dcMem(dc);
        EXPECT_TRUE(dcMem.IsActive());
        EXPECT_EQ(dcMem.GetArea(), wxRect(20, 10, 30, 25));
        dcMem->SetPen(*wxTRANSPARENT_PEN);
        // Painting beyond the area reaches nothing outside it.
        dcMem->SetBrush(*wxRED_BRUSH);
        dcMem->DrawRectangle(0, 0, 60, 60);
        dcMem->SetBrush(*wxBLUE_BRUSH);
        dcMem->DrawRectangle(25, 15, 5, 5);
    }
    const wxImage image = bmpTarget.ConvertToImage();
    EXPECT_EQ(PixelAt(image, 25, 15), *wxBLUE);
    EXPECT_EQ(PixelAt(image, 29, 19), *wxBLUE);
    EXPECT_EQ(PixelAt(image, 30, 20), *wxRED);
    EXPECT_EQ(PixelAt(image, 20, 10), *wxRED);
    EXPECT_EQ(PixelAt(image, 49, 34), *wxRED);
    EXPECT_EQ(PixelAt(image, 50, 34), *wxWHITE);
    EXPECT_EQ(PixelAt(image, 49, 35), *wxWHITE);
    EXPECT_EQ(PixelAt(image, 19, 10), *wxWHITE);
    EXPECT_EQ(PixelAt(image, 20, 9), *wxWHITE);
}

TEST(MemDCWindowTest, PrintingTargetIsDrawnStraight) {
    // The printer's font metrics files may be missing; that is not our concern.
    wxLogNull noLog;
    const wxString strFile = wxFileName::CreateTempFileName("quillet-memdc");
    {
        wxPrintData data;
        data.SetFilename(strFile);
        data.SetPrintMode(wxPRINT_MODE_FILE);
        wxPostScriptDC dcPrint(data);
        ASSERT_TRUE(dcPrint.IsOk());
        ASSERT_TRUE(dcPrint.StartDoc("memdc"));
        dcPrint.StartPage();
        {
            CMemDC dcMem(dcPrint);
            EXPECT_FALSE(dcMem.IsActive());
            EXPECT_EQ(&dcMem.GetDC(), static_cast<wxDC*>(&dcPrint));
            dcMem->DrawRectangle(10, 10, 40, 20);
        }
        // The printer context is still its owner's to use.
        EXPECT_TRUE(dcPrint.IsOk());
        dcPrint.SetFont(*wxNORMAL_FONT);
        dcPrint.DrawText("after", 10, 40);
        dcPrint.EndPage();
        dcPrint.EndDoc();
    }
    wxFileName file(strFile);
    EXPECT_GT(file.GetSize().GetValue(), 0u);
    std::remove(strFile.utf8_str());
}

TEST(SkinButtonWindowTest, BorderPixelsHotAndPressedAndClick) {
    const wxColour clrFace = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
    const wxColour clrLight = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNHIGHLIGHT);
    const wxColour clrShadow = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW);
    ASSERT_NE(clrLight, clrShadow);

    auto* pFrame = new CClickFrame();
    auto* pButton = new CSkinButton(pFrame, CClickFrame::IDC_SKIN, "&Info", wxPoint(10, 10), wxSize(96, 40));
    pButton->SetIcons(IDI_INFO, 0, 32, 32);
    // The main dialog's look: no caption, an icon box wider than the button.
    auto* pSmall = new CSkinButton(pFrame, wxID_ANY, wxString(), wxPoint(120, 10), wxSize(26, 26));
    pSmall->SetIcons(IDI_INFO, 0, 32, 32);
    pFrame->Show();
    PumpEvents(300);
    const int w = 96, h = 40;

    const wxImage imgNormal = Render(pButton);
    EXPECT_EQ(PixelAt(imgNormal, 0, 0), clrFace);
    EXPECT_EQ(PixelAt(imgNormal, w - 1, h - 1), clrFace);

    SendMouse(pButton, wxEVT_MOTION, wxPoint(50, 20));
    EXPECT_TRUE(pButton->IsHot());
    EXPECT_TRUE(pButton->HasCapture());
    const wxImage imgHot = Render(pButton);
    // Raised: light left and top, shadow bottom and right with both corners
    // the strokes share.
    EXPECT_EQ(PixelAt(imgHot, 0, 0), clrLight);
    EXPECT_EQ(PixelAt(imgHot, w - 2, 0), clrLight);
    EXPECT_EQ(PixelAt(imgHot, 0, h - 2), clrLight);
    EXPECT_EQ(PixelAt(imgHot, w - 1, 0), clrShadow);
    EXPECT_EQ(PixelAt(imgHot, 0, h - 1), clrShadow);
    EXPECT_EQ(PixelAt(imgHot, w - 1, h - 1), clrShadow);
    EXPECT_EQ(PixelAt(imgHot, w / 2, h - 1), clrShadow);
    EXPECT_EQ(PixelAt(imgHot, w - 1, h / 2), clrShadow);
    EXPECT_EQ(PixelAt(imgHot, 1, 1), clrFace);
    // The real paint, through the off-screen copy, puts the same frame on
    // the screen.
    pButton->Refresh();
    PumpEvents(150);
    const wxImage imgScreen = GrabClientArea(pButton);
    int nBorderDiff = 0;
    for (int x = 0; x < w; ++x)
        nBorderDiff += (PixelAt(imgScreen, x, 0) != PixelAt(imgHot, x, 0)) +
                       (PixelAt(imgScreen, x, h - 1) != PixelAt(imgHot, x, h - 1));
    for (int y = 0; y < h; ++y)
        nBorderDiff += (PixelAt(imgScreen, 0, y) != PixelAt(imgHot, 0, y)) +
                       (PixelAt(imgScreen, w - 1, y) != PixelAt(imgHot, w - 1, y));
    EXPECT_EQ(nBorderDiff, 0);

    SendMouse(pButton, wxEVT_LEFT_DOWN, wxPoint(50, 20), true);
    EXPECT_TRUE(pButton->IsPressed());
    const wxImage imgPressed = Render(pButton);
    // Sunken: the same strokes with the pens swapped.
    EXPECT_EQ(PixelAt(imgPressed, 0, 0), clrShadow);
    EXPECT_EQ(PixelAt(imgPressed, w - 2, 0), clrShadow);
    EXPECT_EQ(PixelAt(imgPressed, 0, h - 2), clrShadow);
    EXPECT_EQ(PixelAt(imgPressed, w - 1, 0), clrLight);
    EXPECT_EQ(PixelAt(imgPressed, 0, h - 1), clrLight);
    EXPECT_EQ(PixelAt(imgPressed, w - 1, h - 1), clrLight);
    // The icon moves one pixel right and down when pressed: it stands at
    // (3, 4) in the hot look and at (4, 5) pressed.
    int nIconDiff = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            nIconDiff += PixelAt(imgHot, 3 + x, 4 + y) != PixelAt(imgPressed, 4 + x, 5 + y);
    EXPECT_EQ(nIconDiff, 0);
    int nMoved = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            nMoved += PixelAt(imgHot, 3 + x, 4 + y) != PixelAt(imgPressed, 3 + x, 4 + y);
    EXPECT_GT(nMoved, 20);

    // Release over it: one click to the dialog, still drawn hot, capture gone.
    SendMouse(pButton, wxEVT_LEFT_UP, wxPoint(50, 20));
    EXPECT_EQ(pFrame->m_nClicks, 1);
    EXPECT_FALSE(pButton->IsPressed());
    EXPECT_TRUE(pButton->IsHot());
    EXPECT_FALSE(pButton->HasCapture());
    // Moving over it takes the capture again; leaving clears the look.
    SendMouse(pButton, wxEVT_MOTION, wxPoint(52, 20));
    EXPECT_TRUE(pButton->HasCapture());
    SendMouse(pButton, wxEVT_MOTION, wxPoint(w + 5, 20));
    EXPECT_FALSE(pButton->IsHot());
    EXPECT_FALSE(pButton->HasCapture());
    EXPECT_EQ(PixelAt(Render(pButton), 0, 0), clrFace);

    // Pictures for review: normal, hot, pressed, and the captionless button.
    SendMouse(pSmall, wxEVT_MOTION, wxPoint(5, 5));
    const wxImage imgSmall = Render(pSmall);
    SendMouse(pSmall, wxEVT_MOTION, wxPoint(-5, -5));
    wxImage imgSheet(3 * (w + 8) + 26 + 8, h + 8);
    imgSheet.SetRGB(wxRect(0, 0, imgSheet.GetWidth(), imgSheet.GetHeight()), 128, 128, 128);
    imgSheet.Paste(imgNormal, 4, 4);
    imgSheet.Paste(imgHot, w + 12, 4);
    imgSheet.Paste(imgPressed, 2 * (w + 8) + 4, 4);
    imgSheet.Paste(imgSmall, 3 * (w + 8) + 4, 4);
    EXPECT_TRUE(SaveScreenshot(imgSheet, "skin_button.png"));
    EXPECT_TRUE(SaveScreenshot(Scaled(imgSheet, 4), "skin_button_x4.png"));
    pFrame->Destroy();
    PumpEvents(50);
}

TEST(TipListWindowTest, TipNamesTheCellUnderTheMouse) {
    auto* pFrame = new wxFrame(nullptr, wxID_ANY, "Quillet list", wxPoint(40, 40), wxSize(420, 300));
    auto* pList = new CTipListCtrl(pFrame, 231, wxPoint(0, 0), wxSize(400, 150), wxLC_REPORT);
    pList->InsertColumn(0, "Num", wxLIST_FORMAT_LEFT, 40);
    pList->InsertColumn(1, "Source", wxLIST_FORMAT_LEFT, 120);
    pList->InsertColumn(2, "Folder", wxLIST_FORMAT_LEFT, 200);
    pList->InsertColumn(3, "Entry", wxLIST_FORMAT_LEFT, 0);
    auto addRow = [&](int nRow) {
        std::string strNum = std::to_string(nRow + 1);
        EXPECT_TRUE(pList->AddItem(strNum, nRow, 0));
        EXPECT_TRUE(pList->AddItem("row" + strNum + "-" + std::string(100, 'n'), nRow, 1));
        EXPECT_TRUE(pList->AddItem("/srv/share", nRow, 2));
        EXPECT_TRUE(pList->AddItem("00000001.exe", nRow, 3));
    };
    for (int i = 0; i < 3; ++i)
        addRow(i);
    // Column 0 then 1 to 3 make one row of four cells.
    EXPECT_EQ(pList->GetItemCount(), 3);
    EXPECT_EQ(pList->GetItemText(2, 3), "00000001.exe");
    EXPECT_FALSE(pList->AddItem("x", 7, 1));
    pFrame->Show();
    PumpEvents(300);

    wxWindow* pRows = pList->GetRowsWindow();
    wxRect rcRow;
    ASSERT_TRUE(pList->GetItemRect(0, rcRow));
    const int nRowHeight = rcRow.height;
    // Points in the rows window's own coordinates, where the mouse events
    // arrive; row n of those shown is n row heights down.
    auto hover = [&](int x, int y) {
        SendMouse(pRows, wxEVT_MOTION, wxPoint(x, y));
        return pRows->GetToolTipText();
    };

    wxString strTip = hover(100, nRowHeight / 2);
    EXPECT_EQ(strTip, wxString("row1-" + std::string(74, 'n')));
    EXPECT_EQ(strTip.length(), 79u);
    EXPECT_EQ(pList->GetShownTip(), TipIdFromCell(0, 1));
    EXPECT_EQ(hover(100, nRowHeight + nRowHeight / 2), wxString("row2-" + std::string(74, 'n')));
    EXPECT_EQ(hover(10, nRowHeight / 2), "1");
    EXPECT_EQ(hover(200, nRowHeight / 2), "/srv/share");
    // Below the last row there is no tip.
    EXPECT_EQ(hover(100, 3 * nRowHeight + nRowHeight / 2), "");
    EXPECT_EQ(pList->GetShownTip(), 0u);

    // Scrolled: the rows tested are those shown, named by their real index.
    for (int i = 3; i < 40; ++i)
        addRow(i);
    pList->EnsureVisible(35);
    PumpEvents(100);
    const long nTop = pList->GetTopItem();
    ASSERT_GT(nTop, 0);
    strTip = hover(100, nRowHeight / 2);
    EXPECT_EQ(strTip, wxString("row" + std::to_string(nTop + 1) + "-").Append('n', 79 - 4 - std::to_string(nTop + 1).size()));
    EXPECT_EQ(pList->GetShownTip(), TipIdFromCell(static_cast<int>(nTop), 1));
    SendMouse(pRows, wxEVT_LEAVE_WINDOW, wxPoint(-1, -1));
    EXPECT_EQ(pList->GetShownTip(), 0u);
    pFrame->Destroy();
    PumpEvents(50);
}

TEST(TipListWindowTest, TipIsReadAfreshWhenTheCellChangesUnderThePointer) {
    auto* pFrame = new wxFrame(nullptr, wxID_ANY, "Quillet list", wxPoint(40, 40), wxSize(420, 300));
    auto* pList = new CTipListCtrl(pFrame, 231, wxPoint(0, 0), wxSize(400, 150), wxLC_REPORT);
    pList->InsertColumn(0, "Num", wxLIST_FORMAT_LEFT, 40);
    pList->InsertColumn(1, "Status", wxLIST_FORMAT_LEFT, 200);
    EXPECT_TRUE(pList->AddItem("1", 0, 0));
    EXPECT_TRUE(pList->AddItem("Infected", 0, 1));
    pFrame->Show();
    PumpEvents(300);

    wxWindow* pRows = pList->GetRowsWindow();
    wxRect rcRow;
    ASSERT_TRUE(pList->GetItemRect(0, rcRow));
    // The real pointer, over the status cell, then a pixel on in it.
    const wxPoint ptCell = pRows->ClientToScreen(wxPoint(100, rcRow.height / 2));
    wxUIActionSimulator sim;
    sim.MouseMove(ptCell);
    PumpEvents(100);
    ASSERT_EQ(pList->GetShownTip(), TipIdFromCell(0, 1));
    EXPECT_EQ(pRows->GetToolTipText(), "Infected");
    // A repair rewrites the row while the pointer stays on it.
    EXPECT_TRUE(pList->AddItem("Repaired", 0, 1));
    sim.MouseMove(ptCell + wxPoint(1, 0));
    PumpEvents(100);
    EXPECT_EQ(pList->GetShownTip(), TipIdFromCell(0, 1));
    EXPECT_EQ(pRows->GetToolTipText(), "Repaired");
    pFrame->Destroy();
    PumpEvents(50);
}

TEST(LinkLabelWindowTest, OwnColourAndWeightWithoutABoxOfItsOwn) {
    auto* pFrame = new wxFrame(nullptr, wxID_ANY, "Quillet label", wxPoint(40, 40), wxSize(300, 120));
    auto* pPanel = new wxPanel(pFrame);
    const wxColour clrFace(200, 220, 240);
    pPanel->SetBackgroundColour(clrFace);
    auto* pLabel = new CLinkLabel(pPanel, 227, "http://www.kestrum.com", wxPoint(10, 10), wxSize(260, 30));
    // Bold and back to normal: weight 400 whatever the stock font had.
    pLabel->SetBold(true);
    EXPECT_EQ(pLabel->GetFont().GetNumericWeight(), 700);
    pLabel->SetBold(false);
    EXPECT_EQ(pLabel->GetFont().GetNumericWeight(), 400);
    pFrame->Show();
    PumpEvents(300);

    // Blue is 0x00FF0000 as a colour value, and it shows at once.
    pLabel->SetTextColor(wxColour(0x00FF0000ul));
    EXPECT_EQ(pLabel->GetTextColor(), wxColour(0, 0, 255));
    const wxImage image = GrabClientArea(pLabel);
    int nBlue = 0, nFace = 0, nOther = 0;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x) {
            wxColour clr = PixelAt(image, x, y);
            if (clr == clrFace)
                ++nFace;
            else if (clr.Blue() > 128 && clr.Red() < clr.Blue() && clr.Green() < clr.Blue())
                ++nBlue;
            else
                ++nOther;
        }
    EXPECT_GT(nBlue, 30);
    // The face shows between and around the letters: no opaque box.
    EXPECT_GT(nFace, image.GetWidth() * image.GetHeight() / 2);
    EXPECT_EQ(nOther, 0);
    pFrame->Destroy();
    PumpEvents(50);
}
