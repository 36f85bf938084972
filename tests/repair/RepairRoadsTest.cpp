// The Repair pass and the double-click over rows of a finished scan.

#include <gtest/gtest.h>

#include <functional>

#include "fakes/FakeScanWorld.h"
#include "repair/RepairRoads.h"
#include "scan/ResultRows.h"

namespace {

class CFakeRepairView : public IRepairView {
public:
    struct SNoticeAnswer {
        bool bOk;
        bool bDontShow;
    };
    std::vector<std::string> m_arNotices;
    std::vector<SNoticeAnswer> m_arAnswers;  // used in turn; then OK without a tick
    std::vector<std::string> m_arMessages;
    std::vector<std::string> m_arQuestions;
    bool m_bYes = true;
    std::vector<std::string> m_arProgress;
    int m_nRange = -1, m_nPos = -1, m_nOpen = 0, m_nClose = 0;
    std::function<void()> m_fnOnDrain;

    bool ShowNotice(const std::string& strMessage, bool* pbDontShow) override {
        SNoticeAnswer answer{true, false};
        if (m_arNotices.size() < m_arAnswers.size())
            answer = m_arAnswers[m_arNotices.size()];
        m_arNotices.push_back(strMessage);
        if (answer.bOk)
            *pbDontShow = answer.bDontShow;
        return answer.bOk;
    }
    void ShowMessage(const std::string& strText, const std::string& strCaption, EMessageIcon) override {
        m_arMessages.push_back(strCaption + ":" + strText);
    }
    bool AskYesNo(const std::string& strText, const std::string& strCaption) override {
        // The offer to move what a pass could not repair is answered apart.
        if (strText.find(" into the Backup Bin?") != std::string::npos) {
            m_arOffers.push_back(strText);
            return false;
        }
        m_arQuestions.push_back(strCaption + ":" + strText);
        return m_bYes;
    }
    std::vector<std::string> m_arOffers;
    void OpenProgress() override { ++m_nOpen; }
    void SetProgressRange(int nMax) override { m_nRange = nMax; }
    void SetProgressPos(int nPos) override { m_nPos = nPos; }
    void SetProgressText(const std::string& strText) override { m_arProgress.push_back(strText); }
    void CloseProgress() override { ++m_nClose; }
    void Drain() override {
        if (m_fnOnDrain)
            m_fnOnDrain();
    }
};

class RepairRoadsTest : public ::testing::Test {
protected:
    CFakeDirLister m_lister;
    CFakeDrives m_drives;
    CFakeFileAccess m_access;
    CFakeScanView m_scanView;
    CFakeEngine m_engine;
    CFakeBackupWriter m_backup;
    CResultRows m_rows;
    CFakeRepairView m_view;
    SCANREQUEST m_req;
    std::unique_ptr<CScanner> m_pScanner;
    std::unique_ptr<CRepairRoads> m_pRoads;

