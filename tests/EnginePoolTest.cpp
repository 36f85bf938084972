// Engine workers for one scan: copies forked from one loaded engine when the
// engine allows it, independent hosts otherwise; used from several threads
// at once, with a fault costing only the call it hit.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

#include "fakes/TempDir.h"
#include "fakes/TestPaths.h"
#include "platform/EnginePool.h"
#include "tools/samples/SampleWriter.h"

using namespace quillet::samples;

namespace {

SHostOptions Options(const std::string& strLibrary) {
    SHostOptions options;
    options.strHostPath = BinDir() + "/farsend-host";
    if (!strLibrary.empty())
        options.strLibrary = BinDir() + "/" + strLibrary;
    options.nWatchdogMs = 1000;
    options.nStartMs = 5000;
    return options;
}

pid_t ParentOf(pid_t pid) {
    const std::string strStat = CTempDir::ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t nParen = strStat.rfind(')');
    return nParen == std::string::npos ? -1 : std::atoi(strStat.c_str() + nParen + 4);
}

bool GoneSoon(pid_t pid) {
    for (int i = 0; i < 200; ++i) {
        if (kill(pid, 0) != 0 && errno == ESRCH)
            return true;
        usleep(10000);
    }
    return false;
}

using CVerdict = std::tuple<uint32_t, std::string, int>;  // format, name, report

CVerdict Ask(IFarsendEngine& engine, const std::string& strPath) {
    const uint32_t nFormat = engine.GetFileFormat(strPath);
    if (!IsScannableFormat(nFormat))
        return {nFormat, "", -1};
    const uint32_t hProbe = engine.ProbeInto(strPath);
    if (hProbe == 0)
        return {nFormat, "", -1};
    CVerdict verdict{nFormat, engine.GetVirusName(hProbe), engine.GetVirusReport(hProbe)};
    engine.CloseProbe(hProbe);
    return verdict;
}

class EnginePoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 3; ++i) {
            const std::string strPath = m_dir / ("infected" + std::to_string(i) + ".exe");
            CTempDir::WriteFile(strPath, "head " + TestMarker(i + 1, 1, "Pool.Marker" + std::to_string(i)) + " tail");
            m_arFiles.push_back(strPath);
        }
        m_arFiles.push_back(m_dir / "clean.exe");
        CTempDir::WriteFile(m_arFiles.back(), "nothing to see here");
        m_arFiles.push_back(m_dir / "odd.exe");
        CTempDir::WriteFile(m_arFiles.back(), "FSTF{12}" + TestMarker(0, 1, "Hidden"));
    }
    std::vector<CVerdict> AskAll(IFarsendEngine& engine) {
        std::vector<CVerdict> ar;
        for (const std::string& strPath : m_arFiles)
            ar.push_back(Ask(engine, strPath));
        return ar;
    }

    CTempDir m_dir;
    std::vector<std::string> m_arFiles;
};

TEST_F(EnginePoolTest, ForkedWorkersAnswerAsOneEngineAndAFaultCostsOnlyItsCall) {
    CHostEngine main(Options("libfarsend-fault.so"));
    ASSERT_EQ(main.Load(), ENGINE_LOAD_OK);
    ASSERT_TRUE(main.CanFork());
    const std::vector<CVerdict> arExpected = AskAll(main);
    ASSERT_EQ(std::get<1>(arExpected[0]), "Pool.Marker0");
    const pid_t pidZygote = main.GetHostPid();

    CEnginePool pool(main);
    ASSERT_EQ(pool.Open(3), 3);
    EXPECT_TRUE(pool.IsForked());
    std::set<pid_t> setPids;
    for (size_t i = 0; i < 3; ++i) {
        CHostEngine* pWorker = static_cast<CHostEngine*>(pool.GetWorker(i));
        EXPECT_NE(pWorker, &main);
        EXPECT_EQ(ParentOf(pWorker->GetHostPid()), pidZygote);
        setPids.insert(pWorker->GetHostPid());
    }
    EXPECT_EQ(setPids.size(), 3u);

    // Worker 0 crashes on one file halfway while the others keep asking.
    const std::string strCrash = m_dir / "fault-probe-crash.exe";
    CTempDir::WriteFile(strCrash, "x");
    std::vector<int> arMismatches(3, 0);
    std::vector<std::thread> arThreads;
    for (size_t i = 0; i < 3; ++i) {
        arThreads.emplace_back([&, i] {
            IFarsendEngine& engine = *pool.GetWorker(i);
            for (int nRound = 0; nRound < 30; ++nRound) {
                if (i == 0 && nRound == 15) {
                    bool bFaulted = false;
                    engine.GetFileFormat(strCrash);
                    if (engine.ProbeInto(strCrash, &bFaulted) != 0 || !bFaulted)
                        ++arMismatches[i];
                }
                arMismatches[i] += AskAll(engine) != arExpected;
            }
        });
    }
    for (std::thread& thread : arThreads)
        thread.join();
    EXPECT_EQ(arMismatches, (std::vector<int>{0, 0, 0}));
    for (size_t i = 0; i < 3; ++i) {
        CHostEngine* pWorker = static_cast<CHostEngine*>(pool.GetWorker(i));
        EXPECT_EQ(pWorker->GetFaultCount(), i == 0 ? 1u : 0u) << i;
        EXPECT_EQ(pWorker->GetHostStarts(), i == 0 ? 2 : 1) << i;
    }
    // The crashed copy was replaced by a fresh fork, not a reload.
    EXPECT_EQ(main.GetHostPid(), pidZygote);
    EXPECT_EQ(main.GetHostStarts(), 1);

    // A hung copy is killed, though it is not our child.
    CHostEngine& hung = *static_cast<CHostEngine*>(pool.GetWorker(1));
    const pid_t pidHung = hung.GetHostPid();
    const std::string strHang = m_dir / "fault-probe-hang.exe";
    CTempDir::WriteFile(strHang, "x");
    hung.GetFileFormat(strHang);
    EXPECT_EQ(hung.ProbeInto(strHang), 0u);
    EXPECT_TRUE(GoneSoon(pidHung));
    EXPECT_EQ(AskAll(hung), arExpected);

    // A zygote gone is started anew for the next copy, and copies die
    // with it.
    const pid_t pidWorker = pool.GetWorker(2) ? static_cast<CHostEngine*>(pool.GetWorker(2))->GetHostPid() : -1;
    kill(pidZygote, SIGKILL);
    EXPECT_TRUE(GoneSoon(pidWorker));
    EXPECT_EQ(Ask(*pool.GetWorker(2), m_arFiles[0]), CVerdict(FORMAT_FAULT, "", -1));
    EXPECT_EQ(AskAll(*pool.GetWorker(2)), arExpected);
    EXPECT_EQ(main.GetHostStarts(), 2);

    pool.Close();
    EXPECT_TRUE(main.IsLoaded());
    const pid_t pidNewZygote = main.GetHostPid();
    main.Unload();
    EXPECT_TRUE(GoneSoon(pidNewZygote));
}

