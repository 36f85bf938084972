// Automatic repair with the real host, engine and backup store: rows,
// counters, backups on disk that give the original bytes back.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "fakes/FakeScanWorld.h"
#include "fakes/TempDir.h"
#include "fakes/WriteNumbered.h"
#include "fakes/TestPaths.h"
#include "platform/BackupStore.h"
#include "platform/HostEngine.h"
#include "platform/MountTable.h"
#include "platform/PosixDirLister.h"
#include "platform/PosixFileAccess.h"
#include "repair/RepairRoads.h"
#include "scan/ResultRows.h"
#include "tools/samples/SampleWriter.h"

using namespace quillet::samples;

namespace {

TEST(RepairIntegrationTest, ScanCleansBacksUpAndTheBackupsRestore) {
    CTempDir dir;
    std::string strTree = dir / "tree";
    std::string strWork = dir / "Palisar";
    mkdir(strTree.c_str(), 0755);
    mkdir(strWork.c_str(), 0700);
    const std::string strNested = "a " + TestMarker(0, 1, "Outer") + " b " + TestMarker(0, 1, "Inner") + " c";
    CTempDir::WriteFile(strTree + "/nested.exe", strNested);
    CTempDir::WriteFile(strTree + "/crypt.doc", TestMarker(0, 4, "Crypt"));
    CTempDir::WriteFile(strTree + "/stuck.exe", TestMarker(0, 3, "Stuck"));
    CTempDir::WriteFile(strTree + "/plain.exe", "x" + TestMarker(0, 1, "Plain"), 0444);

    SHostOptions options;
    options.strHostPath = BinDir() + "/farsend-host";
    CHostEngine engine(options);
    ASSERT_EQ(engine.Load(), ENGINE_LOAD_OK);
    CPosixDirLister lister;
    CMountTable drives;
    CPosixFileAccess access;
    CFakeScanView view;
    CResultRows rows;
    CBackupStore store(strWork);
    SCANREQUEST req;
    req.arTopNames = {"Computer", "Network", "Home"};
    req.arTargets = {strTree};
    req.nLastBackupNo = 12;
    req.szWorkDir = strWork;
    CScanner scanner(req, CScanEnv{&engine, &lister, &drives, &access, &view, &rows, &store});
    scanner.RunScan();

    ASSERT_EQ(rows.GetItemCount(), 5);
    auto Row = [&](int i) {
        return rows.GetItemText(i, RESULT_COL_VIRUS) + "|" + rows.GetItemText(i, RESULT_COL_STATUS);
    };
    EXPECT_EQ(Row(0), "Crypt|Repair after decryption ");
    EXPECT_EQ(Row(1), "Inner|Overlapped");
    EXPECT_EQ(Row(2), "Inner|Repaired");
    // Read-only: the owner's bits the access test adds stay while the
    // engine cleans it, for root and an ordinary user alike.
    EXPECT_EQ(Row(3), "Plain|Repaired");
    EXPECT_EQ(Row(4), "Stuck|Fail to repair");
    EXPECT_EQ(view.m_mapLabels[LABEL_INFECTED], "5");
    EXPECT_EQ(CTempDir::ReadFile(strTree + "/nested.exe"), "a  b  c");
    struct stat st;
    stat((strTree + "/plain.exe").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0444u);

    // One backup before every attempt, numbered from 13.
    std::vector<CBackupEntry> arBackups = store.List();
    std::vector<std::string> arNames;
    for (const CBackupEntry& e : arBackups)
        arNames.push_back(e.strFileName + ":" + e.info.strName);
    EXPECT_EQ(arNames, (std::vector<std::string>{"00000013.Voc:crypt.doc", "00000014.Vxe:nested.exe",
                                                 "00000015.Vxe:nested.exe", "00000016.Vxe:plain.exe",
                                                 "00000017.Vxe:stuck.exe"}));
    EXPECT_EQ(scanner.GetLastBackupNo(), 17u);

    // The first backup of nested.exe holds the file as the scan found it.
    ASSERT_EQ(store.Restore("00000014.Vxe"), RESTORE_OK);
    EXPECT_EQ(CTempDir::ReadFile(strTree + "/nested.exe"), strNested);

    // The restored file, ticked and repaired from the list.
    CQuietRepairView quiet;
    CRepairRoads roads(scanner, quiet);
    rows.SetCheck(1, true);
    roads.OnRepair();
    EXPECT_EQ(Row(1), "Inner|Repaired");
    EXPECT_FALSE(rows.GetCheck(1));
    EXPECT_EQ(CTempDir::ReadFile(strTree + "/nested.exe"), "a  b  c");
    EXPECT_EQ(scanner.GetLastBackupNo(), 19u);
}

}  // namespace
