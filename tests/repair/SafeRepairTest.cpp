// What the walk hands on, what is backed up and what is cleaned is the very
// file the walk met: folders and files swapped for links at the exact
// moment (a hook in the listing or the backup writer) are never followed.

#include <gtest/gtest.h>

#include <stdio.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "fakes/FakeScanWorld.h"
#include "fakes/OrdinaryUser.h"
#include "fakes/TempDir.h"
#include "fakes/TestPaths.h"
#include "platform/AllowListFile.h"
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

// The real listing, with a moment to change the disk once a folder is read.
class CHookedLister : public CPosixDirLister {
public:
    std::map<std::string, std::function<void()>> m_mapAfter;
    bool ListFolder(const std::string& strFolder, bool bFollowLink, CDirListing& listing,
                    const CFileId* pExpect) override {
        bool bOk = CPosixDirLister::ListFolder(strFolder, bFollowLink, listing, pExpect);
        auto it = m_mapAfter.find(strFolder);
        if (it != m_mapAfter.end())
            it->second();
        return bOk;
    }
};

class SafeRepairTest : public ::testing::Test {
protected:
    CTempDir m_dir;
    std::string m_strTree, m_strOutside;
    CHostEngine m_engine{[] {
        SHostOptions options;
        options.strHostPath = BinDir() + "/farsend-host";
        return options;
    }()};
    CHookedLister m_lister;
    CMountTable m_drives;
    CPosixFileAccess m_access;
    CFakeScanView m_view;
    CResultRows m_rows;
    std::unique_ptr<CBackupStore> m_pStore;
    SCANREQUEST m_req;

    void SetUp() override {
        m_strTree = m_dir / "tree";
        m_strOutside = m_dir / "outside";
        mkdir(m_strTree.c_str(), 0755);
        mkdir(m_strOutside.c_str(), 0755);
        mkdir((m_dir / "Palisar").c_str(), 0700);
        m_pStore = std::make_unique<CBackupStore>(m_dir / "Palisar");
        ASSERT_EQ(m_engine.Load(), ENGINE_LOAD_OK);
        m_req.arTopNames = {"Computer", "Network", "Home"};
        m_req.arTargets = {m_strTree};
    }
    static std::string Infected(const std::string& strName) { return "x" + TestMarker(0, 1, strName) + "y"; }
    // Puts a link to strTarget where strPath was, keeping what was there aside.
    static void SwapForLink(const std::string& strPath, const std::string& strTarget) {
        ASSERT_EQ(rename(strPath.c_str(), (strPath + ".old").c_str()), 0);
        ASSERT_EQ(symlink(strTarget.c_str(), strPath.c_str()), 0);
    }
    IAllowList* m_pAllow = nullptr;
    std::unique_ptr<CScanner> Scan() {
        CScanEnv env{&m_engine, &m_lister, &m_drives, &m_access, &m_view, &m_rows, m_pStore.get()};
        env.pAllow = m_pAllow;
        auto pScanner = std::make_unique<CScanner>(m_req, env);
        pScanner->RunScan();
        return pScanner;
    }
    std::string Rows() const {
        std::string str;
        for (int i = 0; i < m_rows.GetItemCount(); ++i)
            str += m_rows.GetItemText(i, RESULT_COL_PATH) + "|" + m_rows.GetItemText(i, RESULT_COL_VIRUS) + "|" +
                   m_rows.GetItemText(i, RESULT_COL_STATUS) + "\n";
        return str;
    }
};

TEST_F(SafeRepairTest, TheWalkNeverEntersOrHandsOnWhatWasSwappedForALink) {
    mkdir((m_strTree + "/sub").c_str(), 0755);
    CTempDir::WriteFile(m_strTree + "/sub/in.exe", Infected("In"));
    CTempDir::WriteFile(m_strTree + "/z.exe", Infected("Z"));
    CTempDir::WriteFile(m_strTree + "/y.exe", Infected("Y"));
    CTempDir::WriteFile(m_strOutside + "/in.exe", Infected("OutIn"));
    CTempDir::WriteFile(m_strOutside + "/z.exe", Infected("OutZ"));
    m_lister.m_mapAfter[m_strTree] = [&] {
        SwapForLink(m_strTree + "/sub", m_strOutside);
        SwapForLink(m_strTree + "/z.exe", m_strOutside + "/z.exe");
        // Saved anew in its place: another file, but the same folder's.
        unlink((m_strTree + "/y.exe").c_str());
        CTempDir::WriteFile(m_strTree + "/y.exe", Infected("Y2"));
    };
    m_req.bAutoRepair = true;
    auto pScanner = Scan();
    EXPECT_EQ(Rows(), m_strTree + "/y.exe|Y2|Repaired\n");
    EXPECT_EQ(CTempDir::ReadFile(m_strOutside + "/in.exe"), Infected("OutIn"));
    EXPECT_EQ(CTempDir::ReadFile(m_strOutside + "/z.exe"), Infected("OutZ"));
    EXPECT_EQ(pScanner->GetScanned(), 2);
    ASSERT_EQ(m_pStore->List().size(), 1u);
    EXPECT_EQ(m_pStore->List()[0].info.strName, "y.exe");
}

