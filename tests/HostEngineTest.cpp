// The engine binding with the real host: loading, the calls, and the fault
// rule for every way an engine can fail inside every entry point.

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "fakes/TempDir.h"
#include "fakes/TestPaths.h"
#include "platform/HostEngine.h"
#include "tools/samples/SampleWriter.h"

using namespace quillet::samples;

namespace {

SHostOptions Options(const std::string& strLibrary = std::string(), int nWatchdogMs = 400) {
    SHostOptions options;
    options.strHostPath = BinDir() + "/farsend-host";
    if (!strLibrary.empty())
        options.strLibrary = BinDir() + "/" + strLibrary;
    options.nWatchdogMs = nWatchdogMs;
    options.nStartMs = nWatchdogMs;
    return options;
}

bool HostGone(pid_t pid) {
    return pid <= 0 || (kill(pid, 0) != 0 && errno == ESRCH);
}

class HostEngineTest : public ::testing::Test {
protected:
    CTempDir m_dir;
    std::string Infected(const std::string& strName, int nReport, int nOutcome = 1, const std::string& strExtra = "") {
        std::string strPath = m_dir / strName;
        CTempDir::WriteFile(strPath, "head " + TestMarker(nReport, nOutcome, "Test." + strName) + strExtra + " tail");
        return strPath;
    }
    std::string Clean(const std::string& strName) {
        std::string strPath = m_dir / strName;
        CTempDir::WriteFile(strPath, "nothing to see here");
        return strPath;
    }
};

TEST_F(HostEngineTest, LoadsAndAnswersEveryCall) {
    CHostEngine engine(Options());
    ASSERT_EQ(engine.Load(), ENGINE_LOAD_OK);
    EXPECT_TRUE(engine.IsLoaded());
    std::string strVersion = engine.GetTorvaneVersion();
    EXPECT_FALSE(strVersion.empty());
    EXPECT_LE(strVersion.size(), 10u);

    std::string strClean = Clean("clean.exe");
    EXPECT_EQ(engine.GetFileFormat(strClean), 0u);
    EXPECT_EQ(engine.ProbeInto(strClean), 0u);

    std::string strSuspect = Infected("suspect.exe", 3);
    EXPECT_EQ(engine.GetFileFormat(strSuspect), 0u);
    uint32_t hProbe = engine.ProbeInto(strSuspect);
    ASSERT_NE(hProbe, 0u);
    EXPECT_EQ(engine.GetVirusReport(hProbe), 3);
    EXPECT_EQ(engine.GetVirusReport(hProbe), 3);
    EXPECT_EQ(engine.GetVirusName(hProbe), "Test.suspect.exe");
    engine.CloseProbe(hProbe);
    // A closed handle is never sent again.
    EXPECT_EQ(engine.GetVirusName(hProbe), "");

    // A probe without a format request before it, and one for another path
    // than the format's, both go to the engine.
    EXPECT_EQ(engine.GetFileFormat(strClean), 0u);
    hProbe = engine.ProbeInto(strSuspect);
    ASSERT_NE(hProbe, 0u);
    engine.CloseProbe(hProbe);

    std::string strOdd = m_dir / "odd.exe";
    CTempDir::WriteFile(strOdd, "FSTF{12}" + TestMarker(0, 1, "Hidden"));
    EXPECT_EQ(engine.GetFileFormat(strOdd), 12u);
    EXPECT_EQ(engine.GetFileFormat(m_dir / "missing.exe") & 0xFFFF, 10u);
    EXPECT_EQ(engine.GetHostStarts(), 1);

    pid_t pid = engine.GetHostPid();
    engine.Unload();
    EXPECT_FALSE(engine.IsLoaded());
    EXPECT_TRUE(HostGone(pid));
    EXPECT_EQ(engine.GetFileFormat(strClean), FORMAT_FAULT);
    EXPECT_EQ(engine.GetHostStarts(), 1);
}

TEST_F(HostEngineTest, CleaningRevealsTheNextInfection) {
    CHostEngine engine(Options());
    ASSERT_EQ(engine.Load(), ENGINE_LOAD_OK);
    std::string strPath = Infected("nested.exe", 0, 1, TestMarker(1, 3, "Inner"));
    ASSERT_TRUE(IsScannableFormat(engine.GetFileFormat(strPath)));
    uint32_t hProbe = engine.ProbeInto(strPath);
    ASSERT_NE(hProbe, 0u);
    EXPECT_EQ(engine.GetVirusReport(hProbe), 0);
    int16_t nOutcome = 0;
    ASSERT_TRUE(engine.RecoverFile(hProbe, &nOutcome));
    EXPECT_EQ(nOutcome, 1);
    engine.CloseProbe(hProbe);
    hProbe = engine.ProbeInto(strPath);
    ASSERT_NE(hProbe, 0u);
    EXPECT_EQ(engine.GetVirusName(hProbe), "Inner");
    EXPECT_EQ(engine.GetVirusReport(hProbe), 1);
    ASSERT_TRUE(engine.RecoverFile(hProbe, &nOutcome));
    EXPECT_EQ(nOutcome, 3);
    engine.CloseProbe(hProbe);
    EXPECT_EQ(CTempDir::ReadFile(strPath), "head " + TestMarker(1, 3, "Inner") + " tail");
}

TEST_F(HostEngineTest, RefusesWhatCannotBeLoaded) {
    for (const char* pszLibrary : {"libnothere.so", "libfarsend-partial.so"}) {
        CHostEngine engine(Options(pszLibrary));
        EXPECT_EQ(engine.Load(), ENGINE_LOAD_FAILED) << pszLibrary;
        EXPECT_FALSE(engine.IsLoaded());
        EXPECT_EQ(engine.GetHostPid(), -1);
        // Nothing calls into an engine that is not loaded, nor starts one.
        EXPECT_EQ(engine.GetFileFormat(m_dir / "x"), FORMAT_FAULT);
        EXPECT_EQ(engine.ProbeInto(m_dir / "x"), 0u);
        EXPECT_EQ(engine.GetTorvaneVersion(), "");
        EXPECT_EQ(engine.GetHostStarts(), 1);
        engine.Unload();
    }
    SHostOptions options = Options();
    options.strHostPath = m_dir / "no-such-host";
    CHostEngine missing(options);
    EXPECT_EQ(missing.Load(), ENGINE_LOAD_FAILED);

    CHostEngine never(Options());
    EXPECT_EQ(never.GetFileFormat(m_dir / "x"), FORMAT_FAULT);
    EXPECT_EQ(never.GetHostStarts(), 0);
}

struct SFaultCase {
    const char* pszEntry;
    const char* pszKind;
};

class HostFaultTest : public HostEngineTest, public ::testing::WithParamInterface<SFaultCase> {};

TEST_P(HostFaultTest, FaultGetsItsSafeAnswerAndTheNextFileARestartedHost) {
    const SFaultCase& fault = GetParam();
    CHostEngine engine(Options("libfarsend-fault.so"));
    ASSERT_EQ(engine.Load(), ENGINE_LOAD_OK);
    std::string strEntry = fault.pszEntry;
    std::string strFault = m_dir / ("fault-" + strEntry + "-" + fault.pszKind + ".exe");
    CTempDir::WriteFile(strFault, "marker file");
    std::string strNext = Infected("next.exe", 2);
    pid_t pidFirst = engine.GetHostPid();

    auto tStart = std::chrono::steady_clock::now();
    uint32_t nFormat = engine.GetFileFormat(strFault);
    if (strEntry == "format") {
        EXPECT_FALSE(IsScannableFormat(nFormat));
    } else {
        ASSERT_TRUE(IsScannableFormat(nFormat));
        uint32_t hProbe = engine.ProbeInto(strFault);
        if (strEntry == "probe") {
            EXPECT_EQ(hProbe, 0u);
        } else {
            ASSERT_NE(hProbe, 0u);
            if (strEntry == "report") {
                EXPECT_EQ(engine.GetVirusReport(hProbe), 1);
            } else if (strEntry == "name") {
                EXPECT_EQ(engine.GetVirusReport(hProbe), 0);
                EXPECT_EQ(engine.GetVirusName(hProbe), "");
            } else if (strEntry == "recover") {
                int16_t nOutcome = 7;
                EXPECT_FALSE(engine.RecoverFile(hProbe, &nOutcome));
            }
            engine.CloseProbe(hProbe);
        }
    }
    // Counted once, now, whichever call it was (a close's answer is waited for).
    EXPECT_EQ(engine.GetFaultCount(), 1u);
    double dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - tStart).count();
    EXPECT_LT(dSeconds, 5.0);

