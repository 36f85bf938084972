// The scan results dialog over the real host and reference engine on a
// samples tree: a full scan with automatic repair, Stop, a Repair pass with
// a silenced notice kind, double-click repair, and the records for the agent.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/menu.h>
#include <wx/stattext.h>
#include <wx/stopwatch.h>
#include <wx/uiaction.h>

#include "ui/MessageBox.h"
#include "eventlog/TestBus.h"
#include "fakes/TempDir.h"
#include "fakes/TestPaths.h"
#include "platform/BackupStore.h"
#include "platform/PosixDirLister.h"
#include "ui/NoticeDlg.h"
#include "ui/ProcessingDlg.h"
#include "ui/ScanDlg.h"
#include "tools/samples/SampleWriter.h"
#include "ui/TempServices.h"
#include "ui/WindowTestSupport.h"

namespace {

class ScanWindowTest : public ::testing::Test {
protected:
    CTempDir m_dir;
    std::string m_strTree;
    std::unique_ptr<CTempServices> m_pServices;
    std::vector<std::string> m_arBoxes;  // caption|text of every message box
    std::vector<std::string> m_arNotices;
    int m_nAnswer = wxYES;

    void SetUp() override {
        m_strTree = m_dir / "tree";
        std::string strError;
        ASSERT_TRUE(quillet::samples::WriteSamplesTree(m_strTree, &strError)) << strError;
        m_pServices = std::make_unique<CTempServices>(m_dir.Path());
        SetMessageBoxHook([this](const wxString& strText, const wxString& strCaption, long nStyle) {
            m_arBoxes.push_back(std::string(strCaption.utf8_str()) + "|" + std::string(strText.utf8_str()));
            return (nStyle & wxYES_NO) ? m_nAnswer : wxOK;
        });
        ASSERT_EQ(m_pServices->platform.engine.Load(), ENGINE_LOAD_OK);
    }
    void TearDown() override {
        SetMessageBoxHook(nullptr);
        m_pServices->platform.engine.Unload();
    }
    SCANREQUEST Request(bool bAutoRepair) {
        SCANREQUEST req;
        req.arTargets = {m_strTree};
        req.arTopNames = {"Computer", "Network", "Home"};
        req.bAllFiles = true;
        req.bAutoRepair = bAutoRepair;
        req.nLastBackupNo = m_pServices->workFolder.Prepare(&req.szWorkDir);
        return req;
    }
    static std::string Label(CScanDlg& dlg, int nId) {
        return std::string(static_cast<wxStaticText*>(dlg.FindWindow(nId))->GetLabel().utf8_str());
    }
    static std::string Button(CScanDlg& dlg, int nId) {
        return std::string(dlg.FindWindow(nId)->GetLabel().utf8_str());
    }
    int Count(const std::string& strBox) const {
        return static_cast<int>(std::count(m_arBoxes.begin(), m_arBoxes.end(), strBox));
    }
};

TEST_F(ScanWindowTest, FullScanWithAutomaticRepair) {
    CScanSession sessionDlg(m_pServices->Get());
    CScanDlg dlg(nullptr, sessionDlg);
    dlg.m_req = Request(true);
    CStepper steps;
    int nRows = 0;
    steps.Add([&] { return dlg.IsScanOver(); },
              [&] {
                  nRows = dlg.GetRows().GetItemCount();
                  EXPECT_EQ(Button(dlg, wxID_CANCEL), "Exit");
                  EXPECT_TRUE(dlg.FindWindow(CScanDlg::IDC_REPAIR)->IsEnabled());
                  EXPECT_TRUE(dlg.FindWindow(CScanDlg::IDC_SELECT_ALL)->IsEnabled());
                  EXPECT_EQ(Label(dlg, CScanDlg::IDC_INFECTED_COUNT), std::to_string(nRows));
                  SaveScreenshot(&dlg, "scan-results");
                  ClickButton(&dlg, wxID_CANCEL);
              });
    steps.Begin();
    EXPECT_EQ(dlg.ShowModal(), wxID_CANCEL);
    ASSERT_TRUE(steps.IsDone());

    EXPECT_EQ(Count("Torvane Professional|Scanning is finished!"), 1);
    CResultRows& rows = dlg.GetRows();
    std::map<std::string, std::string> mapStatus;
    for (int i = 0; i < rows.GetItemCount(); ++i)
        mapStatus[rows.GetItemText(i, RESULT_COL_PATH).substr(m_strTree.size() + 1)] =
            rows.GetItemText(i, RESULT_COL_STATUS);
    EXPECT_EQ(mapStatus["report-00-repairable.exe"], "Repaired");
    EXPECT_EQ(mapStatus["outcome-3-clean-failed.exe"], "Fail to repair");
    EXPECT_EQ(mapStatus["outcome-4-encrypted.exe"], "Repair after decryption ");
    EXPECT_EQ(mapStatus["report-03-suspected.exe"], "Suspected");
    EXPECT_EQ(mapStatus["subfolder/infected-in-subfolder.exe"], "Repaired");
    EXPECT_EQ(mapStatus.count(".hidden.exe"), 0u);
    // Backups on disk, numbered from the start.
    CBackupStore store(dlg.m_req.szWorkDir);
    std::vector<CBackupEntry> arBackups = store.List();
    ASSERT_FALSE(arBackups.empty());
    EXPECT_EQ(arBackups.front().strFileName.substr(0, 9), "00000001.");
    EXPECT_EQ(dlg.GetLastBackupNo(), arBackups.size());
}

// The real listing, with a moment to act once a folder is read.
class CHookedLister : public CPosixDirLister {
public:
    std::string m_strFolder;
    std::function<void()> m_fnAfter;
    bool ListFolder(const std::string& strFolder, bool bFollowLink, CDirListing& listing,
                    const CFileId* pExpect) override {
        const bool bOk = CPosixDirLister::ListFolder(strFolder, bFollowLink, listing, pExpect);
        if (strFolder == m_strFolder && m_fnAfter)
            m_fnAfter();
        return bOk;
    }
};

TEST_F(ScanWindowTest, StopDuringTheScan) {
    // Stop is pressed while the walk is under way, at a moment the test
    // chooses: once the second folder is listed, after the first's file.
    const std::string strStop = m_dir / "stop";
    for (const char* pszFolder : {"", "/a", "/b"})
        mkdir((strStop + pszFolder).c_str(), 0755);
    CTempDir::WriteFile(strStop + "/a/one.exe", "plain");
    for (int i = 0; i < 300; ++i)
        CTempDir::WriteFile(strStop + "/b/clean-" + std::to_string(100000 + i) + ".exe", "plain");
    CHookedLister lister;
    CScanServices services = m_pServices->Get();
    services.pLister = &lister;
    CScanSession sessionDlg(services);
    CScanDlg dlg(nullptr, sessionDlg);
    dlg.m_req = Request(false);
    dlg.m_req.arTargets = {strStop};
    lister.m_strFolder = strStop + "/b";
    lister.m_fnAfter = [&] {
        // As the walk's next look at the window's queue would deliver it.
        wxCommandEvent click(wxEVT_BUTTON, wxID_CANCEL);
        dlg.GetEventHandler()->ProcessEvent(click);
        // "Exit" at once, while the walk is still unwinding.
        EXPECT_EQ(Button(dlg, wxID_CANCEL), "Exit");
    };
    CStepper steps;
    steps.Add([&] { return dlg.IsScanOver(); }, [&] { ClickButton(&dlg, wxID_CANCEL); });
    steps.Begin();
    EXPECT_EQ(dlg.ShowModal(), wxID_CANCEL);
    ASSERT_TRUE(steps.IsDone());
    EXPECT_EQ(Count("Torvane Professional|Scanning is finished!"), 0);
    EXPECT_EQ(Label(dlg, CScanDlg::IDC_SCANNED_COUNT), "1");
}

TEST_F(ScanWindowTest, TheEndSaysHowManyFilesWereNotFullyScanned) {
    // An engine that fails on two files: the scan does not end as a complete one.
    m_pServices->platform.engine.Unload();
    m_pServices->platform.engine.SetLibrary(BinDir() + "/libfarsend-fault.so");
    ASSERT_EQ(m_pServices->platform.engine.Load(), ENGINE_LOAD_OK);
    const std::string strFolder = m_dir / "failing";
    mkdir(strFolder.c_str(), 0755);
    for (const char* pszName : {"/engine-error-1.exe", "/engine-error-2.exe", "/plain.exe"})
        ASSERT_TRUE(CTempDir::WriteFile(strFolder + pszName, "plain"));
    CScanSession sessionDlg(m_pServices->Get());
    CScanDlg dlg(nullptr, sessionDlg);
    dlg.m_req = Request(false);
    dlg.m_req.arTargets = {strFolder};
    CStepper steps;
    steps.Add([&] { return dlg.IsScanOver(); }, [&] { ClickButton(&dlg, wxID_CANCEL); });
    steps.Begin();
    EXPECT_EQ(dlg.ShowModal(), wxID_CANCEL);
    EXPECT_EQ(Count("Torvane Professional|Scanning is finished!\n2 files or folders were not fully scanned."), 1);
}

TEST_F(ScanWindowTest, LiveDuringAHungEngineCallAndTwoStopsEndIt) {
    m_pServices->platform.engine.Unload();
    m_pServices->platform.engine.SetLibrary(BinDir() + "/libfarsend-fault.so");
    ASSERT_EQ(m_pServices->platform.engine.Load(), ENGINE_LOAD_OK);
    mkdir((m_strTree + "/zz").c_str(), 0755);
    ASSERT_TRUE(CTempDir::WriteFile(m_strTree + "/zz/fault-probe-hang.exe", "plain"));
    CScanSession sessionDlg(m_pServices->Get());
    CScanDlg dlg(nullptr, sessionDlg);
    dlg.m_req = Request(false);
    dlg.m_req.arTargets = {m_strTree + "/zz"};
    CStepper steps;
    wxStopWatch watch;
    long nStopMs = -1;
    // The engine hangs for the watchdog's 15 s; meanwhile the window shows
    // the file and hears Escape, a real key.
    steps.Add([&] { return Label(dlg, CScanDlg::IDC_FILE).find("fault-probe-hang") != std::string::npos; },
              [&] {
                  dlg.Raise();
                  dlg.SetFocus();
                  watch.Start();
                  wxUIActionSimulator sim;
                  sim.Char(WXK_ESCAPE);
              });
    steps.Add([&] { return Button(dlg, wxID_CANCEL) == "Exit"; },
              [&] {
                  nStopMs = watch.Time();
                  wxUIActionSimulator sim;
                  sim.Char(WXK_ESCAPE);
              });
    // The second Stop ends the engine once the call has run 5 s.
    steps.Add([&] { return dlg.IsScanOver(); },
              [&] {
                  EXPECT_LT(watch.Time(), 9000);
                  ClickButton(&dlg, wxID_CANCEL);
              });
    steps.Begin();
    EXPECT_EQ(dlg.ShowModal(), wxID_CANCEL);
    ASSERT_TRUE(steps.IsDone());
    EXPECT_GE(nStopMs, 0);
    // Heard while the call was still hanging, not when it ended.
    EXPECT_LT(nStopMs, 1000);
    printf("Stop answered in %ld ms during the engine call\n", nStopMs);
    // One fault, on whichever engine worked on the file.
    unsigned nFaults = 0;
    CLazyEnginePool& workers = m_pServices->platform.workers;
    for (size_t i = 0; i < workers.GetWorkerCount(); ++i)
        nFaults += workers.GetWorker(i)->GetFaultCount();
    if (workers.GetWorker(0) != &m_pServices->platform.engine)
        nFaults += m_pServices->platform.engine.GetFaultCount();
    EXPECT_EQ(nFaults, 1u);
}

// Finds the open notice box, ticks "Don't show" when asked, presses OK.
CNoticeDlg* OpenNotice() {
    for (wxWindow* pWindow : wxTopLevelWindows)
        if (auto* pNotice = dynamic_cast<CNoticeDlg*>(pWindow); pNotice && pNotice->IsModal())
            return pNotice;
    return nullptr;
}

TEST_F(ScanWindowTest, RepairPassWithASilencedNoticeKind) {
    // One more row of the same kind, so silencing shows.
    CTempDir::WriteFile(m_strTree + "/unrepairable-2.exe", quillet::samples::TestMarker(1, 3, "Second.Unrep"));
    CScanSession sessionDlg(m_pServices->Get());
    CScanDlg dlg(nullptr, sessionDlg);
    dlg.m_req = Request(false);
    bool bTickNext = true, bShotProgress = false, bQueued = false;
    // Answers each notice as it opens, inside the pass's nested loops.
    wxTimer answerer;
    answerer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        CNoticeDlg* pNotice = OpenNotice();
        if (!pNotice || !pNotice->IsShownOnScreen())
            return;
        if (m_arNotices.empty())
            SaveScreenshot(pNotice, "notice");
        m_arNotices.push_back(pNotice->m_strMessage);
        for (wxWindow* pWindow : wxTopLevelWindows)
            if (auto* pProgress = dynamic_cast<CProcessingDlg*>(pWindow); pProgress && !bShotProgress) {
                SaveScreenshot(pProgress, "processing");
                bShotProgress = true;
            }
        // The first "Unrepairable" notice silences its kind for this press.
        bool bUnrep = pNotice->m_strMessage.find("This file is unrepairable.") != std::string::npos;
        static_cast<wxCheckBox*>(pNotice->FindWindow(CNoticeDlg::IDC_DONT_SHOW))->SetValue(bUnrep && bTickNext);
        if (bUnrep)
            bTickNext = false;
        wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
        ok.SetEventObject(pNotice->FindWindow(wxID_OK));
        pNotice->GetEventHandler()->ProcessEvent(ok);
    });
    answerer.Start(20);
    CStepper steps;
    steps.Add([&] { return dlg.IsScanOver(); },
              [&] {
                  ClickButton(&dlg, CScanDlg::IDC_SELECT_ALL);
                  ClickButton(&dlg, CScanDlg::IDC_REPAIR);
                  bQueued = true;
              });
    steps.Add([&] { return bQueued && !m_arNotices.empty() && !dlg.IsRepairing() && !OpenNotice(); },
              [&] { ClickButton(&dlg, wxID_CANCEL); });
    steps.Begin();
    dlg.ShowModal();
    answerer.Stop();
    ASSERT_TRUE(steps.IsDone());
    int nUnrep = 0, nSuspected = 0;
    for (const std::string& str : m_arNotices) {
        nUnrep += str.find("This file is unrepairable.") != std::string::npos;
        nSuspected += str.find("It is suspected as a virus.") != std::string::npos;
    }
    // eicar.com, report-01 and unrepairable-2 are "Unrepairable": one notice.
    EXPECT_EQ(nUnrep, 1);
    EXPECT_EQ(nSuspected, 1);
    EXPECT_TRUE(bShotProgress);
    CResultRows& rows = dlg.GetRows();
    for (int i = 0; i < rows.GetItemCount(); ++i) {
        if (rows.GetItemText(i, RESULT_COL_PATH).find("report-00-repairable.exe") != std::string::npos) {
            EXPECT_EQ(rows.GetItemText(i, RESULT_COL_STATUS), "Repaired");
        }
    }
}