TEST_F(SafeRepairTest, RepairCleansOnlyTheFileItBackedUp) {
    // A link planted in the row's place, or in place of its folder, after the
    // scan: the Repair pass cleans nothing outside and says so.
    mkdir((m_strTree + "/d").c_str(), 0755);
    CTempDir::WriteFile(m_strTree + "/a.exe", Infected("A"));
    CTempDir::WriteFile(m_strTree + "/d/b.exe", Infected("B"));
    CTempDir::WriteFile(m_strOutside + "/t.exe", Infected("T"));
    CTempDir::WriteFile(m_strOutside + "/b.exe", Infected("OutB"));
    m_req.bAutoRepair = false;
    auto pScanner = Scan();
    ASSERT_EQ(m_rows.GetItemCount(), 2);
    SwapForLink(m_strTree + "/a.exe", m_strOutside + "/t.exe");
    SwapForLink(m_strTree + "/d", m_strOutside);
    CQuietRepairView quiet;
    CRepairRoads roads(*pScanner, quiet);
    m_rows.SetCheck(0, true);
    m_rows.SetCheck(1, true);
    roads.OnRepair();
    EXPECT_EQ(Rows(), m_strTree + "/a.exe|A|Fail to repair\n" + m_strTree + "/d/b.exe|B|Fail to repair\n");
    EXPECT_EQ(CTempDir::ReadFile(m_strOutside + "/t.exe"), Infected("T"));
    EXPECT_EQ(CTempDir::ReadFile(m_strOutside + "/b.exe"), Infected("OutB"));
    EXPECT_TRUE(m_pStore->List().empty());

    // Swapped after its backup was read: the backup stays, the file the
    // link points to is not cleaned.
    unlink((m_strTree + "/a.exe").c_str());
    rename((m_strTree + "/a.exe.old").c_str(), (m_strTree + "/a.exe").c_str());
    m_pStore->m_fnTestHook = [&](const char* pszStage) {
        if (std::string(pszStage) == "claim")
            SwapForLink(m_strTree + "/a.exe", m_strOutside + "/t.exe");
    };
    m_rows.SetCheck(1, false);
    m_rows.SetState(0, STATE_REPAIRABLE);
    roads.OnRepair();
    EXPECT_EQ(m_rows.GetItemText(0, RESULT_COL_STATUS), "Fail to repair");
    EXPECT_EQ(CTempDir::ReadFile(m_strOutside + "/t.exe"), Infected("T"));
    EXPECT_EQ(CTempDir::ReadFile(m_strTree + "/a.exe.old"), Infected("A"));
    ASSERT_EQ(m_pStore->List().size(), 1u);
}

TEST_F(SafeRepairTest, ATargetReachedThroughALinkIsWalkedAtItsRealPathAndRestores) {
    CTempDir::WriteFile(m_strTree + "/a.exe", Infected("A"));
    const std::string strLink = m_dir / "linked";
    ASSERT_EQ(symlink(m_strTree.c_str(), strLink.c_str()), 0);
    m_req.arTargets = {strLink};
    m_req.bAutoRepair = true;
    Scan();
    EXPECT_EQ(Rows(), m_strTree + "/a.exe|A|Repaired\n");
    ASSERT_EQ(m_pStore->List().size(), 1u);
    EXPECT_EQ(m_pStore->List()[0].info.strFolder, m_strTree);
    ASSERT_EQ(m_pStore->Restore(m_pStore->List()[0].strFileName), RESTORE_OK);
    EXPECT_EQ(CTempDir::ReadFile(m_strTree + "/a.exe"), Infected("A"));
}