    // The next file is served as if nothing had happened.
    ASSERT_EQ(engine.GetFileFormat(strNext), 0u);
    uint32_t hProbe = engine.ProbeInto(strNext);
    ASSERT_NE(hProbe, 0u);
    EXPECT_EQ(engine.GetVirusReport(hProbe), 2);
    EXPECT_EQ(engine.GetVirusName(hProbe), "Test.next.exe");
    engine.CloseProbe(hProbe);
    EXPECT_EQ(engine.GetFaultCount(), 1u);
    EXPECT_EQ(engine.GetHostStarts(), 2);
    EXPECT_TRUE(HostGone(pidFirst));
    engine.Unload();
}

std::vector<SFaultCase> AllFaults() {
    std::vector<SFaultCase> ar;
    for (const char* pszEntry : {"format", "probe", "report", "name", "close", "recover"})
        for (const char* pszKind : {"crash", "abort", "exit", "hang"})
            ar.push_back({pszEntry, pszKind});
    return ar;
}

INSTANTIATE_TEST_SUITE_P(EveryEntryEveryKind, HostFaultTest, ::testing::ValuesIn(AllFaults()),
                         [](const ::testing::TestParamInfo<SFaultCase>& info) {
                             return std::string(info.param.pszEntry) + "_" + info.param.pszKind;
                         });

