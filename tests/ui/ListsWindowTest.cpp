// The results dialog and the Backup Bin on whatever desktop look the test
// runs under (QUILLET_TEST_LOOK names it: light, dark, contrast, scale2):
// they grow with their lists, the file's name shows on every row, a click
// on a header orders the list, and their texts read on the theme's face.
// Each dialog, the main one too, leaves a screenshot per look.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/stattext.h>
#include <wx/uiaction.h>

#include "controls/ThemeColours.h"
#include "controls/WindowPixels.h"
#include "fakes/TempDir.h"
#include "fakes/WriteNumbered.h"
#include "platform/BackupStore.h"
#include "tools/samples/SampleWriter.h"
#include "ui/BackupBinDlg.h"
#include "ui/LinkLabel.h"
#include "ui/MainDlg.h"
#include "ui/MessageBox.h"
#include "ui/ScanDlg.h"
#include "ui/TempServices.h"
#include "ui/WindowLanguage.h"
#include "platform/UserLanguage.h"
#include "tree/NameOrder.h"
#include "ui/WindowTestSupport.h"

namespace {

std::string Look() {
    const char* psz = getenv("QUILLET_TEST_LOOK");
    return psz && *psz ? psz : "light";
}

CRgb Rgb(const wxColour& clr) { return CRgb{clr.Red(), clr.Green(), clr.Blue()}; }

// The highest contrast between the pixel at the rectangle's corner (the
// face behind it) and any pixel inside: text that reads has some.
double BestContrast(const wxImage& image, const wxRect& rc) {
    const CRgb face = Rgb(PixelAt(image, rc.x + 1, rc.y + 1));
    double dBest = 1.0;
    for (int y = rc.y; y < rc.GetBottom(); ++y)
        for (int x = rc.x; x < rc.GetRight(); ++x)
            dBest = std::max(dBest, ContrastRatio(face, Rgb(PixelAt(image, x, y))));
    return dBest;
}

// A real click on a column's header, a few pixels into it.
void ClickHeader(wxListCtrl* pList, int nCol) {
    int x = 0;
    for (int i = 0; i < nCol; ++i)
        x += pList->GetColumnWidth(i);
    wxUIActionSimulator sim;
    sim.MouseMove(pList->ClientToScreen(wxPoint(x + 12, pList->FromDIP(6))));
    sim.MouseClick();
}

class ListsWindowTest : public ::testing::Test {
protected:
    CTempDir m_dir;
    std::unique_ptr<CTempServices> m_pServices;

