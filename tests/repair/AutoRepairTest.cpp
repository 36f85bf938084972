// The automatic road: a repairable finding cleaned during the scan, with
// backups, the access test and the cleaning outcomes.

#include <gtest/gtest.h>

#include <algorithm>

#include "fakes/FakeScanWorld.h"
#include "repair/RepairRoads.h"
#include "scan/ResultRows.h"
#include "scan/Scanner.h"

namespace {

using SLayer = CFakeEngine::SLayer;

class AutoRepairTest : public ::testing::Test {
protected:
    CFakeDirLister m_lister;
    CFakeDrives m_drives;
    CFakeFileAccess m_access;
    CFakeScanView m_view;
    CFakeEngine m_engine;
    CFakeBackupWriter m_backup;
    CResultRows m_rows;
    SCANREQUEST m_req;

    AutoRepairTest() {
        m_req.arTopNames = {"Computer", "Network", "Home"};
        m_req.arTargets = {"/t"};
        m_req.nLastBackupNo = 12;
    }
    CScanEnv Env() { return CScanEnv{&m_engine, &m_lister, &m_drives, &m_access, &m_view, &m_rows, &m_backup}; }
    CScanner Scan() {
        CScanner scanner(m_req, Env());
        scanner.RunScan();
        return scanner;
    }
    std::string Status(int nRow) const { return m_rows.GetItemText(nRow, RESULT_COL_STATUS); }
    std::string Virus(int nRow) const { return m_rows.GetItemText(nRow, RESULT_COL_VIRUS); }
};

TEST_F(AutoRepairTest, OneCleaningEndsRepairedAndIsBackedUpFirst) {
    m_lister.AddPath("/t/a.exe");
    m_engine.SetLayers("/t/a.exe", {{0, "Alpha", 1}});
    CScanner scanner = Scan();
    ASSERT_EQ(m_rows.GetItemCount(), 1);
    EXPECT_EQ(Status(0), "Repaired");
    EXPECT_FALSE(m_rows.GetCheck(0));
    EXPECT_EQ(m_view.m_mapLabels[LABEL_INFECTED], "1");
    // The start number was 12: the first backup is 13.
    EXPECT_EQ(m_backup.m_arCalls, (std::vector<CFakeBackupWriter::SCall>{{13, "/t", "a.exe"}}));
    EXPECT_EQ(scanner.GetLastBackupNo(), 13u);
    EXPECT_TRUE(m_engine.m_mapOpen.empty());
    // The backup comes before the cleaning.
    auto itRecover = std::find(m_engine.m_arCalls.begin(), m_engine.m_arCalls.end(), "recover:1");
    EXPECT_NE(itRecover, m_engine.m_arCalls.end());
}

TEST_F(AutoRepairTest, NestedInfectionIsOverlappedAndGetsARowOfItsOwn) {
    m_lister.AddPath("/t/a.exe");
    m_lister.AddPath("/t/b.exe");
    m_engine.SetLayers("/t/a.exe", {{0, "Outer", 1}, {0, "Inner", 1}});
    m_engine.SetInfected("/t/b.exe", 3, "Other");
    CScanner scanner = Scan();
    ASSERT_EQ(m_rows.GetItemCount(), 3);
    EXPECT_EQ(Status(0), "Overlapped");
    EXPECT_EQ(Virus(0), "Inner");
    EXPECT_EQ(Status(1), "Repaired");
    EXPECT_EQ(Virus(1), "Inner");
    EXPECT_EQ(m_rows.GetItemText(1, RESULT_COL_NUM), "2");
    EXPECT_EQ(m_rows.GetItemText(1, RESULT_COL_PATH), "/t/a.exe");
    // The next file starts afresh and is untouched by the earlier cleaning.
    EXPECT_EQ(Status(2), "Suspected");
    EXPECT_EQ(scanner.GetInfected(), 3);
    // A fresh backup, under the next number, before every attempt.
    EXPECT_EQ(m_backup.m_arCalls.size(), 2u);
    EXPECT_EQ(m_backup.m_arCalls[1].nNumber, 14u);
    EXPECT_TRUE(m_engine.m_mapOpen.empty());
}

TEST_F(AutoRepairTest, OutcomesThatEndTheAttempt) {
    for (const char* psz : {"/t/fail.exe", "/t/crypt.exe", "/t/other.exe", "/t/unrep.exe", "/t/second.exe"})
        m_lister.AddPath(psz);
    m_engine.SetLayers("/t/fail.exe", {{0, "F", 3}});
    m_engine.SetLayers("/t/crypt.exe", {{0, "C", 4}});
    m_engine.SetLayers("/t/other.exe", {{0, "O", 7}});
    m_engine.SetLayers("/t/unrep.exe", {{1, "U", 1}});
    // Cleaned once, then the inner infection will not clean.
    m_engine.SetLayers("/t/second.exe", {{0, "S1", 1}, {0, "S2", 3}});
    Scan();
    ASSERT_EQ(m_rows.GetItemCount(), 6);
    EXPECT_EQ(Status(0), "Repair after decryption ");
    EXPECT_EQ(Status(1), "Fail to repair");
    EXPECT_EQ(Status(2), "Repairable");
    EXPECT_EQ(Status(3), "Overlapped");
    EXPECT_EQ(Status(4), "Fail to repair");
    EXPECT_EQ(Status(5), "Unrepairable");
    EXPECT_EQ(m_engine.CountCalls("recover:"), 5);
    EXPECT_TRUE(m_engine.m_mapOpen.empty());
}

TEST_F(AutoRepairTest, AccessDeniedPutsTheModeBack) {
    m_lister.AddPath("/t/ro.exe");
    m_engine.SetLayers("/t/ro.exe", {{0, "R", 1}});
    // Readable, never writable, whatever the retry does.
    struct CWriteDenied : CFakeFileAccess {
        bool Access(const std::string& strPath, bool bWrite) override { return !bWrite; }
    } access;
    access.m_mapModes["/t/ro.exe"] = 0444;
    CScanner scanner(m_req, CScanEnv{&m_engine, &m_lister, &m_drives, &access, &m_view, &m_rows, &m_backup});
    scanner.RunScan();
    ASSERT_EQ(m_rows.GetItemCount(), 1);
    EXPECT_EQ(Status(0), "Access denied");
    EXPECT_EQ(access.Mode("/t/ro.exe"), 0444u);
    EXPECT_EQ(m_engine.CountCalls("recover:"), 0);
    EXPECT_TRUE(m_engine.m_mapOpen.empty());
    // Backed up all the same: the backup comes first.
    EXPECT_EQ(m_backup.m_arCalls.size(), 1u);
}

TEST_F(AutoRepairTest, FaultsInTheCleaningCallAndInTheProbeAfterIt) {
    m_lister.AddPath("/t/a.exe");
    m_lister.AddPath("/t/b.exe");
    m_lister.AddPath("/t/c.exe");
    m_engine.SetLayers("/t/a.exe", {{0, "A", 1}});
    m_engine.m_mapFiles["/t/a.exe"].bRecoverFaults = true;
    m_engine.SetLayers("/t/b.exe", {{0, "B", 1}});
    m_engine.m_mapFiles["/t/b.exe"].bReprobeFaults = true;
    m_engine.SetLayers("/t/c.exe", {{0, "C", 1}});
    Scan();
    ASSERT_EQ(m_rows.GetItemCount(), 3);
    EXPECT_EQ(Status(0), "Repairable");
    // Cleaned, but the engine failed to say whether it is clean now.
    EXPECT_EQ(Status(1), "Repairable");
    EXPECT_EQ(Status(2), "Repaired");
    // The faulted handle is never closed or asked again.
    EXPECT_EQ(m_engine.CountCalls("close:1"), 0);
    EXPECT_EQ(m_engine.CountCalls("name:1"), 1);
}

TEST_F(AutoRepairTest, BackupRuleFollowsTheOptionAndTheOfficeExtensions) {
    m_req.bBackup = false;
    for (const char* psz : {"/t/a.Doc", "/t/b.TXT", "/t/c.exe", "/t/d.xlsx"})
        m_lister.AddPath(psz);
    for (const char* psz : {"/t/a.Doc", "/t/b.TXT", "/t/c.exe", "/t/d.xlsx"})
        m_engine.SetLayers(psz, {{0, "V", 1}});
    m_req.bAllFiles = true;
    Scan();
    EXPECT_EQ(m_rows.GetItemCount(), 4);
    EXPECT_EQ(m_backup.m_arCalls, (std::vector<CFakeBackupWriter::SCall>{{13, "/t", "a.Doc"}, {14, "/t", "d.xlsx"}}));

    // With automatic repair off nothing is cleaned or backed up.
    m_backup.m_arCalls.clear();
    m_rows = CResultRows();
    m_req.bAutoRepair = false;
    m_req.bBackup = true;
    m_lister.AddPath("/u/c.exe");
    m_engine.SetLayers("/u/c.exe", {{0, "V", 1}});
    m_req.arTargets = {"/u"};
    Scan();
    EXPECT_EQ(Status(0), "Repairable");
    EXPECT_TRUE(m_backup.m_arCalls.empty());
}

TEST_F(AutoRepairTest, NumbersGoOnAcrossScansAndFailedBackupsUseTheirs) {
    m_lister.AddPath("/t/a.exe");
    m_lister.AddPath("/t/b.exe");
    m_engine.SetLayers("/t/a.exe", {{0, "A", 1}});
    m_engine.SetLayers("/t/b.exe", {{0, "B", 1}});
    m_backup.m_bFail = true;
    CScanner first = Scan();
    EXPECT_EQ(first.GetLastBackupNo(), 14u);
    // No cleaning without its copy: the file stays as it was.
    EXPECT_EQ(Status(0), "Fail to repair");
    EXPECT_EQ(Status(1), "Fail to repair");
    EXPECT_EQ(m_engine.m_mapFiles["/t/a.exe"].nCleanings, 0);

    m_req.nLastBackupNo = first.GetLastBackupNo();
    m_engine.SetLayers("/t/a.exe", {{0, "A", 1}});
    m_engine.m_mapFiles["/t/a.exe"].nCleanings = 0;
    m_lister.m_mapFolders["/t"].pop_back();
    m_backup.m_bFail = false;
    CScanner second = Scan();
    EXPECT_EQ(second.GetLastBackupNo(), 15u);
    EXPECT_EQ(m_backup.m_arCalls.back().nNumber, 15u);
}

TEST_F(AutoRepairTest, AnEngineThatNeverCleansForGoodIsCapped) {
    m_lister.AddPath("/t/a.exe");
    std::vector<SLayer> arLayers(200, SLayer{0, "Again", 1});
    m_engine.SetLayers("/t/a.exe", arLayers);
    Scan();
    EXPECT_EQ(m_rows.GetItemCount(), MAX_REPAIR_PASSES + 1);
    EXPECT_TRUE(m_engine.m_mapOpen.empty());
}

TEST_F(AutoRepairTest, AFaultInAnyCallEndsTheFilesHandling) {
    // Closing hangs each time: the second layer is never probed, on the
    // scan's road and on the Repair pass alike.
    m_lister.AddPath("/t/a.exe");
    m_engine.SetLayers("/t/a.exe", {{0, "A", 1}, {0, "B", 1}, {0, "C", 1}});
    m_engine.m_mapFiles["/t/a.exe"].bCloseFaults = true;
    CScanner scanner = Scan();
    EXPECT_EQ(m_engine.CountCalls("probe:"), 1);
    EXPECT_EQ(m_engine.CountCalls("recover:"), 1);
    EXPECT_EQ(m_rows.GetItemCount(), 1);
    EXPECT_EQ(Status(0), "Repairable");

    CQuietRepairView quiet;
    CRepairRoads roads(scanner, quiet);
    m_rows.SetCheck(0, true);
    roads.OnRepair();
    EXPECT_EQ(m_engine.CountCalls("recover:"), 2);
    EXPECT_EQ(m_engine.CountCalls("probe:"), 2);
}

TEST_F(AutoRepairTest, OwnerBitsTheRetryAddedStayUntilTheEngineIsDone) {
    // An ordinary user's own file at mode 000: scanned and cleaned, and its
    // mode is exactly 000 again afterwards.
    m_lister.AddPath("/t/locked.exe");
    m_engine.SetLayers("/t/locked.exe", {{0, "L", 1}});
    struct CLoggedAccess : CFakeFileAccess {
        std::vector<std::string>* pLog = nullptr;
        bool SetMode(const std::string& strPath, uint32_t nMode) override {
            pLog->push_back("mode:" + std::to_string(nMode));
            return CFakeFileAccess::SetMode(strPath, nMode);
        }
    } access;
    access.pLog = &m_engine.m_arCalls;
    access.m_setDenied = {"/t/locked.exe"};
    access.m_setGrantedOnChmod = {"/t/locked.exe"};
    access.m_mapModes["/t/locked.exe"] = 0;
    CScanner scanner(m_req, CScanEnv{&m_engine, &m_lister, &m_drives, &access, &m_view, &m_rows, &m_backup});
    scanner.RunScan();
    EXPECT_EQ(Status(0), "Repaired");
    EXPECT_EQ(access.Mode("/t/locked.exe"), 0u);
    const std::vector<std::string>& arCalls = m_engine.m_arCalls;
    auto Index = [&](const std::string& str) { return std::find(arCalls.begin(), arCalls.end(), str) - arCalls.begin(); };
    EXPECT_LT(Index("mode:384"), Index("format:/t/locked.exe"));
    EXPECT_LT(Index("recover:1"), Index("mode:0"));
    EXPECT_EQ(arCalls.back(), "mode:0");
}

}  // namespace