TEST_F(ScanWindowTest, DoubleClickAnsweredNoThenYes) {
    CScanSession sessionDlg(m_pServices->Get());
    CScanDlg dlg(nullptr, sessionDlg);
    dlg.m_req = Request(false);
    int nRow = -1;
    CStepper steps;
    auto fnDoubleClick = [&] {
        wxListEvent event(wxEVT_LIST_ITEM_ACTIVATED, CScanDlg::IDC_RESULT_LIST);
        event.m_itemIndex = nRow;
        event.SetEventObject(dlg.GetResultList());
        dlg.GetResultList()->GetEventHandler()->ProcessEvent(event);
    };
    steps.Add([&] { return dlg.IsScanOver(); },
              [&] {
                  CResultRows& rows = dlg.GetRows();
                  for (int i = 0; i < rows.GetItemCount() && nRow < 0; ++i)
                      if (rows.GetItemText(i, RESULT_COL_PATH).find("report-00-repairable.exe") != std::string::npos)
                          nRow = i;
                  ASSERT_GE(nRow, 0);
                  m_nAnswer = wxNO;
                  fnDoubleClick();
                  EXPECT_EQ(rows.GetItemText(nRow, RESULT_COL_STATUS), "Repairable");
                  m_nAnswer = wxYES;
                  fnDoubleClick();
                  EXPECT_EQ(rows.GetItemText(nRow, RESULT_COL_STATUS), "Repaired");
                  ClickButton(&dlg, wxID_CANCEL);
              });
    steps.Begin();
    dlg.ShowModal();
    ASSERT_TRUE(steps.IsDone());
    EXPECT_EQ(Count("DovErad|" + m_strTree + "/report-00-repairable.exe\nDo you want to repair it in safety?"), 2);
}