TEST_F(EnginePoolTest, EngineWithoutTheExportGetsIndependentHosts) {
    CHostEngine main(Options(""));
    CEnginePool pool(main);
    // The pool loads main itself.
    ASSERT_EQ(pool.Open(3), 3);
    EXPECT_FALSE(main.CanFork());
    EXPECT_FALSE(pool.IsForked());
    EXPECT_EQ(pool.GetWorker(0), &main);
    std::set<pid_t> setPids;
    for (size_t i = 0; i < 3; ++i) {
        CHostEngine* pWorker = static_cast<CHostEngine*>(pool.GetWorker(i));
        // Started by Open; loaded once its worker is made ready.
        ASSERT_TRUE(pool.PrepareWorker(i));
        ASSERT_TRUE(pWorker->IsLoaded());
        EXPECT_EQ(ParentOf(pWorker->GetHostPid()), getpid());
        setPids.insert(pWorker->GetHostPid());
    }
    EXPECT_EQ(setPids.size(), 3u);
    const std::vector<CVerdict> arExpected = AskAll(main);
    std::vector<int> arMismatches(3, 0);
    std::vector<std::thread> arThreads;
    for (size_t i = 0; i < 3; ++i)
        arThreads.emplace_back([&, i] {
            for (int nRound = 0; nRound < 10; ++nRound)
                arMismatches[i] += AskAll(*pool.GetWorker(i)) != arExpected;
        });
    for (std::thread& thread : arThreads)
        thread.join();
    EXPECT_EQ(arMismatches, (std::vector<int>{0, 0, 0}));
    pool.Close();
    EXPECT_TRUE(main.IsLoaded());
    EXPECT_EQ(pool.Open(1), 1);
    EXPECT_EQ(pool.GetWorker(0), &main);
}

TEST_F(EnginePoolTest, HostsOutliveTheThreadsThatRestartedThemAndACallCanBeAbandoned) {
    SHostOptions options = Options("libfarsend-fault.so");
    options.nWatchdogMs = 30000;
    options.arEnv = {"FARSEND_NO_FORK=1"};
    CHostEngine main(options);
    CEnginePool pool(main);
    ASSERT_EQ(pool.Open(2), 2);
    ASSERT_FALSE(pool.IsForked());
    ASSERT_TRUE(pool.PrepareWorker(1));
    CHostEngine& worker = *static_cast<CHostEngine*>(pool.GetWorker(1));
    const std::string strCrash = m_dir / "fault-probe-crash.exe";
    const std::string strHang = m_dir / "fault-probe-hang.exe";
    CTempDir::WriteFile(strCrash, "x");
    CTempDir::WriteFile(strHang, "x");
    const std::vector<CVerdict> arExpected = AskAll(main);

    // The restart happens on a thread that then ends.
    std::thread([&] {
        Ask(worker, strCrash);
        EXPECT_EQ(AskAll(worker), arExpected);
    }).join();
    EXPECT_EQ(worker.GetHostStarts(), 2);
    usleep(50000);
    EXPECT_EQ(AskAll(worker), arExpected);
    EXPECT_EQ(worker.GetFaultCount(), 1u);

    // A hang is ended from another thread long before its watchdog.
    const auto tStart = std::chrono::steady_clock::now();
    std::thread hung([&] { Ask(worker, strHang); });
    usleep(200000);
    worker.Abandon();
    hung.join();
    EXPECT_LT(std::chrono::steady_clock::now() - tStart, std::chrono::seconds(10));
    EXPECT_EQ(worker.GetFaultCount(), 2u);
    EXPECT_EQ(AskAll(worker), arExpected);
    // With no call in flight it changes nothing.
    worker.Abandon();
    EXPECT_EQ(AskAll(worker), arExpected);
    EXPECT_EQ(worker.GetFaultCount(), 2u);
}

}  // namespace