TEST_F(SafeRepairTest, NoBackupNoCleaning) {
    // A folder too long for the backup's header, and a work folder that is
    // not ours to use: the file stays byte-identical, on the scan's road and
    // on the double-click's.
    std::string strDeep = m_strTree;
    while (strDeep.size() < 250) {
        strDeep += "/dddddddddddddddddddd";
        mkdir(strDeep.c_str(), 0755);
    }
    CTempDir::WriteFile(strDeep + "/a.exe", Infected("Deep"));
    CTempDir::WriteFile(m_strTree + "/b.exe", Infected("B"));
    m_req.bAutoRepair = true;
    auto pScanner = Scan();
    EXPECT_EQ(Rows(), m_strTree + "/b.exe|B|Repaired\n" + strDeep + "/a.exe|Deep|Fail to repair\n");
    EXPECT_EQ(CTempDir::ReadFile(strDeep + "/a.exe"), Infected("Deep"));

    CTempDir::WriteFile(m_strTree + "/b.exe", Infected("B"));
    chmod((m_dir / "Palisar").c_str(), 0770);
    CQuietRepairView quiet;
    CRepairRoads roads(*pScanner, quiet);
    m_rows.SetState(0, STATE_REPAIRABLE);
    m_rows.SetSelected(0);
    roads.OnDblclkResultList();
    EXPECT_EQ(m_rows.GetItemText(0, RESULT_COL_STATUS), "Fail to repair");
    EXPECT_EQ(CTempDir::ReadFile(m_strTree + "/b.exe"), Infected("B"));
}

TEST_F(SafeRepairTest, TheRepairPassBacksUpEachLayerBeforeCleaningIt) {
    const std::string strNested = "a " + TestMarker(0, 1, "Outer") + " b " + TestMarker(0, 1, "Inner") + " c";
    CTempDir::WriteFile(m_strTree + "/n.exe", strNested);
    m_req.bAutoRepair = false;
    auto pScanner = Scan();
    CQuietRepairView quiet;
    CRepairRoads roads(*pScanner, quiet);
    m_rows.SetCheck(0, true);
    roads.OnRepair();
    EXPECT_EQ(Rows(), m_strTree + "/n.exe|Inner|Repaired\n");
    std::vector<CBackupEntry> arBackups = m_pStore->List();
    ASSERT_EQ(arBackups.size(), 2u);
    ASSERT_EQ(m_pStore->Restore(arBackups[1].strFileName), RESTORE_OK);
    EXPECT_EQ(CTempDir::ReadFile(m_strTree + "/n.exe"), "a  b " + TestMarker(0, 1, "Inner") + " c");
    ASSERT_EQ(m_pStore->Restore(arBackups[0].strFileName), RESTORE_OK);
    EXPECT_EQ(CTempDir::ReadFile(m_strTree + "/n.exe"), strNested);
}

TEST_F(SafeRepairTest, WhatARepairPassCannotRepairGoesIntoTheBinWhenTheUserSaysSo) {
    CTempDir::WriteFile(m_strTree + "/u.exe", "x" + TestMarker(1, 1, "Stuck") + "y");
    CTempDir::WriteFile(m_strTree + "/r.exe", Infected("R"));
    m_req.bAutoRepair = false;
    auto pScanner = Scan();
    CQuietRepairView view;
    CRepairRoads roads(*pScanner, view);
    m_rows.SetCheck(0, true);
    m_rows.SetCheck(1, true);
    // Answered No: nothing moves.
    roads.OnRepair();
    EXPECT_EQ(Rows(), m_strTree + "/r.exe|R|Repaired\n" + m_strTree + "/u.exe|Stuck|Unrepairable\n");
    view.m_bMoveToBin = true;
    roads.OnRepair();
    EXPECT_EQ(Rows(), m_strTree + "/r.exe|R|Repaired\n" + m_strTree + "/u.exe|Stuck|Quarantined\n");
    EXPECT_NE(access((m_strTree + "/u.exe").c_str(), F_OK), 0);
    EXPECT_EQ(CTempDir::ReadFile(m_strTree + "/r.exe"), "xy");
}

TEST_F(SafeRepairTest, AnAllowedRowIsNotFoundAgainUntilItsContentChanges) {
    CAllowListFile allow(m_dir / "config/quillet/allow.list");
    m_pAllow = &allow;
    CTempDir::WriteFile(m_strTree + "/u.exe", "x" + TestMarker(1, 1, "Stuck") + "y");
    m_req.bAutoRepair = false;
    auto pScanner = Scan();
    CQuietRepairView view;
    CRepairRoads roads(*pScanner, view);
    EXPECT_EQ(roads.AllowRows({0}), 1);
    EXPECT_EQ(Rows(), m_strTree + "/u.exe|Stuck|Allowed\n");
    EXPECT_FALSE(roads.CanQuarantine(0));
    m_rows = CResultRows();
    Scan();
    EXPECT_EQ(Rows(), "");
    CTempDir::WriteFile(m_strTree + "/u.exe", "z" + TestMarker(1, 1, "Stuck") + "y");
    Scan();
    EXPECT_EQ(Rows(), m_strTree + "/u.exe|Stuck|Unrepairable\n");
}