TEST_F(ScanWindowTest, ClosingWritesTheRecordsAndNotifiesTheAgent) {
    CPrivateBus bus;
    ASSERT_FALSE(bus.Address().empty());
    CTestAgent agent(bus.Address(), "com.kestrum.Pelmora.TestAgent");
    ASSERT_TRUE(agent.Owns());
    std::string strInfo = m_dir / "xdg/Kestrum/Pelmora/Info";
    ASSERT_EQ(system(("mkdir -p '" + strInfo + "'").c_str()), 0);
    CTempDir::WriteFile(strInfo + "/AGENT_WinClass", "com.kestrum.Pelmora.TestAgent");

    CScanSession sessionDlg(m_pServices->Get());

    CScanDlg dlg(nullptr, sessionDlg);
    dlg.m_req = Request(false);
    CStepper steps;
    steps.Add([&] { return dlg.IsScanOver(); }, [&] { ClickButton(&dlg, wxID_CANCEL); });
    steps.Begin();
    dlg.ShowModal();
    int nRows = dlg.GetRows().GetItemCount();
    ASSERT_GT(nRows, 0);
    std::vector<CTestAgent::SCall> arCalls = agent.Calls();
    ASSERT_EQ(arCalls.size(), 1u);
    EXPECT_EQ(arCalls[0].nMessage, 0x0BD0u);
    EXPECT_EQ(arCalls[0].nLParam, nRows);
    std::string strLog = m_dir / "config/Kestrum/Pelmora/Client/EventLog/";
    char szName[16];
    snprintf(szName, sizeof szName, "%07d", nRows - 1);
    EXPECT_FALSE(CTempDir::ReadFile(strLog + szName).empty());

    // Enter ends the dialog without records.
    CTempDir::RemoveTree(m_dir / "config");
    CScanSession sessionQuiet(m_pServices->Get());
    CScanDlg quiet(nullptr, sessionQuiet);
    quiet.m_req = Request(false);
    CStepper enter;
    enter.Add([&] { return quiet.IsScanOver(); }, [&] { ClickButton(&quiet, wxID_OK); });
    enter.Begin();
    EXPECT_EQ(quiet.ShowModal(), wxID_OK);
    EXPECT_EQ(agent.Calls().size(), 1u);
    EXPECT_TRUE(CTempDir::ReadFile(strLog + "0000000").empty());
}

