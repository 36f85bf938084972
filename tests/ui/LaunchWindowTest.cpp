// quillet PATH...: the results dialog alone over the paths given, as the
// program drives it, with the options the main dialog saved.

#include <gtest/gtest.h>

#include <fstream>

#include "fakes/TempDir.h"
#include "scan/ResultRows.h"
#include "tools/samples/SampleWriter.h"
#include "ui/LaunchScan.h"
#include "ui/MessageBox.h"
#include "ui/ScanDlg.h"
#include "ui/TempServices.h"
#include "ui/WindowTestSupport.h"

namespace {

CScanDlg* OpenScanDlg() {
    for (wxWindow* pWindow : wxTopLevelWindows)
        if (auto* pDlg = dynamic_cast<CScanDlg*>(pWindow); pDlg && pDlg->IsModal())
            return pDlg;
    return nullptr;
}

void WriteFile(const std::string& strPath, const std::string& strData) {
    std::ofstream(strPath, std::ios::binary) << strData;
}

TEST(LaunchWindowTest, PathsOpenTheResultsDialogWithTheSavedOptionsAndClosingItEnds) {
    CTempDir dir;
    // A folder no display text could name: a blank, a quote, a line end and
    // a byte that is no UTF-8.
    const std::string strFolder = dir / "to \"scan\"\n\xff";
    ASSERT_EQ(mkdir(strFolder.c_str(), 0700), 0);
    ASSERT_EQ(mkdir((strFolder + "/sub").c_str(), 0700), 0);
    WriteFile(strFolder + "/top.com", quillet::samples::EicarString());
    WriteFile(strFolder + "/sub/below.com", quillet::samples::EicarString());
    CTempServices services(dir.Path());
    ASSERT_TRUE(services.registry.SetValue(HIVE_CURRENT_USER, "quillet", "options",
                                           "include-subfolders = no\nrepair-automatically = no\n"));
    std::vector<std::string> arBoxes;
    SetMessageBoxHook([&](const wxString& strText, const wxString&, long) {
        arBoxes.push_back(std::string(strText.utf8_str()));
        return wxOK;
    });
    CScanSession session(services.Get());
    CStepper steps;
    std::vector<std::string> arPaths;
    steps.Add([&] { return OpenScanDlg() && OpenScanDlg()->IsScanOver(); },
              [&] {
                  CScanDlg* pDlg = OpenScanDlg();
                  EXPECT_FALSE(pDlg->m_req.bSubfolders);
                  EXPECT_FALSE(pDlg->m_req.bAutoRepair);
                  EXPECT_FALSE(pDlg->m_req.bAllFiles);
                  CResultRows& rows = pDlg->GetRows();
                  for (int i = 0; i < rows.GetItemCount(); ++i)
                      arPaths.push_back(rows.GetItemText(i, RESULT_COL_PATH));
                  EXPECT_EQ(pDlg->GetResultList()->GetItemCount(), rows.GetItemCount());
                  ClickButton(pDlg, wxID_CANCEL);
              });
    steps.Begin();
    const int nExit = RunLaunchScan(session, {strFolder, dir / "gone"}, false);
    SetMessageBoxHook(nullptr);
    ASSERT_TRUE(steps.IsDone());
    EXPECT_EQ(nExit, 0);
    EXPECT_FALSE(OpenScanDlg());
    EXPECT_EQ(arPaths, std::vector<std::string>{strFolder + "/top.com"});
    // The missing one was said before the scan, the other still scanned.
    ASSERT_FALSE(arBoxes.empty());
    EXPECT_NE(arBoxes[0].find("not found"), std::string::npos) << arBoxes[0];
    EXPECT_NE(arBoxes[0].find("/gone: No such file or directory"), std::string::npos) << arBoxes[0];
}

}  // namespace
