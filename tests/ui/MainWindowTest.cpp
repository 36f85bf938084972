// The main dialog: its defaults, engine start and shutdown, "Scan Now" into
// a results dialog and back, and the road without an engine.

#include <gtest/gtest.h>

#include <wx/checkbox.h>
#include <wx/stattext.h>

#include "app/MainDlg.h"
#include "app/MessageBox.h"
#include "fakes/TempDir.h"
#include "platform/BackupStore.h"
#include "platform/PlatformServices.h"
#include "scan/ScanDlg.h"
#include "tools/samples/SampleWriter.h"
#include "tree/FolderTree.h"
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
    std::unique_ptr<CPlatformServices> m_pServices;

    void SetUp() override {
        setenv("TMPDIR", (m_dir / "tmp").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (m_dir / "xdg").c_str(), 1);
        m_strOldHome = getenv("HOME") ? getenv("HOME") : "";
        setenv("HOME", (m_dir / "home").c_str(), 1);
        mkdir((m_dir / "tmp").c_str(), 0700);
        std::string strError;
        ASSERT_TRUE(quillet::samples::WriteSamplesTree(m_dir / "home", &strError)) << strError;
        m_pServices = std::make_unique<CPlatformServices>();
        SetMessageBoxHook([this](const wxString& strText, const wxString& strCaption, long) {
            m_arBoxes.push_back(std::string(strCaption.utf8_str()) + "|" + std::string(strText.utf8_str()));
            return wxOK;
        });
    }
    void TearDown() override {
        SetMessageBoxHook(nullptr);
        setenv("HOME", m_strOldHome.c_str(), 1);
        unsetenv("TMPDIR");
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("XDG_CONFIG_DIRS");
    }
    static wxTreeItemId TopItem(CFolderTree* pTree, const std::string& strText) {
        wxTreeItemIdValue cookie;
        for (wxTreeItemId item = pTree->GetFirstChild(pTree->GetRootItem(), cookie); item.IsOk();
             item = pTree->GetNextChild(pTree->GetRootItem(), cookie))
            if (pTree->GetItemText(item) == strText)
                return item;
        return wxTreeItemId();
    }
    std::string m_strOldHome;
};

TEST_F(MainWindowTest, DefaultsScansAndExit) {
    CMainDlg dlg(nullptr, m_pServices->Get());
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
        EXPECT_EQ(pScan->m_req.arTargets, std::vector<std::string>{m_dir / "home"});
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
    EXPECT_FALSE(m_pServices->engine.IsLoaded());
    EXPECT_TRUE(dlg.m_arTargets.empty());
    CBackupStore store(dlg.GetWorkDir());
    std::vector<CBackupEntry> arBackups = store.List();
    ASSERT_GE(arBackups.size(), 4u);
    EXPECT_EQ(arBackups.size(), dlg.GetLastBackupNo());
    EXPECT_EQ(Count(m_arBoxes, "Torvane Professional|Scanning is finished!"), 2);
}

TEST_F(MainWindowTest, EscapeLeavesTheEngineOn) {
    CMainDlg dlg(nullptr, m_pServices->Get());
    CStepper steps;
    steps.Add([&] { return dlg.IsShownOnScreen(); }, [&] { ClickButton(&dlg, wxID_CANCEL); });
    steps.Begin();
    EXPECT_EQ(dlg.ShowModal(), wxID_CANCEL);
    EXPECT_TRUE(m_pServices->engine.IsLoaded());
    m_pServices->engine.Unload();
}

TEST_F(MainWindowTest, WithoutAnEngineNothingCallsIntoIt) {
    SHostOptions options;
    options.strHostPath = m_dir / "no-host";
    CPlatformServices* pServices = m_pServices.get();
    CHostEngine missing(options);
    CScanServices services = pServices->Get();
    services.pEngine = &missing;
    CMainDlg dlg(nullptr, services);
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