    // Rows as a scan without automatic repair leaves them.
    void AddRow(const std::string& strPath, EResultState eState, std::vector<CFakeEngine::SLayer> arLayers = {}) {
        m_rows.AddResultRow(m_rows.GetItemCount() + 1, strPath, "V", eState);
        if (!arLayers.empty())
            m_engine.SetLayers(strPath, std::move(arLayers));
    }
    CRepairRoads& Roads() {
        m_req.bAutoRepair = false;
        m_pScanner = std::make_unique<CScanner>(
            m_req, CScanEnv{&m_engine, &m_lister, &m_drives, &m_access, &m_scanView, &m_rows, &m_backup});
        m_pRoads = std::make_unique<CRepairRoads>(*m_pScanner, m_view);
        return *m_pRoads;
    }
    std::string Status(int nRow) const { return m_rows.GetItemText(nRow, RESULT_COL_STATUS); }
};

TEST_F(RepairRoadsTest, NothingTickedAsksForASelection) {
    AddRow("/t/a.exe", STATE_REPAIRABLE, {{0, "V", 1}});
    Roads().OnRepair();
    EXPECT_EQ(m_view.m_arMessages, std::vector<std::string>{"DovErad:Please select item."});
    EXPECT_EQ(m_view.m_nOpen, 0);
    EXPECT_EQ(Status(0), "Repairable");
}

TEST_F(RepairRoadsTest, PassRepairsTickedRowsInOrderWithProgress) {
    AddRow("/t/a.exe", STATE_REPAIRABLE, {{0, "A", 1}});
    AddRow("/t/b.exe", STATE_REPAIRABLE, {{0, "B", 1}});
    AddRow("/t/c.exe", STATE_REPAIRABLE, {{0, "C", 1}, {0, "C2", 1}});
    AddRow("/t/d.exe", STATE_REPAIRABLE, {{0, "D", 1}});
    m_engine.SetFormat("/t/d.exe", 12);
    for (int i : {0, 2, 3})
        m_rows.SetCheck(i, true);
    Roads().OnRepair();

    EXPECT_EQ(Status(0), "Repaired");
    EXPECT_FALSE(m_rows.GetCheck(0));
    EXPECT_EQ(Status(1), "Repairable");
    EXPECT_EQ(Status(2), "Repaired");
    EXPECT_EQ(m_rows.GetItemText(2, RESULT_COL_VIRUS), "C2");
    // Format 12: passed over without a word, the progress still moves.
    EXPECT_EQ(Status(3), "Repairable");
    EXPECT_TRUE(m_rows.GetCheck(3));
    EXPECT_EQ(m_view.m_arProgress, (std::vector<std::string>{"Repairing  : /t/a.exe", "Repairing  : /t/c.exe",
                                                             "Repairing  : /t/d.exe"}));
    EXPECT_EQ(m_view.m_nRange, 3);
    EXPECT_EQ(m_view.m_nPos, 3);
    EXPECT_EQ(m_view.m_nOpen, 1);
    EXPECT_EQ(m_view.m_nClose, 1);
    EXPECT_TRUE(m_view.m_arNotices.empty());
    // The pass adds no rows and changes no counter.
    EXPECT_EQ(m_rows.GetItemCount(), 4);
    // Backups before each attempt: a, then c twice.
    EXPECT_EQ(m_backup.m_arCalls.size(), 3u);
    EXPECT_TRUE(m_engine.m_mapOpen.empty());
}

TEST_F(RepairRoadsTest, NoticesAreSuppressedPerKindForOnePress) {
    AddRow("/t/u1.exe", STATE_UNREPAIRABLE, {{1, "U", 1}});
    AddRow("/t/s1.exe", STATE_SUSPECTED, {{3, "S", 1}});
    AddRow("/t/u2.exe", STATE_UNREPAIRABLE, {{1, "U", 1}});
    AddRow("/t/s2.exe", STATE_SUSPECTED, {{3, "S", 1}});
    AddRow("/t/ok.exe", STATE_OK);
    for (int i = 0; i < 5; ++i)
        m_rows.SetCheck(i, true);
    // First "Unrepairable": ticked and OK. First "Suspected": ticked but
    // closed with Escape, which leaves the kind unsuppressed.
    m_view.m_arAnswers = {{true, true}, {false, true}};
    CRepairRoads& roads = Roads();
    roads.OnRepair();
    ASSERT_EQ(m_view.m_arNotices.size(), 3u);
    EXPECT_EQ(m_view.m_arNotices[0], "/t/u1.exe\nThis file is unrepairable.");
    EXPECT_EQ(m_view.m_arNotices[1],
              "/t/s1.exe\nIt is suspected as a virus.\nPlease submit this file to Kestrum(samples@kestrum.example).");
    EXPECT_EQ(m_view.m_arNotices[2].substr(0, 10), "/t/s2.exe\n");

    // The next press starts with nothing suppressed.
    m_view.m_arNotices.clear();
    m_view.m_arAnswers.clear();
    roads.OnRepair();
    EXPECT_EQ(m_view.m_arNotices.size(), 4u);
}

TEST_F(RepairRoadsTest, RepairedNoticeUnticksOnlyWhenShown) {
    AddRow("/t/a.exe", STATE_REPAIRED);
    AddRow("/t/b.exe", STATE_REPAIRED);
    AddRow("/t/c.exe", STATE_AFTER_DECRYPTION, {{0, "C", 4}});
    AddRow("/t/d.exe", STATE_AFTER_DECOMPRESSION, {{5, "D", 1}});
    AddRow("/t/e.exe", STATE_NEW_VIRUS, {{2, "E", 1}});
    for (int i = 0; i < 5; ++i)
        m_rows.SetCheck(i, true);
    m_view.m_arAnswers = {{true, true}};
    Roads().OnRepair();
    EXPECT_EQ(m_view.m_arNotices[0], "/t/a.exe\nRepair is done.");
    EXPECT_FALSE(m_rows.GetCheck(0));
    // Suppressed: not shown, so still ticked; the engine finds it clean.
    EXPECT_TRUE(m_rows.GetCheck(1));
    EXPECT_EQ(Status(1), "Repaired");
    EXPECT_EQ(m_view.m_arNotices[1], "/t/c.exe\nThis file is encrypted.\nRepair the virus after decryption.");
    EXPECT_EQ(m_view.m_arNotices[2], "/t/d.exe\nRepair the virus after decompression.");
    EXPECT_EQ(m_view.m_arNotices[3], "/t/e.exe\nYou are infected New Virus!!\nPlease submit this file to "
                                     "Kestrum(samples@kestrum.example).");
    // Decided afresh by the engine: still encrypted.
    EXPECT_EQ(Status(2), "Repair after decryption ");
}

TEST_F(RepairRoadsTest, RepairFileAccessDeniedAndAlwaysBackupByPath) {
    m_req.bBackup = false;
    AddRow("/t/old.doc/readme", STATE_REPAIRABLE, {{0, "R", 1}});
    AddRow("/t/notes.txt", STATE_REPAIRABLE, {{0, "N", 1}});
    AddRow("/t/locked.exe", STATE_REPAIRABLE, {{0, "L", 1}});
    m_access.m_setDenied = {"/t/locked.exe"};
    m_access.m_mapModes["/t/locked.exe"] = 0400;
    for (int i = 0; i < 3; ++i)
        m_rows.SetCheck(i, true);
    Roads().OnRepair();
    EXPECT_EQ(m_backup.m_arCalls, (std::vector<CFakeBackupWriter::SCall>{{1, "/t/old.doc", "readme"}}));
    EXPECT_EQ(Status(0), "Repaired");
    EXPECT_EQ(Status(1), "Repaired");
    EXPECT_EQ(Status(2), "Access denied");
    EXPECT_EQ(m_access.Mode("/t/locked.exe"), 0400u);
}

TEST_F(RepairRoadsTest, DoubleClickAsksFirstAndShowsNoticesWithoutSuppression) {
    AddRow("/t/a.exe", STATE_REPAIRABLE, {{0, "A", 1}});
    AddRow("/t/b.exe", STATE_UNREPAIRABLE, {{1, "B", 1}});
    AddRow("/t/c.exe", STATE_OK);
    CRepairRoads& roads = Roads();
    roads.OnDblclkResultList();  // nothing selected
    EXPECT_TRUE(m_view.m_arQuestions.empty());

    m_rows.SetSelected(0);
    m_view.m_bYes = false;
    roads.OnDblclkResultList();
    EXPECT_EQ(m_view.m_arQuestions, std::vector<std::string>{"DovErad:/t/a.exe\nDo you want to repair it in safety?"});
    EXPECT_EQ(Status(0), "Repairable");
    EXPECT_EQ(m_engine.CountCalls("probe:"), 0);
    m_view.m_bYes = true;
    roads.OnDblclkResultList();
    EXPECT_EQ(Status(0), "Repaired");

    m_rows.SetSelected(1);
    roads.OnDblclkResultList();
    roads.OnDblclkResultList();
    EXPECT_EQ(m_view.m_arMessages, (std::vector<std::string>{"DovErad:/t/b.exe\nThis file is unrepairable.",
                                                             "DovErad:/t/b.exe\nThis file is unrepairable."}));
    m_rows.SetSelected(2);
    roads.OnDblclkResultList();
    EXPECT_EQ(m_view.m_arMessages.size(), 2u);
    EXPECT_TRUE(m_view.m_arNotices.empty());
}

TEST_F(RepairRoadsTest, NothingStartsWhileAPassRuns) {
    AddRow("/t/a.exe", STATE_REPAIRABLE, {{0, "A", 1}});
    AddRow("/t/b.exe", STATE_REPAIRABLE, {{0, "B", 1}});
    m_rows.SetCheck(0, true);
    m_rows.SetCheck(1, true);
    CRepairRoads& roads = Roads();
    int nNested = 0;
    // A press of Repair and a double-click arrive while the pass drains.
    m_view.m_fnOnDrain = [&]() {
        EXPECT_TRUE(roads.IsBusy());
        m_rows.SetSelected(1);
        roads.OnRepair();
        roads.OnDblclkResultList();
        ++nNested;
    };
    roads.OnRepair();
    EXPECT_EQ(nNested, 2);
    EXPECT_EQ(m_view.m_nOpen, 1);
    EXPECT_TRUE(m_view.m_arQuestions.empty());
    EXPECT_FALSE(roads.IsBusy());
}

TEST_F(RepairRoadsTest, OutcomesFaultsAndAFailedBackupOnTheRepairPass) {
    AddRow("/t/fail.exe", STATE_REPAIRABLE, {{0, "F", 3}});
    AddRow("/t/other.exe", STATE_REPAIRABLE, {{0, "O", 7}});
    AddRow("/t/over.exe", STATE_REPAIRABLE, {{0, "V1", 1}, {1, "V2", 1}});
    AddRow("/t/crash.exe", STATE_REPAIRABLE, {{0, "C", 1}});
    AddRow("/t/reprobe.exe", STATE_REPAIRABLE, {{0, "R", 1}});
    AddRow("/t/nobackup.exe", STATE_REPAIRABLE, {{0, "N", 1}});
    AddRow("/t/gone.exe", STATE_REPAIRABLE, {{0, "G", 1}});
    m_engine.m_mapFiles["/t/crash.exe"].bRecoverFaults = true;
    m_engine.m_mapFiles["/t/reprobe.exe"].bReprobeFaults = true;
    // A link or something else in the row's place by the time of the pass.
    m_access.m_setNotFiles = {"/t/gone.exe"};
    m_backup.m_fnOnWrite = [&] {
        m_backup.m_bFail = m_backup.m_arCalls.back().strName == "nobackup.exe";
    };
    for (int i = 0; i < m_rows.GetItemCount(); ++i)
        m_rows.SetCheck(i, true);
    Roads().OnRepair();

    EXPECT_EQ(Status(0), "Fail to repair");
    EXPECT_EQ(Status(1), "Repairable");
    // Cleaned once, then a layer that cannot be cleaned: it ends "Overlapped".
    EXPECT_EQ(Status(2), "Overlapped");
    EXPECT_EQ(m_rows.GetItemText(2, RESULT_COL_VIRUS), "V2");
    // A fault in the cleaning or in the probe after it says nothing about
    // the file: the row is left as it was.
    EXPECT_EQ(Status(3), "Repairable");
    EXPECT_EQ(Status(4), "Repairable");
    EXPECT_EQ(Status(5), "Fail to repair");
    EXPECT_EQ(m_engine.m_mapFiles["/t/nobackup.exe"].nCleanings, 0);
    EXPECT_EQ(Status(6), "Fail to repair");
    EXPECT_EQ(m_engine.m_mapFiles["/t/gone.exe"].nCleanings, 0);
    EXPECT_TRUE(m_engine.m_mapOpen.empty());
}

}  // namespace