// Opens the rows' menu over a row with a real right click.
void RightClickRow(CScanDlg& dlg, int nRow) {
    CResultList* pList = dlg.GetResultList();
    pList->EnsureVisible(nRow);
    wxRect rcRow;
    ASSERT_TRUE(pList->GetItemRect(nRow, rcRow));
    dlg.Raise();
    wxUIActionSimulator sim;
    sim.MouseMove(pList->ClientToScreen(wxPoint(rcRow.x + rcRow.width / 2, rcRow.y + rcRow.height / 2)));
    sim.MouseClick(wxMOUSE_BTN_RIGHT);
}

TEST_F(ScanWindowTest, RowMenuQuarantinesAndSkipsRepairedRows) {
    CScanSession sessionDlg(m_pServices->Get());
    CScanDlg dlg(nullptr, sessionDlg);
    dlg.m_req = Request(false);
    int nUnrep = -1, nRepairable = -1;
    bool bQuarantineOffered = true;
    CStepper steps;
    steps.Add([&] { return dlg.IsScanOver(); },
              [&] {
                  CResultRows& rows = dlg.GetRows();
                  for (int i = 0; i < rows.GetItemCount(); ++i) {
                      const std::string strPath = rows.GetItemText(i, RESULT_COL_PATH);
                      if (strPath == m_strTree + "/report-01-unrepairable.com")
                          nUnrep = i;
                      if (strPath == m_strTree + "/report-00-repairable.exe")
                          nRepairable = i;
                  }
                  ASSERT_GE(nUnrep, 0);
                  ASSERT_GE(nRepairable, 0);
                  RightClickRow(dlg, nUnrep);
              });
    steps.Add([&] { return dlg.GetOpenMenu() != nullptr; },
              [&] {
                  SaveScreenshot(&dlg, "result-menu");
                  wxUIActionSimulator sim;
                  sim.Char('q');
              });
    steps.Add([&] { return !dlg.GetOpenMenu() && dlg.GetRows().GetItemText(nUnrep, RESULT_COL_STATUS) == "Quarantined"; },
              [&] {
                  // Repaired by the double-click's road, then the Menu key over it.
                  dlg.GetRows().SetSelected(nRepairable);
                  wxListEvent event(wxEVT_LIST_ITEM_ACTIVATED, CScanDlg::IDC_RESULT_LIST);
                  event.m_itemIndex = nRepairable;
                  event.SetEventObject(dlg.GetResultList());
                  dlg.GetResultList()->GetEventHandler()->ProcessEvent(event);
                  ASSERT_EQ(dlg.GetRows().GetItemText(nRepairable, RESULT_COL_STATUS), "Repaired");
                  CResultList* pList = dlg.GetResultList();
                  pList->SetItemState(nUnrep, 0, wxLIST_STATE_SELECTED);
                  pList->SetItemState(nRepairable, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                                      wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
                  dlg.Raise();
                  pList->SetFocus();
                  wxUIActionSimulator sim;
                  sim.Char(WXK_MENU);
              });
    steps.Add([&] { return dlg.GetOpenMenu() != nullptr; },
              [&] {
                  bQuarantineOffered = dlg.GetOpenMenu()->IsEnabled(CScanDlg::IDM_ROW_QUARANTINE);
                  wxUIActionSimulator sim;
                  sim.Char(WXK_ESCAPE);
              });
    steps.Add([&] { return !dlg.GetOpenMenu(); }, [&] { ClickButton(&dlg, wxID_CANCEL); });
    steps.Begin();
    dlg.ShowModal();
    ASSERT_TRUE(steps.IsDone());
    EXPECT_FALSE(bQuarantineOffered);
    // The file went into the work folder's store, with its record.
    struct stat st;
    EXPECT_NE(lstat((m_strTree + "/report-01-unrepairable.com").c_str(), &st), 0);
    CBackupStore store(dlg.m_req.szWorkDir);
    bool bInStore = false;
    for (const CBackupBinItem& item : store.ListBackups())
        bInStore = bInStore || (item.bQuarantined && item.info.strName == "report-01-unrepairable.com");
    EXPECT_TRUE(bInStore);
}

}  // namespace
