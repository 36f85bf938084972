// The main dialog: its defaults, engine start and shutdown, "Scan Now" into
// a results dialog and back, and the road without an engine.

#include <gtest/gtest.h>

#include <functional>

#include <wx/checkbox.h>
#include <wx/stattext.h>
#include <wx/stopwatch.h>
#include <wx/uiaction.h>

#include "ui/MainDlg.h"
#include "ui/MessageBox.h"
#include "fakes/TempDir.h"
#include "fakes/TestPaths.h"
#include "platform/BackupStore.h"
#include "ui/ScanDlg.h"
#include "tools/samples/SampleWriter.h"
#include "ui/FolderTree.h"
#include "ui/TempServices.h"
#include "ui/WindowTestSupport.h"

namespace {

int Count(const std::vector<std::string>& ar, const std::string& str) {
    return static_cast<int>(std::count(ar.begin(), ar.end(), str));
}

CScanDlg* OpenScanDlg() {
    for (wxWindow* pWindow : wxTopLevelWindows)
        if (auto* pDlg = dynamic_cast<CScanDlg*>(pWindow); pDlg && pDlg->IsModal())
            return pDlg;
    return nullptr;
}

class MainWindowTest : public ::testing::Test {
protected:
    CTempDir m_dir;
    std::vector<std::string> m_arBoxes;
    std::unique_ptr<CTempServices> m_pServices;