// The environment reaches the host, so the no-argument entry points can be
// made to fail too.
class CFaultEnv {
public:
    explicit CFaultEnv(const char* pszValue) { setenv("FARSEND_FAULT", pszValue, 1); }
    ~CFaultEnv() { unsetenv("FARSEND_FAULT"); }
};

TEST_F(HostEngineTest, EngineThatCannotTurnOnIsNotLoaded) {
    for (const char* pszFault : {"turnon-crash", "turnon-hang", "turnon-exit"}) {
        CFaultEnv env(pszFault);
        CHostEngine engine(Options("libfarsend-fault.so"));
        EXPECT_EQ(engine.Load(), ENGINE_LOAD_FAILED) << pszFault;
        EXPECT_EQ(engine.GetHostPid(), -1);
    }
}

TEST_F(HostEngineTest, TurningOnGoesOnBesideTheCallerAndAnEngineMaySayWhyItCannotWork) {
    // Its settings reach the host through its environment.
    CHostEngine slow(Options("libfarsend-fault.so", 60000));
    slow.SetHostEnvironment({"FARSEND_FAULT=turnon-hang"});
    EXPECT_EQ(slow.BeginLoad(), ENGINE_LOAD_PENDING);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(slow.PollLoad(), ENGINE_LOAD_PENDING);
    const pid_t pid = slow.GetHostPid();
    slow.Unload();
    EXPECT_TRUE(HostGone(pid));

    CHostEngine ready(Options("libfarsend-fault.so", 5000));
    int nResult = ready.BeginLoad();
    for (int i = 0; i < 500 && nResult == ENGINE_LOAD_PENDING; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        nResult = ready.PollLoad();
    }
    EXPECT_EQ(nResult, ENGINE_LOAD_OK);
    EXPECT_TRUE(ready.IsLoaded());
    ready.Unload();

    CHostEngine unable(Options("libfarsend-fault.so", 5000));
    unable.SetHostEnvironment({"FARSEND_TURN_ON_ERROR=no usable signature database in /nowhere"});
    EXPECT_EQ(unable.Load(), ENGINE_LOAD_ENGINE_ERROR);
    EXPECT_EQ(unable.GetLoadError(), "no usable signature database in /nowhere");
    EXPECT_FALSE(unable.IsLoaded());
    EXPECT_EQ(unable.GetHostPid(), -1);
}

