// The walk, the filter, the access test and the file scan over fakes.

#include <gtest/gtest.h>

#include <climits>
#include <condition_variable>
#include <mutex>

#include "fakes/FakeScanWorld.h"
#include "scan/ResultRows.h"
#include "scan/Scanner.h"

namespace {

class ScannerTest : public ::testing::Test {
protected:
    CFakeDirLister m_lister;
    CFakeDrives m_drives;
    CFakeFileAccess m_access;
    CFakeScanView m_view;
    CFakeEngine m_engine;
    CResultRows m_rows;
    SCANREQUEST m_req;

    ScannerTest() { m_req.arTopNames = {"Computer", "Network", "Home"}; }

    CScanEnv Env() { return CScanEnv{&m_engine, &m_lister, &m_drives, &m_access, &m_view, &m_rows}; }

    // Paths handed to the engine's probe, in order.
    std::vector<std::string> Probed() const {
        std::vector<std::string> ar;
        for (const std::string& s : m_engine.m_arCalls)
            if (s.rfind("probe:", 0) == 0)
                ar.push_back(s.substr(6));
        return ar;
    }
};

TEST_F(ScannerTest, WalksDepthFirstInByteOrderAndShowsEveryFile) {
    m_lister.AddPath("/t/b.exe");
    m_lister.AddPath("/t/B.exe");
    m_lister.AddPath("/t/a/z.exe");
    m_lister.AddPath("/t/a/deep/y.exe");
    m_lister.AddPath("/t/c.exe");
    m_req.arTargets = {"/t"};
    CScanner scanner(m_req, Env());
    scanner.RunScan();

    std::vector<std::string> arExpected = {"/t/B.exe", "/t/a/deep/y.exe", "/t/a/z.exe", "/t/b.exe", "/t/c.exe"};
    EXPECT_EQ(m_view.m_arShownFiles, arExpected);
    EXPECT_EQ(Probed(), arExpected);
    EXPECT_EQ(scanner.GetScanned(), 5);
    EXPECT_EQ(m_view.m_mapLabels[LABEL_SCANNED], "5");
    EXPECT_EQ(m_view.m_nEnded, 1);
    EXPECT_FALSE(m_view.m_bEndedStopped);
    EXPECT_EQ(m_engine.m_arCalls.front(), "version");
    EXPECT_EQ(scanner.GetEngineVersion(), "9.9");
}

TEST_F(ScannerTest, DotNamesLinksAndSubfoldersFollowTheRules) {
    m_lister.AddPath("/t/.hidden.exe");
    m_lister.AddPath("/t/.cache/in.exe");
    m_lister.AddPath("/t/link.exe", ENTRY_LINK);
    m_lister.AddPath("/t/loop", ENTRY_LINK);
    m_lister.AddPath("/t/fifo.exe", ENTRY_SPECIAL);
    m_lister.AddPath("/t/sub/in.exe");
    m_lister.AddPath("/t/top.exe");
    m_req.arTargets = {"/t"};

    CScanner scanner(m_req, Env());
    scanner.RunScan();
    // The FIFO is met and counted, never handed to the engine; links and
    // dot names are not met at all.
    EXPECT_EQ(m_view.m_arShownFiles, (std::vector<std::string>{"/t/fifo.exe", "/t/sub/in.exe", "/t/top.exe"}));
    EXPECT_EQ(Probed(), (std::vector<std::string>{"/t/sub/in.exe", "/t/top.exe"}));
    EXPECT_EQ(m_engine.CountCalls("format:/t/fifo.exe"), 0);
    // Every entry, skipped or not, is preceded by a drain.
    EXPECT_EQ(m_view.m_nDrains, 8);

    m_req.bSubfolders = false;
    m_view = CFakeScanView();
    CScanner flat(m_req, Env());
    flat.RunScan();
    EXPECT_EQ(flat.GetScanned(), 2);
    EXPECT_EQ(m_view.m_arShownFiles, (std::vector<std::string>{"/t/fifo.exe", "/t/top.exe"}));
}

TEST_F(ScannerTest, ExtensionFilterAndOfficeFlag) {
    CScanner scanner(m_req, Env());
    for (const char* psz : {"/x/A.EXE", "/x/b.Com", "/x/c.DOCX", "/x/d.scr", "/x/setup.exe1", "/x/OLD.EXE/readme",
                            "/x/a.tar.xla", "/x/e.txt.ocx"})
        EXPECT_TRUE(scanner.FilterFile(psz)) << psz;
    for (const char* psz : {"/x/e.TXT", "/x/f.ex", "/x/h.EX", "/x/noext", "/x/a.", "/x/.e", "/x/exe"})
        EXPECT_FALSE(scanner.FilterFile(psz)) << psz;

    // The office flag is raised by the always-backup list, and only set here.
    CScanner office(m_req, Env());
    EXPECT_TRUE(office.FilterFile("/x/report.docx"));
    EXPECT_TRUE(office.IsOfficeFile());
    EXPECT_TRUE(office.FilterFile("/x/a.exe"));
    EXPECT_TRUE(office.IsOfficeFile());

    m_req.bAllFiles = true;
    CScanner all(m_req, Env());
    EXPECT_TRUE(all.FilterFile("/x/noext"));
    EXPECT_FALSE(all.IsOfficeFile());
    EXPECT_TRUE(all.FilterFile("/x/book.xLs"));
    EXPECT_TRUE(all.IsOfficeFile());
}

TEST_F(ScannerTest, FilterDecidesWhatIsScannedButEveryFileCounts) {
    for (const char* psz : {"/t/A.EXE", "/t/b.Com", "/t/c.DOCX", "/t/d.scr", "/t/e.TXT", "/t/f.ex", "/t/h.EX", "/t/none"})
        m_lister.AddPath(psz);
    m_lister.AddPath("/t/OLD.EXE/readme");
    m_req.arTargets = {"/t"};
    CScanner scanner(m_req, Env());
    scanner.RunScan();
    EXPECT_EQ(scanner.GetScanned(), 9);
    EXPECT_EQ(Probed(), (std::vector<std::string>{"/t/A.EXE", "/t/OLD.EXE/readme", "/t/b.Com", "/t/c.DOCX", "/t/d.scr"}));

    m_req.bAllFiles = true;
    m_engine.m_arCalls.clear();
    CScanner all(m_req, Env());
    all.RunScan();
    EXPECT_EQ(Probed().size(), 9u);
}

TEST_F(ScannerTest, AccessTestRetriesOnceAndAlwaysRestoresTheMode) {
    m_lister.AddPath("/t/locked.exe");
    m_lister.AddPath("/t/readonly.exe");
    m_lister.AddPath("/t/ok.exe");
    m_access.m_setDenied = {"/t/locked.exe", "/t/readonly.exe"};
    m_access.m_setGrantedOnChmod = {"/t/readonly.exe"};
    m_access.m_mapModes["/t/locked.exe"] = 0040;
    m_access.m_mapModes["/t/readonly.exe"] = 0444;
    m_req.arTargets = {"/t"};
    CScanner scanner(m_req, Env());
    scanner.RunScan();

    EXPECT_EQ(scanner.GetScanned(), 3);
    EXPECT_EQ(Probed(), (std::vector<std::string>{"/t/ok.exe", "/t/readonly.exe"}));
    EXPECT_EQ(m_access.Mode("/t/locked.exe"), 0040u);
    EXPECT_EQ(m_access.Mode("/t/readonly.exe"), 0444u);
    std::vector<std::pair<std::string, uint32_t>> arExpected = {
        {"/t/locked.exe", 0640}, {"/t/locked.exe", 0040}, {"/t/readonly.exe", 0644}, {"/t/readonly.exe", 0444}};
    EXPECT_EQ(m_access.m_arSetModes, arExpected);

    // Without the mode to put back, the mode is not touched at all.
    m_access.m_arSetModes.clear();
    m_access.m_bGetModeFails = true;
    EXPECT_FALSE(scanner.CheckFileAccess(true, "/t/readonly.exe"));
    EXPECT_TRUE(m_access.m_arSetModes.empty());
}

TEST_F(ScannerTest, FormatTestUsesTheLowSixteenBits) {
    m_lister.AddPath("/t/a.exe");
    m_lister.AddPath("/t/b.exe");
    m_lister.AddPath("/t/c.exe");
    m_lister.AddPath("/t/d.exe");
    m_engine.SetFormat("/t/a.exe", 10);
    m_engine.SetFormat("/t/b.exe", 0x1000A);
    m_engine.SetFormat("/t/c.exe", 0x10009);
    m_engine.SetFormat("/t/d.exe", 0xFFFF);
    m_req.arTargets = {"/t"};
    CScanner scanner(m_req, Env());
    scanner.RunScan();
    EXPECT_EQ(scanner.GetScanned(), 4);
    EXPECT_EQ(Probed(), std::vector<std::string>{"/t/c.exe"});
}

TEST_F(ScannerTest, FindingsBecomeNumberedRowsWithTheirStates) {
    const char* arStates[] = {"Repairable", "Unrepairable", "New Virus", "Suspected", "Not support",
                              "Repair after decompression", "Access denied", "Ok", "Repaired", "Deleted",
                              "Fail to repair", "Overlapped", "Repair after decryption "};
    m_lister.AddPath("/t/clean.exe");
    for (int i = 0; i <= 13; ++i) {
        std::string strPath = "/t/v" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".exe";
        m_lister.AddPath(strPath);
        m_engine.SetInfected(strPath, i, "Virus." + std::to_string(i));
    }
    m_req.arTargets = {"/t"};
    m_req.bAutoRepair = false;
    CScanner scanner(m_req, Env());
    scanner.RunScan();

    ASSERT_EQ(m_rows.GetCount(), 14u);
    for (int i = 0; i <= 12; ++i) {
        const CResultRow& row = m_rows.GetRow(i);
        EXPECT_EQ(row.nNum, i + 1);
        EXPECT_EQ(m_rows.GetItemText(i, RESULT_COL_STATUS), arStates[i]);
        EXPECT_EQ(row.strVirus, "Virus." + std::to_string(i));
        EXPECT_FALSE(row.bChecked);
    }
    EXPECT_EQ(m_rows.GetRow(9).strPath, "/t/v09.exe");
    // Outside the engine's codes the row still says something.
    EXPECT_EQ(m_rows.GetItemText(13, RESULT_COL_STATUS), "Unknown (13)");
    EXPECT_EQ(scanner.GetInfected(), 14);
    EXPECT_EQ(m_view.m_mapLabels[LABEL_INFECTED], "14");
    EXPECT_EQ(scanner.GetScanned(), 15);
    // Report asked twice per finding, every handle closed once, nothing repaired.
    EXPECT_EQ(m_engine.CountCalls("report:"), 28);
    EXPECT_EQ(m_engine.m_nCloses, 14);
    EXPECT_TRUE(m_engine.m_mapOpen.empty());
    EXPECT_EQ(m_engine.CountCalls("recover:"), 0);
}

TEST_F(ScannerTest, CleanFileChangesNothing) {
    m_lister.AddPath("/t/clean.exe");
    m_req.arTargets = {"/t"};
    CScanner scanner(m_req, Env());
    scanner.RunScan();
    EXPECT_EQ(m_rows.GetCount(), 0u);
    EXPECT_EQ(scanner.GetInfected(), 0);
    EXPECT_EQ(m_view.m_mapLabels.count(LABEL_INFECTED), 0u);
    EXPECT_EQ(m_engine.CountCalls("report:"), 0);
}

TEST_F(ScannerTest, StopLeavesEveryLevelAtItsNextEntry) {
    for (const char* psz : {"/t/a/1.exe", "/t/a/2.exe", "/t/a/3.exe", "/t/b.exe", "/u/c.exe"})
        m_lister.AddPath(psz);
    m_req.arTargets = {"/t", "/u"};
    CScanner* pScanner = nullptr;
    // Drains: /t/a (1), 1.exe (2), 2.exe (3): Stop is pressed during the third.
    m_view.m_fnOnDrain = [&](int nDrain) {
        if (nDrain == 3)
            pScanner->Stop();
    };
    CScanner scanner(m_req, Env());
    pScanner = &scanner;
    scanner.RunScan();
    EXPECT_EQ(scanner.GetScanned(), 1);
    EXPECT_EQ(Probed(), std::vector<std::string>{"/t/a/1.exe"});
    EXPECT_EQ(m_view.m_nEnded, 1);
    EXPECT_TRUE(m_view.m_bEndedStopped);
    EXPECT_EQ(m_lister.m_arListed, (std::vector<std::string>{"/t", "/t/a"}));
}

// An engine told of files ahead, three at a time; its probe of /t/1.exe
// waits until the call is given up.
class CPipelinedEngine : public CFakeEngine {
public:
    size_t GetPipelineDepth() const override { return 3; }
    void PrepareFile(const std::string& strPath) override { m_arCalls.push_back("prepare:" + strPath); }
    uint32_t ProbeInto(const std::string& strPath, bool* pbFaulted = nullptr) override {
        if (strPath != "/t/1.exe")
            return CFakeEngine::ProbeInto(strPath, pbFaulted);
        m_arCalls.push_back("probe:" + strPath);
        std::unique_lock<std::mutex> lock(m_mtx);
        m_cv.wait(lock, [this] { return m_bAbandoned; });
        ++m_nFaults;
        return 0;
    }
    void Abandon() override {
        std::lock_guard<std::mutex> lock(m_mtx);
        m_bAbandoned = true;
        m_cv.notify_all();
    }

private:
    std::mutex m_mtx;
    std::condition_variable m_cv;
    bool m_bAbandoned = false;
};

class CGiveUpAtOnce : public IEngineWait {
public:
    bool WhileWaiting(uint64_t, int64_t) override { return false; }
};

// A call given up (Stop pressed twice) ends the files held behind it too:
// each would otherwise wait to be given up again.
TEST_F(ScannerTest, GivingUpOnAPipelinedCallEndsTheFilesHeldBehindIt) {
    for (const char* psz : {"/t/1.exe", "/t/2.exe", "/t/3.exe", "/t/4.exe"})
        m_lister.AddPath(psz);
    m_req.arTargets = {"/t"};
    CPipelinedEngine engine;
    CGiveUpAtOnce giveUp;
    CScanEnv env = Env();
    env.pEngine = &engine;
    env.pWait = &giveUp;
    CScanner scanner(m_req, env);
    scanner.RunScan();
    EXPECT_EQ(engine.CountCalls("probe:"), 2) << ::testing::PrintToString(engine.m_arCalls);
    EXPECT_EQ(engine.CountCalls("probe:/t/4.exe"), 1);
    EXPECT_EQ(scanner.GetScanned(), 4);
    EXPECT_EQ(scanner.GetNotScanned(), 3);
}

TEST_F(ScannerTest, TargetsExpandToPatterns) {
    EXPECT_EQ(CScanner::MakePattern("/"), "/*");
    EXPECT_EQ(CScanner::MakePattern("/home/ann"), "/home/ann/*");
    EXPECT_EQ(CScanner::MakePattern("/home/ann/"), "/home/ann/*");
    EXPECT_EQ(CScanner::MakePattern("Network"), "");
    EXPECT_EQ(CScanner::MakePattern("Network/Entire Network"), "");
    EXPECT_EQ(CScanner::MakePattern(""), "");

    // The root's files are "/name"; overlapping targets are walked twice;
    // a display path outside the file system names nothing.
    m_lister.AddPath("/r.exe");
    m_lister.AddPath("/t/x.exe");
    m_lister.AddPath("Network/n.exe");
    m_req.arTargets = {"/", "/t", "Network", "/missing"};
    CScanner scanner(m_req, Env());
    scanner.RunScan();
    EXPECT_EQ(Probed(), (std::vector<std::string>{"/r.exe", "/t/x.exe", "/t/x.exe"}));
}

TEST_F(ScannerTest, AllDrivesWalksEachDriveOnItsOwnInPathOrder) {
    m_drives.m_arMounts = {{"/", DRIVE_TYPE_FIXED},       {"/proc", DRIVE_TYPE_UNKNOWN},
                           {"/media/usb", DRIVE_TYPE_REMOVABLE}, {"/mnt/nfs", DRIVE_TYPE_REMOTE},
                           {"/cdrom", DRIVE_TYPE_CDROM},    {"/run", DRIVE_TYPE_RAMDISK},
                           {"/sys", DRIVE_TYPE_NO_ROOT},    {"/run", DRIVE_TYPE_UNKNOWN}};
    for (const char* psz : {"/root.exe", "/proc/1/p.exe", "/sys/s.exe", "/media/usb/u.exe", "/mnt/nfs/n.exe",
                            "/cdrom/c.exe", "/run/r.exe", "/home/h.exe"})
        m_lister.AddPath(psz);
    m_req.arTargets = {CScanTarget("Computer", true)};
    CScanner scanner(m_req, Env());
    scanner.RunScan();
    // "/run" was covered by a pseudo mount later in the table. Nested drives
    // are met once, by their own walk.
    EXPECT_EQ(Probed(), (std::vector<std::string>{"/home/h.exe", "/root.exe", "/cdrom/c.exe", "/media/usb/u.exe",
                                                  "/mnt/nfs/n.exe"}));

    // A ticked folder enters nested drives, never pseudo file systems.
    m_engine.m_arCalls.clear();
    m_req.arTargets = {"/"};
    CScanner ticked(m_req, Env());
    ticked.RunScan();
    EXPECT_EQ(Probed(), (std::vector<std::string>{"/cdrom/c.exe", "/home/h.exe", "/media/usb/u.exe", "/mnt/nfs/n.exe",
                                                  "/root.exe"}));
}

TEST_F(ScannerTest, OnlyTheAllDrivesItemWalksEveryDrive) {
    m_drives.m_arMounts = {{"/", DRIVE_TYPE_FIXED}};
    m_lister.AddPath("/root.exe");
    m_lister.AddPath("/Computer/c.exe");
    // The item's text, and a folder named like it, are targets like any other.
    m_req.arTargets = {"Computer", "/Computer"};
    CScanner scanner(m_req, Env());
    scanner.RunScan();
    EXPECT_EQ(Probed(), std::vector<std::string>{"/Computer/c.exe"});
}

TEST_F(ScannerTest, PathsBeyondPathMaxAreSkippedSilently) {
    std::string strFolder = "/t";
    // A chain of folders well past PATH_MAX with a file at every level.
    for (int i = 0; i < 900; ++i) {
        strFolder += "/abcdefg";
        m_lister.AddPath(strFolder + ".exe");
        m_lister.AddPath(strFolder + "/f.exe");
    }
    m_req.arTargets = {"/t"};
    CScanner scanner(m_req, Env());
    scanner.RunScan();
    int nExpected = 0;
    strFolder = "/t";
    for (int i = 0; i < 900; ++i) {
        strFolder += "/abcdefg";
        nExpected += (strFolder + ".exe").size() < PATH_MAX;
        nExpected += (strFolder + "/f.exe").size() < PATH_MAX && (strFolder + "/*").size() < PATH_MAX;
    }
    EXPECT_EQ(scanner.GetScanned(), nExpected);
    for (const std::string& s : m_view.m_arShownFiles)
        EXPECT_LT(s.size(), static_cast<size_t>(PATH_MAX));
}

TEST_F(ScannerTest, HiddenWalksDotNamesButNeverLinks) {
    m_lister.AddPath("/t/.hidden.exe");
    m_lister.AddPath("/t/.cache/in.exe");
    m_lister.AddPath("/t/.link.exe", ENTRY_LINK);
    m_lister.AddPath("/t/top.exe");
    m_req.arTargets = {"/t"};
    m_req.bHidden = true;
    CScanner scanner(m_req, Env());
    scanner.RunScan();
    EXPECT_EQ(Probed(), (std::vector<std::string>{"/t/.cache/in.exe", "/t/.hidden.exe", "/t/top.exe"}));
}

}  // namespace