    void SetUp() override {
        std::string strError;
        ASSERT_TRUE(quillet::samples::WriteSamplesTree(m_dir / "home", &strError)) << strError;
        m_pServices = std::make_unique<CTempServices>(m_dir.Path());
        SetMessageBoxHook([this](const wxString& strText, const wxString& strCaption, long) {
            m_arBoxes.push_back(std::string(strCaption.utf8_str()) + "|" + std::string(strText.utf8_str()));
            return wxOK;
        });
    }
    void TearDown() override { SetMessageBoxHook(nullptr); }
    static wxTreeItemId TopItem(CFolderTree* pTree, const std::string& strText) {
        wxTreeItemIdValue cookie;
        for (wxTreeItemId item = pTree->GetFirstChild(pTree->GetRootItem(), cookie); item.IsOk();
             item = pTree->GetNextChild(pTree->GetRootItem(), cookie))
            if (pTree->GetItemText(item) == strText)
                return item;
        return wxTreeItemId();
    }
};

TEST_F(MainWindowTest, DefaultsScansAndExit) {
    CScanSession sessionDlg(m_pServices->Get());
    CMainDlg dlg(nullptr, sessionDlg);
    CStepper steps;
    int nScans = 0;
    steps.Add([&] { return dlg.IsShownOnScreen() && dlg.IsEngineLoaded(); },
              [&] {
                  SaveScreenshot(&dlg, "main");
                  EXPECT_EQ(static_cast<wxStaticText*>(dlg.FindWindow(CMainDlg::IDC_ENGINE_VER))->GetLabel(), "1.0.2612");
                  SCANREQUEST req = dlg.MakeScanRequest();
                  EXPECT_EQ(std::vector<bool>({req.bSubfolders, req.bAllFiles, req.bAutoRepair, req.bBackup}),
                            std::vector<bool>({true, false, true, true}));
                  EXPECT_FALSE(dlg.FindWindow(CMainDlg::IDC_BACKUP)->IsShown());
                  EXPECT_FALSE(dlg.FindWindow(CMainDlg::IDC_BACKUP_BIN)->IsShown());
                  EXPECT_EQ(req.arTopNames.size(), 3u);
                  EXPECT_FALSE(req.bQuarantine);
                  dlg.SetQuarantineUnrepairable(true);
                  EXPECT_TRUE(dlg.MakeScanRequest().bQuarantine);
                  dlg.SetQuarantineUnrepairable(false);
                  // Nothing ticked yet.
                  ClickButton(&dlg, CMainDlg::IDC_SCAN_NOW);
              });
    steps.Add([&] { return !m_arBoxes.empty(); },
              [&] {
                  EXPECT_EQ(m_arBoxes.back(), "Torvane Professional|Please select item.");
                  EXPECT_TRUE(dlg.m_arTargets.empty());
                  static_cast<wxCheckBox*>(dlg.FindWindow(CMainDlg::IDC_ALL_FILES))->SetValue(true);
                  dlg.GetTree()->ToggleCheck(TopItem(dlg.GetTree(), "Home"));
                  ClickButton(&dlg, CMainDlg::IDC_SCAN_NOW);
              });
    // Two scans: the second numbers its backups on from the first.
    auto fnScanOver = [&] { return OpenScanDlg() && OpenScanDlg()->IsScanOver(); };
    auto fnCloseScan = [&] {
        CScanDlg* pScan = OpenScanDlg();
        EXPECT_EQ(pScan->m_req.arTargets, std::vector<CScanTarget>{CScanTarget(m_dir / "home")});
        EXPECT_TRUE(pScan->m_req.bAllFiles);
        ++nScans;
        ClickButton(pScan, wxID_CANCEL);
    };
    steps.Add(fnScanOver, fnCloseScan);
    steps.Add([&] { return nScans == 1 && !OpenScanDlg(); },
              [&] {
                  // The samples back as they were, so the second scan repairs again.
                  std::string strError;
                  quillet::samples::WriteSamplesTree(m_dir / "home", &strError);
                  ClickButton(&dlg, CMainDlg::IDC_SCAN_NOW);
              });
    steps.Add(fnScanOver, fnCloseScan);
    steps.Add([&] { return nScans == 2 && !OpenScanDlg(); }, [&] { ClickButton(&dlg, CMainDlg::IDOK_EXIT); });
    steps.Begin();
    EXPECT_EQ(dlg.ShowModal(), wxID_OK);
    ASSERT_TRUE(steps.IsDone());
    // "Exit" turned the engine off.
    EXPECT_FALSE(m_pServices->platform.engine.IsLoaded());
    EXPECT_TRUE(dlg.m_arTargets.empty());
    // The work folder was made ready once, and the backups went into it.
    EXPECT_EQ(m_pServices->workFolder.m_nPrepared, 1);
    EXPECT_EQ(dlg.GetWorkDir(), m_dir / "work");
    CBackupStore store(dlg.GetWorkDir());
    std::vector<CBackupEntry> arBackups = store.List();
    ASSERT_GE(arBackups.size(), 4u);
    EXPECT_EQ(arBackups.size(), dlg.GetLastBackupNo());
    EXPECT_EQ(Count(m_arBoxes, "Torvane Professional|Scanning is finished!"), 2);
}

TEST_F(MainWindowTest, ShownAtOnceWhileTheEngineTurnsOnScanNowWaitsAndAHangIsGivenUp) {
    // An engine that takes for ever to turn on, as a large database would,
    // given up after its time (short here).
    m_pServices->platform.engine.SetLibrary(BinDir() + "/libfarsend-fault.so");
    m_pServices->platform.engine.SetHostEnvironment({"FARSEND_FAULT=turnon-hang"});
    m_pServices->platform.engine.SetStartLimitMs(1500);
    wxStopWatch watch;
    long nShownMs = -1;
    {
        CScanSession sessionDlg(m_pServices->Get());
        CMainDlg dlg(nullptr, sessionDlg);
        auto Version = [&] { return static_cast<wxStaticText*>(dlg.FindWindow(CMainDlg::IDC_ENGINE_VER))->GetLabel(); };
        CStepper steps;
        steps.Add([&] { return dlg.IsShownOnScreen(); },
                  [&] {
                      nShownMs = watch.Time();
                      EXPECT_EQ(Version(), "Loading...");
                      ClickButton(&dlg, CMainDlg::IDC_SCAN_NOW);
                  });
        steps.Add([&] { return dlg.IsScanWaiting(); },
                  [&] {
                      EXPECT_TRUE(wxIsBusy());
                      EXPECT_FALSE(dlg.IsEngineLoaded());
                  });
        // Given up: said as an engine that cannot be loaded, and the scan
        // waits no more.
        steps.Add([&] { return !m_arBoxes.empty(); },
                  [&] {
                      EXPECT_FALSE(dlg.IsScanWaiting());
                      EXPECT_FALSE(wxIsBusy());
                      EXPECT_EQ(Version(), "2000-10-10");
                      EXPECT_EQ(m_pServices->platform.engine.GetHostPid(), -1);
                      dlg.Raise();
                      dlg.GetTree()->SetFocus();
                  });
        steps.Add([&] { return dlg.GetTree()->HasFocus(); },
                  [&] {
                      wxUIActionSimulator sim;
                      sim.Char(WXK_ESCAPE);
                  });
        steps.Begin();
        CStepper guard;
        guard.Add([&] { return watch.Time() > 15000; },
                  [&] {
                      if (dlg.IsModal())
                          dlg.EndModal(wxID_ABORT);
                  });
        guard.Begin();
        EXPECT_EQ(dlg.ShowModal(), wxID_CANCEL);
        EXPECT_TRUE(steps.IsDone());
    }
    EXPECT_GE(nShownMs, 0);
    EXPECT_LT(nShownMs, 1000);
    EXPECT_FALSE(wxIsBusy());
    EXPECT_EQ(m_arBoxes, std::vector<std::string>{"Torvane Professional|Cannot load Farsend.dll  file."});
}

// Ends the shown dialog by fnEnd and returns ShowModal's answer; a dialog
// that has not ended 10 s on is ended with wxID_ABORT so the test goes on.
int EndShown(CMainDlg& dlg, const std::function<void()>& fnEnd) {
    CStepper steps;
    steps.Add([&] { return dlg.IsShownOnScreen() && dlg.IsEngineLoaded(); },
              [&] {
                  // The key goes to the window with the input focus.
                  dlg.Raise();
                  dlg.GetTree()->SetFocus();
              });
    steps.Add([&] { return dlg.GetTree()->HasFocus(); }, fnEnd);
    steps.Begin();
    wxStopWatch watch;
    CStepper guard;
    guard.Add([&] { return watch.Time() > 10000; },
              [&] {
                  if (dlg.IsModal())
                      dlg.EndModal(wxID_ABORT);
              });
    guard.Begin();
    return dlg.ShowModal();
}

TEST_F(MainWindowTest, EscapeKeyLeavesTheEngineOn) {
    CScanSession sessionDlg(m_pServices->Get());
    CMainDlg dlg(nullptr, sessionDlg);
    EXPECT_EQ(EndShown(dlg,
                       [] {
                           wxUIActionSimulator sim;
                           sim.Char(WXK_ESCAPE);
                       }),
              wxID_CANCEL);
    EXPECT_TRUE(m_pServices->platform.engine.IsLoaded());
    m_pServices->platform.engine.Unload();
}

TEST_F(MainWindowTest, CloseBoxLeavesTheEngineOn) {
    CScanSession sessionDlg(m_pServices->Get());
    CMainDlg dlg(nullptr, sessionDlg);
    // What the window manager's close sends; there is none under Xvfb.
    EXPECT_EQ(EndShown(dlg, [&] { dlg.Close(); }), wxID_CANCEL);
    EXPECT_TRUE(m_pServices->platform.engine.IsLoaded());
    m_pServices->platform.engine.Unload();
}

TEST_F(MainWindowTest, WithoutAnEngineNothingCallsIntoIt) {
    SHostOptions options;
    options.strHostPath = m_dir / "no-host";
    CHostEngine missing(options);
    CScanServices services = m_pServices->Get();
    services.pEngine = &missing;
    CScanSession sessionDlg(services);
    CMainDlg dlg(nullptr, sessionDlg);
    CStepper steps;
    steps.Add([&] { return dlg.IsShownOnScreen(); },
              [&] {
                  EXPECT_EQ(static_cast<wxStaticText*>(dlg.FindWindow(CMainDlg::IDC_ENGINE_VER))->GetLabel(), "2000-10-10");
                  dlg.GetTree()->ToggleCheck(TopItem(dlg.GetTree(), "Home"));
                  ClickButton(&dlg, CMainDlg::IDC_SCAN_NOW);
              });
    steps.Add([&] { return m_arBoxes.size() == 2; }, [&] { ClickButton(&dlg, CMainDlg::IDOK_EXIT); });
    steps.Begin();
    EXPECT_EQ(dlg.ShowModal(), wxID_OK);
    EXPECT_EQ(m_arBoxes, (std::vector<std::string>{"Torvane Professional|Cannot load Farsend.dll  file.",
                                                   "Torvane Professional|Cannot load Farsend.dll  file."}));
    EXPECT_EQ(missing.GetHostStarts(), 0);
}

}  // namespace