TEST_F(HostEngineTest, VersionAndTurnOffFaults) {
    {
        CFaultEnv env("version-abort");
        CHostEngine engine(Options("libfarsend-fault.so"));
        ASSERT_EQ(engine.Load(), ENGINE_LOAD_OK);
        EXPECT_EQ(engine.GetTorvaneVersion(), "");
        EXPECT_EQ(engine.GetFileFormat(Clean("a.exe")), 0u);
        EXPECT_EQ(engine.GetHostStarts(), 2);
    }
    CFaultEnv env("turnoff-hang");
    CHostEngine engine(Options("libfarsend-fault.so"));
    ASSERT_EQ(engine.Load(), ENGINE_LOAD_OK);
    pid_t pid = engine.GetHostPid();
    auto tStart = std::chrono::steady_clock::now();
    engine.Unload();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - tStart).count(), 5.0);
    EXPECT_TRUE(HostGone(pid));
    EXPECT_FALSE(engine.IsLoaded());
}

TEST_F(HostEngineTest, HandlesOfADeadHostAreNeverSentToItsSuccessor) {
    CHostEngine engine(Options("libfarsend-fault.so"));
    ASSERT_EQ(engine.Load(), ENGINE_LOAD_OK);
    std::string strInfected = Infected("first.exe", 4);
    uint32_t hFirst = engine.ProbeInto(strInfected);
    ASSERT_NE(hFirst, 0u);
    std::string strCrash = m_dir / "fault-probe-crash.exe";
    CTempDir::WriteFile(strCrash, "x");
    EXPECT_EQ(engine.ProbeInto(strCrash), 0u);
    EXPECT_EQ(engine.GetVirusReport(hFirst), 1);
    EXPECT_EQ(engine.GetVirusName(hFirst), "");
    engine.CloseProbe(hFirst);
    // None of those started a host: there was nothing to ask.
    EXPECT_EQ(engine.GetHostStarts(), 1);
    EXPECT_NE(engine.ProbeInto(strInfected), 0u);
    EXPECT_EQ(engine.GetHostStarts(), 2);
}

// Dead, or a zombie nobody reaped: either way it serves no one.
bool ProcessEnded(pid_t pid) {
    std::string strStat = CTempDir::ReadFile("/proc/" + std::to_string(pid) + "/stat");
    size_t nParen = strStat.rfind(')');
    return strStat.empty() || (nParen != std::string::npos && nParen + 2 < strStat.size() && strStat[nParen + 2] == 'Z');
}

TEST_F(HostEngineTest, HostDiesWithItsFrontEnd) {
    int arPipe[2];
    ASSERT_EQ(pipe(arPipe), 0);
    pid_t pidChild = fork();
    if (pidChild == 0) {
        CHostEngine* pEngine = new CHostEngine(Options());
        pid_t pidHost = pEngine->Load() == ENGINE_LOAD_OK ? pEngine->GetHostPid() : -1;
        (void)!write(arPipe[1], &pidHost, sizeof pidHost);
        _exit(0);  // no unload, no destructor: the host must notice by itself
    }
    close(arPipe[1]);
    pid_t pidHost = -1;
    ASSERT_EQ(read(arPipe[0], &pidHost, sizeof pidHost), static_cast<ssize_t>(sizeof pidHost));
    close(arPipe[0]);
    waitpid(pidChild, nullptr, 0);
    ASSERT_GT(pidHost, 0);
    bool bEnded = false;
    for (int i = 0; i < 100 && !bEnded; ++i) {
        bEnded = ProcessEnded(pidHost);
        if (!bEnded)
            usleep(20000);
    }
    EXPECT_TRUE(bEnded);
}

// A slow engine's answers stop the spin; a single stall does not, and the
// spin comes back once answers turn quick again.
TEST(SpinGaugeTest, SpinsOnlyWhileAnswersComeWithinTheSpin) {
    farsend::CSpinGauge gauge;
    EXPECT_TRUE(gauge.ShouldSpin());
    for (int i = 0; i < 10; ++i)
        gauge.Record(20000);
    gauge.Record(int64_t{10} * 1000000000);  // one stall of ten seconds
    EXPECT_TRUE(gauge.ShouldSpin());
    for (int i = 0; i < 40; ++i)
        gauge.Record(1600000);  // a database engine's 1.6 ms
    EXPECT_FALSE(gauge.ShouldSpin());
    for (int i = 0; i < 40; ++i)
        gauge.Record(30000);
    EXPECT_TRUE(gauge.ShouldSpin());
}

}  // namespace