// An engine that finds "MARK" and cuts it in place after checking that the
// bytes are still there, as a real one does: with a moment between its check
// and its cut.
class CCuttingEngine : public CFakeEngine {
public:
    std::mutex m_mtx;
    std::map<uint32_t, std::pair<std::string, size_t>> m_mapFound;
    uint32_t m_nNext = 1;
    std::function<void()> m_fnBetweenCheckAndCut;

    uint32_t GetFileFormat(const std::string&) override { return 0; }
    std::string GetTorvaneVersion() override { return "cut"; }
    uint32_t ProbeInto(const std::string& strPath, bool* pbFaulted) override {
        if (pbFaulted)
            *pbFaulted = false;
        const size_t nAt = CTempDir::ReadFile(strPath).find("MARK");
        if (nAt == std::string::npos)
            return 0;
        std::lock_guard<std::mutex> lock(m_mtx);
        m_mapFound[m_nNext] = {strPath, nAt};
        return m_nNext++;
    }
    int16_t GetVirusReport(uint32_t) override { return STATE_REPAIRABLE; }
    std::string GetVirusName(uint32_t) override { return "Mark"; }
    void CloseProbe(uint32_t) override {}
    bool RecoverFile(uint32_t hProbe, int16_t* pnOutcome) override {
        std::pair<std::string, size_t> found;
        std::function<void()> fnHook;
        {
            std::lock_guard<std::mutex> lock(m_mtx);
            found = m_mapFound[hProbe];
            fnHook = std::exchange(m_fnBetweenCheckAndCut, nullptr);
        }
        std::string strData = CTempDir::ReadFile(found.first);
        *pnOutcome = REPAIR_FAILED;
        if (strData.compare(found.second, 4, "MARK") != 0)
            return true;
        if (fnHook)
            fnHook();
        strData = CTempDir::ReadFile(found.first);
        strData.erase(found.second, 4);
        const int nFd = open(found.first.c_str(), O_WRONLY | O_TRUNC);
        EXPECT_EQ(write(nFd, strData.data(), strData.size()), static_cast<ssize_t>(strData.size()));
        close(nFd);
        *pnOutcome = REPAIR_CLEANED;
        return true;
    }
};

TEST(FileHoldTest, TwoProgramsNeverCutTheSameFindingTwice) {
    // Two scans clean one file at once, each having found the finding before
    // the other cut it. The second must wait for the first and then find the
    // bytes gone, not cut the user's data that moved into their place.
    CTempDir dir;
    const std::string strTree = dir / "tree";
    mkdir(strTree.c_str(), 0755);
    mkdir((dir / "Palisar").c_str(), 0700);
    CTempDir::WriteFile(strTree + "/v.exe", "head MARK tail-of-the-users-data");
    CCuttingEngine engine;
    SCANREQUEST req;
    req.arTargets = {strTree};
    req.bAutoRepair = true;
    struct SProgram {
        CPosixDirLister lister;
        CFakeDrives drives;
        CPosixFileAccess access;
        CFakeScanView view;
        CResultRows rows;
        std::unique_ptr<CBackupStore> pStore;
    } arPrograms[2];
    auto Run = [&](SProgram& program) {
        program.pStore = std::make_unique<CBackupStore>(dir / "Palisar");
        CScanner(req, CScanEnv{&engine, &program.lister, &program.drives, &program.access, &program.view,
                               &program.rows, program.pStore.get()})
            .RunScan();
    };
    std::mutex mtx;
    std::condition_variable cv;
    bool bSecondAtCut = false;
    std::thread second;
    engine.m_fnBetweenCheckAndCut = [&] {
        // The first has checked; the second scans now and reaches its own
        // cut unless something holds it back.
        engine.m_fnBetweenCheckAndCut = [&] {
            std::lock_guard<std::mutex> lock(mtx);
            bSecondAtCut = true;
            cv.notify_all();
        };
        second = std::thread([&] { Run(arPrograms[1]); });
        std::unique_lock<std::mutex> lock(mtx);
        cv.wait_for(lock, std::chrono::milliseconds(500), [&] { return bSecondAtCut; });
    };
    Run(arPrograms[0]);
    second.join();
    EXPECT_EQ(CTempDir::ReadFile(strTree + "/v.exe"), "head  tail-of-the-users-data");
    EXPECT_EQ(arPrograms[0].rows.GetState(0), STATE_REPAIRED);
    EXPECT_EQ(arPrograms[1].rows.GetState(0), STATE_FAIL_TO_REPAIR);
}

