// The main dialog: its defaults, engine start and shutdown, "Scan Now" into
// a results dialog and back, and the road without an engine.

#include <gtest/gtest.h>

#include <functional>

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/textctrl.h>
#include <wx/listctrl.h>
#include <wx/stattext.h>
#include <wx/stopwatch.h>
#include <wx/uiaction.h>

#include "ui/MainDlg.h"
#include "ui/MessageBox.h"
#include "ui/ScheduleDlg.h"
#include "ui/SettingsDlg.h"
#include "fakes/TempDir.h"
#include "fakes/TestPaths.h"
#include "platform/BackupStore.h"
#include "platform/ScheduleUnits.h"
#include "ui/ScanDlg.h"
#include "tools/samples/SampleWriter.h"
#include "ui/FolderTree.h"
#include "ui/InfoDlg.h"
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
                      EXPECT_EQ(Version(), "Failed");
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
                  EXPECT_EQ(static_cast<wxStaticText*>(dlg.FindWindow(CMainDlg::IDC_ENGINE_VER))->GetLabel(), "Failed");
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

// Old signatures are said at start in a line under the template's controls,
// which stay where they were; the information box lists the databases.
TEST_F(MainWindowTest, OldSignaturesAreSaidUnderTheControlsAndListedInTheInformationBox) {
    struct COldSignatures : ISignatureHealth {
        void Check(SSIGNATUREHEALTH* pHealth) override {
            *pHealth = SSIGNATUREHEALTH();
            pHealth->bChecked = true;
            pHealth->strFolder = "/db";
            SDATABASEFILE file;
            file.strName = "daily.cvd";
            file.eKind = DATABASE_CONTAINER;
            file.header = {27100, 2000, true, m_nBuilt};
            pHealth->arFiles.push_back(file);
        }
        int64_t m_nBuilt = time(nullptr) - 10 * 86400 - 60;
    } old;
    CScanServices services = m_pServices->Get();
    services.pSignatures = &old;
    CScanSession sessionDlg(services);
    CMainDlg dlg(nullptr, sessionDlg);
    CScanSession sessionPlain(m_pServices->Get());
    CMainDlg plain(nullptr, sessionPlain);
    std::string strInfo;
    CStepper steps;
    steps.Add([&] { return dlg.IsShownOnScreen(); },
              [&] {
                  const std::string strBuilt = FormatBuildTime(old.m_nBuilt);
                  EXPECT_EQ(dlg.GetSignatureWarning(),
                            "The newest signature database is 10 days old (built " + strBuilt + ").");
                  EXPECT_EQ(plain.GetSignatureWarning(), "");
                  for (int nId : {int(CMainDlg::IDC_ENGINE_VER), int(CMainDlg::IDOK_EXIT), int(CMainDlg::IDC_TREE)})
                      EXPECT_EQ(dlg.FindWindow(nId)->GetRect(), plain.FindWindow(nId)->GetRect()) << nId;
                  const wxWindow* pWarning = dlg.FindWindow(CMainDlg::IDC_SIGNATURE_WARNING);
                  EXPECT_GE(pWarning->GetPosition().y, plain.FindWindow(CMainDlg::IDOK_EXIT)->GetRect().GetBottom());
                  EXPECT_GE(dlg.GetClientSize().y, pWarning->GetRect().GetBottom());
                  wxQueueEvent(&dlg, new wxCommandEvent(wxEVT_MENU, CMainDlg::IDM_INFO));
              });
    steps.Add([&] {
                  for (wxWindow* pWindow : wxTopLevelWindows)
                      if (auto* pInfo = dynamic_cast<CInfoDlg*>(pWindow); pInfo && pInfo->IsModal())
                          return true;
                  return false;
              },
              [&] {
                  for (wxWindow* pWindow : wxTopLevelWindows)
                      if (auto* pInfo = dynamic_cast<CInfoDlg*>(pWindow); pInfo && pInfo->IsModal()) {
                          for (wxWindow* pChild : pInfo->GetChildren())
                              if (auto* pText = dynamic_cast<wxStaticText*>(pChild))
                                  strInfo += std::string(pText->GetLabel().utf8_str()) + "|";
                          pInfo->EndModal(wxID_OK);
                      }
              });
    steps.Add([] { return true; }, [&] { dlg.EndModal(wxID_CANCEL); });
    steps.Begin();
    dlg.ShowModal();
    EXPECT_NE(strInfo.find("|Signatures:\ndaily.cvd: version 27100, built " + FormatBuildTime(old.m_nBuilt) +
                           ", signature count 2000|"),
              std::string::npos)
        << strInfo;
    m_pServices->platform.engine.Unload();
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

// Ctrl+, opens the settings: a folder without signatures is refused with
// what to do, ClamAV over a folder that holds them is saved and loaded at
// once, and "Engine Ver." shows its version without a restart.
TEST_F(MainWindowTest, SettingsDialogSwitchesToClamavWithoutARestart) {
    const char* pszConfig = getenv("XDG_CONFIG_HOME");
    const std::string strOldConfig = pszConfig ? pszConfig : "";
    setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
    // One file of ours, named by its MD5 and size (local.hdb, as sigtool --md5 writes it).
    mkdir((m_dir / "db").c_str(), 0755);
    mkdir((m_dir / "nodb").c_str(), 0755);
    ASSERT_TRUE(CTempDir::WriteFile(m_dir / "db/local.hdb", "8fc969e0e6521d458cc3f9472608d540:20:Quillet.Window.Test\n"));
    IEngineSettings& settings = m_pServices->platform.engineSettings;
    CEngineChoice reference;
    reference.strEngine = "reference";
    std::string strWhy;
    ASSERT_TRUE(settings.Apply(reference, &strWhy)) << strWhy;
    CScanSession session(m_pServices->Get());
    CMainDlg dlg(nullptr, session);
    auto fnSettings = [] {
        for (wxWindow* pWindow : wxTopLevelWindows)
            if (auto* pDlg = dynamic_cast<CSettingsDlg*>(pWindow); pDlg && pDlg->IsModal())
                return pDlg;
        return static_cast<CSettingsDlg*>(nullptr);
    };
    auto fnLabel = [&](int nId) { return std::string(dlg.FindWindow(nId)->GetLabel().utf8_str()); };
    auto fnAllFiles = [&] { return static_cast<wxCheckBox*>(dlg.FindWindow(CMainDlg::IDC_ALL_FILES))->GetValue(); };
    auto fnChoose = [&](const std::string& strFolder) {
        static_cast<wxChoice*>(fnSettings()->FindWindow(CSettingsDlg::IDC_ENGINE))->SetSelection(CSettingsDlg::ENGINE_CLAMAV);
        static_cast<wxTextCtrl*>(fnSettings()->FindWindow(CSettingsDlg::IDC_DATABASE))->SetValue(strFolder);
        ClickButton(fnSettings(), CSettingsDlg::IDC_SAVE);
    };
    std::string strReferenceVersion;
    CStepper steps;
    steps.Add([&] { return dlg.IsShownOnScreen() && dlg.IsEngineLoaded(); },
              [&] {
                  strReferenceVersion = fnLabel(CMainDlg::IDC_ENGINE_VER);
                  EXPECT_EQ(fnLabel(CMainDlg::IDC_ENGINE_NAME), "Test engine: finds only test files");
                  EXPECT_FALSE(fnAllFiles());
                  dlg.SetFocus();
                  wxUIActionSimulator sim;
                  sim.Char(',', wxMOD_CONTROL);
              });
    steps.Add([&] { return fnSettings() && fnSettings()->IsShownOnScreen(); }, [&] { fnChoose(m_dir / "nodb"); });
    steps.Add([&] { return !m_arBoxes.empty(); }, [&] {
        // Refused, said, the dialog still open and nothing written.
        EXPECT_NE(m_arBoxes[0].find("The settings were not saved: ClamAV has no usable signature database in " +
                                    m_dir / "nodb" + ": the folder is empty; "),
                  std::string::npos)
            << m_arBoxes[0];
        EXPECT_NE(fnSettings(), nullptr);
        EXPECT_FALSE(access((m_dir / "config/quillet/engine.conf").c_str(), F_OK) == 0);
        fnChoose(m_dir / "db");
    });
    steps.Add([&] { return !fnSettings() && dlg.IsEngineLoaded(); },
              [&] {
                  EXPECT_NE(fnLabel(CMainDlg::IDC_ENGINE_VER), strReferenceVersion);
                  EXPECT_EQ(fnLabel(CMainDlg::IDC_ENGINE_VER), std::string(m_pServices->platform.engine.GetTorvaneVersion()));
                  EXPECT_EQ(fnLabel(CMainDlg::IDC_ENGINE_NAME), "ClamAV");
                  EXPECT_TRUE(fnAllFiles());
                  EXPECT_EQ(CTempDir::ReadFile(m_dir / "config/quillet/engine.conf"),
                            "engine = clamav\ndatabase = " + m_dir / "db" + "\nquarantine = no\n");
                  ClickButton(&dlg, CMainDlg::IDOK_EXIT);
              });
    steps.Begin();
    EXPECT_EQ(dlg.ShowModal(), wxID_OK);
    if (strOldConfig.empty())
        unsetenv("XDG_CONFIG_HOME");
    else
        setenv("XDG_CONFIG_HOME", strOldConfig.c_str(), 1);
    EXPECT_TRUE(steps.IsDone());
    EXPECT_EQ(m_arBoxes.size(), 1u);
}

}  // namespace
