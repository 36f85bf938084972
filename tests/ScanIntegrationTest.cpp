// The whole scan on real folders with the real host and engines.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <climits>
#include <cstdint>
#include <set>

#include "fakes/FakeScanWorld.h"
#include "fakes/TempDir.h"
#include "fakes/TestPaths.h"
#include "base/Diagnostics.h"
#include "platform/AllowListFile.h"
#include "platform/BackupStore.h"
#include "platform/EnginePool.h"
#include "platform/HostEngine.h"
#include "platform/MountTable.h"
#include "platform/PosixDirLister.h"
#include "platform/PosixFileAccess.h"
#include "scan/ResultRows.h"
#include "scan/Scanner.h"
#include "tools/samples/SampleWriter.h"

using namespace quillet::samples;

namespace {

class ScanIntegrationTest : public ::testing::Test {
protected:
    CTempDir m_dir;
    CPosixDirLister m_lister;
    CMountTable m_drives;
    CPosixFileAccess m_access;
    CFakeScanView m_view;
    CResultRows m_rows;

    int Scan(IFarsendEngine& engine, SCANREQUEST req) {
        req.arTopNames = {"Computer", "Network", "Home"};
        CScanner scanner(req, CScanEnv{&engine, &m_lister, &m_drives, &m_access, &m_view, &m_rows});
        m_pScanner = &scanner;
        scanner.RunScan();
        m_pScanner = nullptr;
        m_nInfected = scanner.GetInfected();
        return scanner.GetScanned();
    }
    SCANREQUEST Request(bool bAllFiles) {
        SCANREQUEST req;
        req.arTargets = {m_dir.Path()};
        req.bAllFiles = bAllFiles;
        req.bAutoRepair = false;
        return req;
    }
    static SHostOptions Options(const std::string& strLibrary = std::string()) {
        SHostOptions options;
        options.strHostPath = BinDir() + "/farsend-host";
        if (!strLibrary.empty())
            options.strLibrary = BinDir() + "/" + strLibrary;
        options.nWatchdogMs = 400;
        return options;
    }
    CScanner* m_pScanner = nullptr;
    int m_nInfected = 0;
};

TEST_F(ScanIntegrationTest, FindsEveryInfectionOnceAndCountsEveryFile) {
    CTempDir::WriteFile(m_dir / "clean.exe", "plain");
    CTempDir::WriteFile(m_dir / "eicar.com", EicarString());
    CTempDir::WriteFile(m_dir / "notes.txt", TestMarker(2, 1, "Txt.Only"));
    CTempDir::WriteFile(m_dir / ".hidden.exe", EicarString());
    CTempDir::WriteFile(m_dir / "big.exe", std::string(3 << 20, 'a') + TestMarker(5, 1, "Deep.Inside"));
    mkdir((m_dir / "sub").c_str(), 0755);
    CTempDir::WriteFile(m_dir / "sub/in.doc", TestMarker(12, 4, "Crypt"));
    mkfifo((m_dir / "pipe.exe").c_str(), 0644);
    ASSERT_EQ(symlink(".", (m_dir / "loop").c_str()), 0);
    ASSERT_EQ(symlink("eicar.com", (m_dir / "link.exe").c_str()), 0);
    CTempDir::WriteFile(m_dir / "bad\xff name\n.exe", EicarString());

    CHostEngine engine(Options());
    ASSERT_EQ(engine.Load(), ENGINE_LOAD_OK);
    EXPECT_EQ(Scan(engine, Request(false)), 7);
    ASSERT_EQ(m_rows.GetCount(), 4u);
    EXPECT_EQ(m_rows.GetRow(0).strPath, m_dir / "bad\xff name\n.exe");
    EXPECT_EQ(m_rows.GetRow(0).strVirus, "EICAR-Test-File");
    EXPECT_EQ(m_rows.GetItemText(0, RESULT_COL_STATUS), "Unrepairable");
    EXPECT_EQ(m_rows.GetRow(1).strVirus, "Deep.Inside");
    EXPECT_EQ(m_rows.GetItemText(1, RESULT_COL_STATUS), "Repair after decompression");
    EXPECT_EQ(m_rows.GetRow(2).strPath, m_dir / "eicar.com");
    EXPECT_EQ(m_rows.GetRow(3).strPath, m_dir / "sub/in.doc");
    EXPECT_EQ(m_rows.GetItemText(3, RESULT_COL_STATUS), "Repair after decryption ");
    EXPECT_EQ(m_nInfected, 4);

    m_rows = CResultRows();
    EXPECT_EQ(Scan(engine, Request(true)), 7);
    EXPECT_EQ(m_rows.GetCount(), 5u);
    EXPECT_EQ(engine.GetHostStarts(), 1);
}

TEST_F(ScanIntegrationTest, EngineCrashOnFirstProbeCountsTheFileAndLeavesNoRow) {
    CTempDir::WriteFile(m_dir / "a.exe", TestMarker(3, 1, "Before"));
    CTempDir::WriteFile(m_dir / "fault-probe-crash.exe", "x");
    CTempDir::WriteFile(m_dir / "fault-report-hang.exe", "x");
    CTempDir::WriteFile(m_dir / "z.exe", TestMarker(2, 1, "After"));
    CHostEngine engine(Options("libfarsend-fault.so"));
    ASSERT_EQ(engine.Load(), ENGINE_LOAD_OK);
    EXPECT_EQ(Scan(engine, Request(false)), 4);
    ASSERT_EQ(m_rows.GetCount(), 3u);
    EXPECT_EQ(m_rows.GetRow(0).strVirus, "Before");
    // The engine hung while reporting: counted, its row says not repairable.
    EXPECT_EQ(m_rows.GetRow(1).strPath, m_dir / "fault-report-hang.exe");
    EXPECT_EQ(m_rows.GetItemText(1, RESULT_COL_STATUS), "Unrepairable");
    EXPECT_EQ(m_rows.GetRow(1).strVirus, "");
    EXPECT_EQ(m_rows.GetRow(2).strVirus, "After");
    EXPECT_EQ(m_rows.GetRow(2).nNum, 3);
    EXPECT_EQ(engine.GetHostStarts(), 3);
}

TEST_F(ScanIntegrationTest, FilesThatVanishOrChangeDuringTheWalk) {
    CTempDir::WriteFile(m_dir / "a.exe", "x");
    CTempDir::WriteFile(m_dir / "b.exe", EicarString());
    CTempDir::WriteFile(m_dir / "c.exe", EicarString());
    CTempDir::WriteFile(m_dir / "d.exe", EicarString());
    // While the walk is at a.exe, b.exe goes away and c.exe becomes a FIFO.
    m_view.m_fnOnDrain = [&](int nDrain) {
        if (nDrain == 1) {
            unlink((m_dir / "b.exe").c_str());
            unlink((m_dir / "c.exe").c_str());
            mkfifo((m_dir / "c.exe").c_str(), 0644);
        }
    };
    CHostEngine engine(Options());
    ASSERT_EQ(engine.Load(), ENGINE_LOAD_OK);
    EXPECT_EQ(Scan(engine, Request(false)), 4);
    ASSERT_EQ(m_rows.GetCount(), 1u);
    EXPECT_EQ(m_rows.GetRow(0).strPath, m_dir / "d.exe");
    EXPECT_EQ(engine.GetHostStarts(), 1);
}

TEST_F(ScanIntegrationTest, AFolderChainFarBeyondPathMaxEndsAndCountsExactly) {
    // 100,000 levels: built and removed by descriptor, walked as deep as
    // paths allow, without exhausting the stack.
    // A memory file system when there is one: a disk's journal makes
    // 100,000 folders slow to make and slower to remove.
    CTempDir deep(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : nullptr);
    const int nLevels = 100000;
    int nFd = open(deep.Path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(nFd, 0);
    size_t nLength = deep.Path().size();
    int nExpected = 0;
    for (int i = 0; i < nLevels; ++i) {
        if (i % 100 == 0) {
            int nFile = openat(nFd, "f.exe", O_WRONLY | O_CREAT, 0644);
            ASSERT_GE(nFile, 0);
            close(nFile);
            // Reachable when its folder was entered and its own path fits.
            nExpected += nLength + 2 < PATH_MAX && nLength + 6 < PATH_MAX;
        }
        ASSERT_EQ(mkdirat(nFd, "d", 0755), 0);
        int nChild = openat(nFd, "d", O_RDONLY | O_DIRECTORY);
        close(nFd);
        ASSERT_GE(nChild, 0);
        nFd = nChild;
        nLength += 2;
    }
    close(nFd);
    CHostEngine engine(Options());
    ASSERT_EQ(engine.Load(), ENGINE_LOAD_OK);
    SCANREQUEST req = Request(false);
    req.arTargets = {deep.Path()};
    EXPECT_EQ(Scan(engine, req), nExpected);
    EXPECT_GT(nExpected, 10);
}

TEST_F(ScanIntegrationTest, SamplesTreeShowsItsFindings) {
    std::string strError;
    ASSERT_TRUE(WriteSamplesTree(m_dir / "samples", &strError)) << strError;
    CHostEngine engine(Options());
    ASSERT_EQ(engine.Load(), ENGINE_LOAD_OK);
    SCANREQUEST req = Request(true);
    req.arTargets = {m_dir / "samples"};
    Scan(engine, req);
    std::set<std::string> setStates;
    for (size_t i = 0; i < m_rows.GetCount(); ++i)
        setStates.insert(m_rows.GetItemText(static_cast<int>(i), RESULT_COL_STATUS));
    // Every state an engine report can produce is on show.
    for (int i = 0; i <= 12; ++i) {
        const std::string strState = GetStateText(static_cast<EResultState>(i));
        EXPECT_TRUE(setStates.count(strState)) << strState;
    }
}

// Engines of their own, one per worker, as for an engine that cannot be
// copied.
class CHostWorkers : public IEngineWorkers {
public:
    CHostWorkers(size_t nCount, const SHostOptions& options) {
        for (size_t i = 0; i < nCount; ++i) {
            m_arEngines.push_back(std::make_unique<CHostEngine>(options));
            m_arEngines.back()->Load();
        }
    }
    size_t GetWorkerCount() const override { return m_arEngines.size(); }
    IFarsendEngine* GetWorker(size_t i) override { return m_arEngines[i].get(); }
    bool PrepareWorker(size_t i) override { return i != m_nCannotLoad; }
    std::vector<std::unique_ptr<CHostEngine>> m_arEngines;
    size_t m_nCannotLoad = SIZE_MAX;
};

// A tree with findings, repairs, a crash and probes of differing length, so
// answers from several workers come back out of order.
void WriteMixedTree(const std::string& strRoot) {
    mkdir(strRoot.c_str(), 0755);
    mkdir((strRoot + "/sub").c_str(), 0755);
    for (int i = 0; i < 24; ++i) {
        const std::string strDir = strRoot + (i % 3 == 0 ? "/sub/" : "/");
        const std::string strDelay = std::to_string((i * 37) % 60);
        CTempDir::WriteFile(strDir + "slow-" + strDelay + "-r" + std::to_string(i) + ".exe",
                            "a " + TestMarker(i % 4 == 0 ? 0 : 2, i % 5 == 0 ? 3 : 1, "Mixed." + std::to_string(i)) + " b");
        CTempDir::WriteFile(strDir + "clean-" + std::to_string(i) + ".exe", "nothing");
    }
    CTempDir::WriteFile(strRoot + "/fault-probe-crash.exe", "x");
    CTempDir::WriteFile(strRoot + "/sub/fault-recover-hang.exe", "x");
}

TEST_F(ScanIntegrationTest, SeveralWorkersGiveTheRowsOfTheOneAtATimeScan) {
    std::vector<std::string> arRows[2];
    int arScanned[2] = {};
    for (int nRun = 0; nRun < 2; ++nRun) {
        const std::string strTree = m_dir / ("tree" + std::to_string(nRun));
        WriteMixedTree(strTree);
        const std::string strWork = m_dir / ("work" + std::to_string(nRun));
        mkdir(strWork.c_str(), 0700);
        CBackupStore backups(strWork);
        SHostOptions options = Options("libfarsend-fault.so");
        options.nWatchdogMs = 1000;
        CHostWorkers workers(nRun == 0 ? 1 : 4, options);
        SCANREQUEST req = Request(true);
        req.arTargets = {strTree};
        req.bAutoRepair = true;
        req.arTopNames = {"Computer", "Network", "Home"};
        CResultRows rows;
        CScanEnv env{workers.GetWorker(0), &m_lister, &m_drives, &m_access, &m_view, &rows, &backups};
        if (nRun == 1) {
            env.pWorkers = &workers;
            // A worker whose engine could not load is given no file: one
            // would fault there and lose its row.
            workers.m_arEngines[2]->Unload();
            workers.m_nCannotLoad = 2;
        }
        CScanner scanner(req, env);
        scanner.RunScan();
        arScanned[nRun] = scanner.GetScanned();
        for (size_t i = 0; i < rows.GetCount(); ++i) {
            const CResultRow& row = rows.GetRow(i);
            arRows[nRun].push_back(std::to_string(row.nNum) + " " + row.strPath.substr(strTree.size()) + " " +
                                   row.strVirus + " " + GetStateText(row.eState));
        }
        EXPECT_EQ(scanner.GetInfected(), static_cast<int>(rows.GetCount()));
    }
    EXPECT_EQ(arScanned[0], 50);
    EXPECT_EQ(arScanned[1], arScanned[0]);
    ASSERT_GE(arRows[0].size(), 24u);
    EXPECT_EQ(arRows[1], arRows[0]);
}

TEST_F(ScanIntegrationTest, StopLetsTheFilesInFlightFinish) {
    for (int i = 0; i < 40; ++i)
        CTempDir::WriteFile(m_dir / ("slow-50-" + std::to_string(100 + i) + ".exe"),
                            "a " + TestMarker(2, 1, "Stopped") + " b");
    CHostWorkers workers(3, Options("libfarsend-fault.so"));
    SCANREQUEST req = Request(true);
    req.arTopNames = {"Computer", "Network", "Home"};
    CResultRows rows;
    CScanEnv env{workers.GetWorker(0), &m_lister, &m_drives, &m_access, &m_view, &rows};
    env.pWorkers = &workers;
    CScanner scanner(req, env);
    m_view.m_fnOnDrain = [&](int nDrain) {
        if (nDrain == 12)
            scanner.Stop();
    };
    scanner.RunScan();
    // Every file counted was handed out and finished: one row each.
    EXPECT_GT(scanner.GetScanned(), 0);
    EXPECT_LT(scanner.GetScanned(), 40);
    EXPECT_EQ(static_cast<int>(rows.GetCount()), scanner.GetScanned());
    EXPECT_TRUE(m_view.m_bEndedStopped);
}

// The host the workers' engines are copied from dies while files are in
// flight on them: those files are scanned again on fresh copies, and the
// rows are those of the one-at-a-time scan.
TEST_F(ScanIntegrationTest, FilesInFlightWhenTheWorkersParentHostDiesAreScannedAgain) {
    // The walk does the first few itself, until their time shows workers
    // pay; the rest go to the three workers.
    for (int i = 10; i < 22; ++i)
        CTempDir::WriteFile(m_dir / ("slow-100-" + std::to_string(i) + ".exe"),
                            "a " + TestMarker(2, 1, "Orphan." + std::to_string(i)) + " b");
    SHostOptions options = Options("libfarsend-fault.so");
    options.nWatchdogMs = 2000;
    CHostEngine main(options);
    ASSERT_EQ(main.Load(), ENGINE_LOAD_OK);
    SCANREQUEST req = Request(true);
    req.arTopNames = {"Computer", "Network", "Home"};
    std::vector<std::string> arRows[2];
    for (int nRun = 0; nRun < 2; ++nRun) {
        CEnginePool pool(main);
        CResultRows rows;
        CScanEnv env{&main, &m_lister, &m_drives, &m_access, &m_view, &rows};
        if (nRun == 1) {
            ASSERT_EQ(pool.Open(3), 3);
            ASSERT_TRUE(pool.IsForked());
            env.pWorkers = &pool;
        }
        const pid_t pidZygote = main.GetHostPid();
        bool bKilled = false;
        size_t nShownBefore = SIZE_MAX;
        m_view.m_arShownFiles.clear();
        // The walk drains once per entry, and again while it waits for a
        // free worker: the first such wait finds every worker holding a file.
        m_view.m_fnOnDrain = [&](int) {
            const size_t nShown = m_view.m_arShownFiles.size();
            if (nRun == 1 && !bKilled && nShown == nShownBefore) {
                bKilled = true;
                kill(pidZygote, SIGKILL);
            }
            nShownBefore = nShown;
        };
        CScanner scanner(req, env);
        scanner.RunScan();
        m_view.m_fnOnDrain = nullptr;
        EXPECT_EQ(scanner.GetScanned(), 12);
        for (size_t i = 0; i < rows.GetCount(); ++i) {
            const CResultRow& row = rows.GetRow(i);
            arRows[nRun].push_back(std::to_string(row.nNum) + " " + row.strPath + " " + row.strVirus + " " +
                                   GetStateText(row.eState));
        }
        if (nRun == 1) {
            EXPECT_TRUE(bKilled);
            EXPECT_EQ(main.GetHostStarts(), 2);
        }
    }
    EXPECT_EQ(arRows[0].size(), 12u);
    EXPECT_EQ(arRows[1], arRows[0]);
}

}  // namespace

TEST_F(ScanIntegrationTest, AnAllowedFindingGivesNoRowUntilItsContentChanges) {
    const std::string strAllowed = m_dir / "tree/allowed.exe";
    mkdir((m_dir / "tree").c_str(), 0755);
    CTempDir::WriteFile(strAllowed, "one " + TestMarker(3, 1, "Same.Name"));
    // The same name in other content is still found.
    CTempDir::WriteFile(m_dir / "tree/other.exe", "two " + TestMarker(3, 1, "Same.Name"));
    CAllowListFile allow(m_dir / "config/quillet/allow.list");
    std::string strWhy;
    ASSERT_TRUE(allow.Allow(strAllowed, CFileId(), "Same.Name", &strWhy)) << strWhy;

    struct CLines : IDiagnosticSink {
        std::vector<std::string> m_arLines;
        void WriteLine(const std::string& strLine) override { m_arLines.push_back(strLine); }
    };
    // One engine, then several workers: both roads ask the list.
    for (int nRun = 0; nRun < 4; ++nRun) {
        const bool bWorkers = nRun % 2 == 1;
        if (nRun == 2)
            CTempDir::WriteFile(strAllowed, "one " + TestMarker(3, 1, "Same.Name") + " changed");
        CHostWorkers workers(bWorkers ? 2 : 1, Options());
        SCANREQUEST req = Request(true);
        req.arTargets = {m_dir / "tree"};
        req.arTopNames = {"Computer", "Network", "Home"};
        CResultRows rows;
        CScanEnv env{workers.GetWorker(0), &m_lister, &m_drives, &m_access, &m_view, &rows};
        env.pAllow = &allow;
        if (bWorkers)
            env.pWorkers = &workers;
        CScanner scanner(req, env);
        CLines lines;
        SetDiagnosticSink(&lines);
        scanner.RunScan();
        SetDiagnosticSink(nullptr);
        EXPECT_EQ(scanner.GetScanned(), 2) << nRun;
        if (nRun < 2) {
            ASSERT_EQ(rows.GetCount(), 1u) << nRun;
            EXPECT_EQ(rows.GetRow(0).strPath, m_dir / "tree/other.exe");
            EXPECT_EQ(scanner.GetInfected(), 1);
            EXPECT_EQ(lines.m_arLines, std::vector<std::string>{"allowed by the allow-list: Same.Name: " + strAllowed});
        } else {
            EXPECT_EQ(rows.GetCount(), 2u) << nRun;
            EXPECT_EQ(lines.m_arLines, std::vector<std::string>{}) << nRun;
        }
    }
}
