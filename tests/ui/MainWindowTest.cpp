// The main dialog: its defaults, engine start and shutdown, "Scan Now" into
// a results dialog and back, and the road without an engine.

#include <gtest/gtest.h>

#include <functional>

#include <wx/checkbox.h>
#include <wx/listctrl.h>
#include <wx/stattext.h>
#include <wx/stopwatch.h>
#include <wx/uiaction.h>

#include "ui/MainDlg.h"
#include "ui/MessageBox.h"
#include "ui/ScheduleDlg.h"
#include "fakes/TempDir.h"
#include "fakes/TestPaths.h"
#include "platform/BackupStore.h"
#include "platform/ScheduleUnits.h"
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
    // What quillet PATH... scans with next: the options of the last scan started.
    std::string strOptions;
    EXPECT_TRUE(m_pServices->registry.QueryValue(HIVE_CURRENT_USER, "quillet", "options", 4096, &strOptions));
    EXPECT_EQ(strOptions, "include-subfolders = yes\nall-files = yes\nrepair-automatically = yes\n"
                          "backup-infected-files = yes\n");
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

// Ctrl+E opens the Schedule dialog over what is ticked; a schedule added
// there is listed and its units written, and Remove takes it away.
TEST_F(MainWindowTest, ScheduleDialogAddsListsAndRemoves) {
    CScheduleUnits units;
    units.m_strUnitDir = m_dir / "config/systemd/user";
    units.m_strSystemdRoot = m_dir.Path();
    for (const char* psz : {"run", "run/systemd", "run/systemd/system", "path"})
        mkdir((m_dir / psz).c_str(), 0755);
    CTempDir::WriteFile(m_dir / "path/systemctl", "#!/bin/sh\nexit 1\n", 0755);
    const std::string strPath = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (m_dir / "path:" + strPath).c_str(), 1);
    CScanServices services = m_pServices->Get();
    services.pSchedules = &units;
    CScanSession sessionDlg(services);
    CMainDlg dlg(nullptr, sessionDlg);
    auto fnSchedule = [] {
        for (wxWindow* pWindow : wxTopLevelWindows)
            if (auto* pDlg = dynamic_cast<CScheduleDlg*>(pWindow); pDlg && pDlg->IsModal())
                return pDlg;
        return static_cast<CScheduleDlg*>(nullptr);
    };
    auto fnRows = [&] {
        return static_cast<wxListCtrl*>(fnSchedule()->FindWindow(CScheduleDlg::IDC_SCHEDULE_LIST))->GetItemCount();
    };
    CStepper steps;
    steps.Add([&] { return dlg.IsShownOnScreen() && dlg.IsEngineLoaded(); },
              [&] {
                  dlg.GetTree()->ToggleCheck(TopItem(dlg.GetTree(), "Home"));
                  dlg.SetFocus();
                  wxUIActionSimulator sim;
                  sim.Char('E', wxMOD_CONTROL);
              });
    steps.Add([&] { return fnSchedule() && fnSchedule()->IsShownOnScreen(); },
              [&] {
                  EXPECT_EQ(fnRows(), 0);
                  ClickButton(fnSchedule(), CScheduleDlg::IDC_ADD);
              });
    steps.Add([&] { return fnRows() == 1; },
              [&] {
                  auto* pList = static_cast<wxListCtrl*>(fnSchedule()->FindWindow(CScheduleDlg::IDC_SCHEDULE_LIST));
                  EXPECT_EQ(pList->GetItemText(0, CScheduleDlg::COL_WHEN), "daily 03:00");
                  EXPECT_EQ(pList->GetItemText(0, CScheduleDlg::COL_TARGETS), m_dir / "home");
                  EXPECT_EQ(fnSchedule()->GetEntries()[0].schedule.arOptions, std::vector<std::string>{"--repair"});
                  EXPECT_EQ(CTempDir::Entries(units.m_strUnitDir),
                            (std::vector<std::string>{"quillet-scan-1.service", "quillet-scan-1.timer",
                                                      "timers.target.wants"}));
                  pList->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
                  ClickButton(fnSchedule(), CScheduleDlg::IDC_REMOVE);
              });
    steps.Add([&] { return fnRows() == 0; },
              [&] {
                  EXPECT_EQ(CTempDir::Entries(units.m_strUnitDir), std::vector<std::string>{"timers.target.wants"});
                  ClickButton(fnSchedule(), CScheduleDlg::IDC_CLOSE);
              });
    steps.Add([&] { return !fnSchedule(); }, [&] { ClickButton(&dlg, CMainDlg::IDOK_EXIT); });
    steps.Begin();
    EXPECT_EQ(dlg.ShowModal(), wxID_OK);
    setenv("PATH", strPath.c_str(), 1);
    EXPECT_TRUE(steps.IsDone());
    // No instance answered: said once, after the add.
    EXPECT_EQ(m_arBoxes, std::vector<std::string>{
                             "Schedule|no systemd user instance answers now: the schedule starts with your next session"});
}

}  // namespace