    void SetUp() override {
        // A look in another language: the windows speak it, so their
        // screenshots show it.
        if (const char* pszLanguage = getenv("QUILLET_TEST_LANGUAGE"))
            UseWindowLanguage(pszLanguage, TextCatalogDir());
        m_pServices = std::make_unique<CTempServices>(m_dir.Path());
        SetMessageBoxHook([](const wxString&, const wxString&, long) { return wxOK; });
    }
    void TearDown() override { SetMessageBoxHook(nullptr); }
};

TEST_F(ListsWindowTest, ResultsGrowShowEveryNameSortAndReadOnTheTheme) {
    // A home folder deep enough that the paths cannot fit the column.
    const std::string strTree = m_dir / "home/annabel-with-a-long-name/Documents/Projects/2024/samples";
    std::error_code ec;
    std::filesystem::create_directories(strTree, ec);
    std::string strError;
    ASSERT_TRUE(quillet::samples::WriteSamplesTree(strTree, &strError)) << strError;
    ASSERT_EQ(m_pServices->platform.engine.Load(), ENGINE_LOAD_OK);
    CScanSession session(m_pServices->Get());
    CScanDlg dlg(nullptr, session);
    dlg.m_req.arTargets = {strTree};
    dlg.m_req.arTopNames = {"Computer", "Network", "Home"};
    dlg.m_req.bAllFiles = true;
    dlg.m_req.bAutoRepair = false;
    dlg.m_req.nLastBackupNo = m_pServices->workFolder.Prepare(&dlg.m_req.szWorkDir);
    CResultList* pList = dlg.GetResultList();
    const wxSize sizeTemplate = dlg.GetClientSize();
    EXPECT_EQ(dlg.GetMinClientSize(), sizeTemplate);

    CStepper steps;
    steps.Add([&] { return dlg.IsScanOver() && dlg.IsShownOnScreen(); },
              [&] {
                  CResultRows& rows = dlg.GetRows();
                  ASSERT_GT(rows.GetItemCount(), 3);
                  // At the template's size no row shows only the folder all
                  // share: each keeps its name's end, never cut off by the
                  // list, and no two rows look alike.
                  std::set<std::string> setShown;
                  wxClientDC dc(pList);
                  dc.SetFont(pList->GetFont());
                  for (long i = 0; i < pList->GetItemCount(); ++i) {
                      const std::string strPath = rows.GetItemText(static_cast<int>(i), RESULT_COL_PATH);
                      const wxString strShownText = pList->GetItemText(i, RESULT_COL_PATH);
                      const std::string strShown(strShownText.utf8_str());
                      EXPECT_NE(strShown, strPath);
                      EXPECT_EQ(strShown.substr(strShown.size() - 8), strPath.substr(strPath.size() - 8));
                      EXPECT_LE(dc.GetTextExtent(strShownText).x, pList->GetColumnWidth(RESULT_COL_PATH) - 8);
                      setShown.insert(strShown);
                  }
                  EXPECT_EQ(setShown.size(), static_cast<size_t>(pList->GetItemCount()));
                  EXPECT_EQ(std::string(pList->GetTipText(TipIdFromCell(0, RESULT_COL_PATH)).utf8_str()),
                            rows.GetItemText(0, RESULT_COL_PATH).substr(0, 79));
                  // The links in the theme's link colour, readable on its face.
                  PumpEvents(300);
                  const wxImage image = GrabClientArea(&dlg);
                  for (int nId : {CScanDlg::IDC_HOMEPAGE, CScanDlg::IDC_HOME_ADDRESS})
                      EXPECT_GE(BestContrast(image, dlg.FindWindow(nId)->GetRect()), kLinkContrast) << nId;
                  EXPECT_GE(BestContrast(image, pList->GetRect()), kReadableContrast);
                  SaveScreenshot(image, "results-" + Look() + ".png");
                  ClickHeader(pList, RESULT_COL_VIRUS);
              });
    steps.Add([&] { return pList->GetSort().IsSorted(); },
              [&] {
                  std::vector<std::string> arShown;
                  for (long i = 0; i < pList->GetItemCount(); ++i)
                      arShown.push_back(std::string(pList->GetItemText(i, RESULT_COL_VIRUS).utf8_str()));
                  EXPECT_TRUE(std::is_sorted(arShown.begin(), arShown.end(), [](const auto& a, const auto& b) {
                      return CompareNames(a, b) < 0;
                  }));
                  // Rows keep their numbers; the list only shows them in order.
                  EXPECT_EQ(dlg.GetRows().GetItemText(pList->RowOfItem(0), RESULT_COL_VIRUS), arShown[0]);
                  // Larger: the list takes the room, the buttons keep their
                  // distance to the bottom right, the links to the bottom left.
                  const wxRect rcList = pList->GetRect();
                  const wxRect rcStop = dlg.FindWindow(wxID_CANCEL)->GetRect();
                  const wxRect rcLink = dlg.FindWindow(CScanDlg::IDC_HOMEPAGE)->GetRect();
                  const int nPathWidth = pList->GetColumnWidth(RESULT_COL_PATH);
                  dlg.SetClientSize(sizeTemplate + wxSize(60, 40));
                  EXPECT_EQ(pList->GetRect(), wxRect(rcList.GetPosition(), rcList.GetSize() + wxSize(60, 40)));
                  EXPECT_EQ(dlg.FindWindow(wxID_CANCEL)->GetRect(), wxRect(rcStop.GetPosition() + wxPoint(60, 40), rcStop.GetSize()));
                  EXPECT_EQ(dlg.FindWindow(CScanDlg::IDC_HOMEPAGE)->GetRect(), wxRect(rcLink.GetPosition() + wxPoint(0, 40), rcLink.GetSize()));
                  EXPECT_EQ(pList->GetColumnWidth(RESULT_COL_PATH), nPathWidth + 60);
                  ClickButton(&dlg, wxID_CANCEL);
              });
    steps.Begin();
    dlg.ShowModal();
    ASSERT_TRUE(steps.IsDone());
    // Kept for the next start.
    CWindowSize kept;
    ASSERT_TRUE(m_pServices->windowSizes.Load("results", &kept));
    EXPECT_EQ(kept, (CWindowSize{sizeTemplate.x + 60, sizeTemplate.y + 40}));
    CScanDlg again(nullptr, session);
    EXPECT_EQ(again.GetClientSize(), sizeTemplate + wxSize(60, 40));
    EXPECT_EQ(again.GetMinClientSize(), sizeTemplate);
    m_pServices->platform.engine.Unload();
}

TEST_F(ListsWindowTest, TheBinShowsDatesSortsAndReadsOnTheTheme) {
    const std::string strWork = m_dir / "work";
    ASSERT_EQ(mkdir(strWork.c_str(), 0700), 0);
    CBackupStore store(strWork);
    ASSERT_TRUE(CTempDir::WriteFile(m_dir / "b.exe", "infected b"));
    ASSERT_TRUE(CTempDir::WriteFile(m_dir / "a.exe", "infected a"));
    ASSERT_TRUE(WriteNumbered(store, 1, m_dir.Path(), "b.exe"));
    ASSERT_TRUE(WriteNumbered(store, 2, m_dir.Path(), "a.exe"));
    CBackupBinDlg dlg(nullptr, store, nullptr, &m_pServices->windowSizes);
    auto* pList = dynamic_cast<wxListCtrl*>(dlg.FindWindow(CBackupBinDlg::IDC_BACKUP_LIST));
    ASSERT_NE(pList, nullptr);
    CStepper steps;
    steps.Add([&] { return dlg.IsShownOnScreen() && pList->GetItemCount() == 2; },
              [&] {
                  EXPECT_EQ(pList->GetItemText(0, BIN_COL_DATE).size(), 19u);
                  PumpEvents(300);
                  const wxImage image = GrabClientArea(&dlg);
                  // Rows drawn in a colour that reads on their background.
                  wxRect rcRow;
                  ASSERT_TRUE(pList->GetItemRect(0, rcRow));
                  rcRow.Offset(pList->GetPosition());
                  rcRow.x += pList->GetColumnWidth(0);
                  rcRow.width = pList->GetColumnWidth(BIN_COL_NAME);
                  EXPECT_GE(BestContrast(image, rcRow), kReadableContrast);
                  SaveScreenshot(image, "backup-bin-" + Look() + ".png");
                  ClickHeader(pList, BIN_COL_NAME);
              });
    steps.Add([&] { return dlg.GetBin().GetSort().IsSorted(); },
              [&] {
                  EXPECT_EQ(pList->GetItemText(0, BIN_COL_NAME), "a.exe");
                  EXPECT_EQ(pList->GetItemText(0, BIN_COL_NUM), "1");
                  ClickButton(&dlg, wxID_CANCEL);
              });
    steps.Begin();
    dlg.ShowModal();
    ASSERT_TRUE(steps.IsDone());
}

TEST_F(ListsWindowTest, MainDialogScreenshot) {
    CScanSession session(m_pServices->Get());
    CMainDlg dlg(nullptr, session);
    CStepper steps;
    steps.Add([&] { return dlg.IsShownOnScreen(); },
              [&] {
                  SaveScreenshot(static_cast<wxWindow*>(&dlg), "main-" + Look());
                  dlg.EndModal(wxID_CANCEL);
              });
    steps.Begin();
    dlg.ShowModal();
    ASSERT_TRUE(steps.IsDone());
}

}  // namespace