TEST(OrdinaryUserTest, AnotherUsersFilesAndWorkFolderAreLeftAsTheyAre) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to make another user's files";
    // Root's files and work folder in a tree the ordinary user may read and
    // write: one file it cannot read, one it cannot write, and one of its
    // own that cannot be backed up into a work folder that is not its own.
    CTempDir dir;
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    const std::string strTree = dir / "tree", strRootsWork = dir / "Palisar", strOwnWork = dir / "own";
    mkdir(strTree.c_str(), 0777);
    chmod(strTree.c_str(), 0777);
    mkdir(strRootsWork.c_str(), 0700);
    mkdir(strOwnWork.c_str(), 0700);
    ASSERT_EQ(chown(strOwnWork.c_str(), ORDINARY_UID, ORDINARY_UID), 0);
    auto Infected = [](const std::string& strName) { return "x" + TestMarker(0, 1, strName) + "y"; };
    CTempDir::WriteFile(strTree + "/a-unreadable.exe", Infected("A"), 0600);
    CTempDir::WriteFile(strTree + "/b-readonly.exe", Infected("B"), 0644);
    CTempDir::WriteFile(strTree + "/c-own.exe", Infected("C"), 0644);
    ASSERT_EQ(chown((strTree + "/c-own.exe").c_str(), ORDINARY_UID, ORDINARY_UID), 0);
    // Its own file at mode 000: the owner's bits are added while the engine
    // works on it, and taken away again.
    CTempDir::WriteFile(strTree + "/d-own-000.exe", Infected("D"), 0);
    ASSERT_EQ(chown((strTree + "/d-own-000.exe").c_str(), ORDINARY_UID, ORDINARY_UID), 0);

    // Found before the child drops its rights.
    const std::string strPrograms = OrdinaryBinDir();
    auto Scan = [&](const std::string& strWork) {
        SHostOptions options;
        options.strHostPath = strPrograms + "/farsend-host";
        CHostEngine engine(options);
        if (engine.Load() != ENGINE_LOAD_OK)
            return std::string("(no engine)");
        CPosixDirLister lister;
        CMountTable drives;
        CPosixFileAccess access;
        CFakeScanView view;
        CResultRows rows;
        CBackupStore store(strWork);
        SCANREQUEST req;
        req.arTargets = {strTree};
        CScanner scanner(req, CScanEnv{&engine, &lister, &drives, &access, &view, &rows, &store});
        scanner.RunScan();
        std::string str = std::to_string(scanner.GetScanned()) + "\n";
        for (int i = 0; i < rows.GetItemCount(); ++i)
            str += rows.GetItemText(i, RESULT_COL_PATH) + "|" + rows.GetItemText(i, RESULT_COL_STATUS) + "\n";
        return str;
    };
    // With root's work folder nothing can be backed up, so nothing is cleaned.
    EXPECT_EQ(TextAsOrdinaryUser([&] { return Scan(strRootsWork); }),
              "4\n" + strTree + "/b-readonly.exe|Fail to repair\n" + strTree + "/c-own.exe|Fail to repair\n" +
                  strTree + "/d-own-000.exe|Fail to repair\n");
    EXPECT_EQ(CTempDir::ReadFile(strTree + "/c-own.exe"), Infected("C"));
    // With its own: root's read-only file is denied, its own file cleaned.
    // The unreadable file is counted each time and never scanned.
    EXPECT_EQ(TextAsOrdinaryUser([&] { return Scan(strOwnWork); }),
              "4\n" + strTree + "/b-readonly.exe|Access denied\n" + strTree + "/c-own.exe|Repaired\n" + strTree +
                  "/d-own-000.exe|Repaired\n");
    EXPECT_EQ(CTempDir::ReadFile(strTree + "/a-unreadable.exe"), Infected("A"));
    EXPECT_EQ(CTempDir::ReadFile(strTree + "/b-readonly.exe"), Infected("B"));
    EXPECT_EQ(CTempDir::ReadFile(strTree + "/c-own.exe"), "xy");
    EXPECT_EQ(CTempDir::ReadFile(strTree + "/d-own-000.exe"), "xy");
    struct stat st;
    ASSERT_EQ(stat((strTree + "/d-own-000.exe").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0u);
    ASSERT_EQ(stat((strTree + "/b-readonly.exe").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

}  // namespace
