// The fault build fails on demand inside each entry point, in a child
// process so the test survives; and the build lacking an entry point.
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "tools/samples/SampleWriter.h"

using namespace enginetest;

namespace {

constexpr int kHangWaitMs = 400;
constexpr int kDeathWaitMs = 20000;
const char* const kKinds[] = {"crash", "abort", "hang", "exit"};

CChildEnd RunFaulting(const std::function<void()>& fn, const std::string& strKind)
{
    return RunInChild(fn, strKind == "hang" ? kHangWaitMs : kDeathWaitMs);
}

void ExpectFault(const CChildEnd& end, const std::string& strKind)
{
    const bool bAsExpected = strKind == "crash"   ? end.Signalled(SIGSEGV)
                             : strKind == "abort" ? end.Signalled(SIGABRT)
                             : strKind == "exit"  ? end.Exited(3)
                                                  : end.m_bTimedOut;
    EXPECT_TRUE(bAsExpected) << strKind << ": timed out " << end.m_bTimedOut << " status " << end.m_nStatus;
}

class FaultEngineTest : public ::testing::Test {
protected:
    const CEngineApi& m_api = Faulty();
    CTempDir m_dir;
};

TEST_F(FaultEngineTest, FileNameFaultsHitTheirEntryOnly)
{
    const CEngineApi& api = m_api;
    for (const char* pszEntry : {"format", "probe", "recover", "report", "name", "close"}) {
        for (const char* pszKind : kKinds) {
            const std::string strPath = m_dir.File(std::string("fault-") + pszEntry + "-" + pszKind + ".exe");
            ASSERT_TRUE(WriteFile(strPath, "no signature here"));
            // A front end's order; every entry before the named one must answer.
            const CChildEnd end = RunFaulting(
                [&api, strPath] {
                    if (api.m_pfnFormat(strPath.c_str()) != 0)
                        ::_exit(40);
                    const uint32_t hProbe = api.m_pfnProbe(strPath.c_str());
                    if (hProbe == 0 || api.m_pfnReport(hProbe) != 0 || api.Name(hProbe) != "Fault.Test" ||
                        api.m_pfnRecover(hProbe) != 1)
                        ::_exit(41);
                    api.m_pfnClose(hProbe);
                },
                pszKind);
            ExpectFault(end, pszKind);
        }
    }
}

TEST_F(FaultEngineTest, EnvironmentFaultsHitTheirEntryOnly)
{
    const CEngineApi& api = m_api;
    const std::pair<const char*, std::function<void()>> arEntries[] = {
        {"version", [&api] { api.m_pfnVersion(); }},
        {"turnon", [&api] { api.m_pfnTurnOn(); }},
        {"turnoff", [&api] { api.m_pfnTurnOff(); }},
    };
    for (const auto& [pszEntry, fnCall] : arEntries) {
        for (const char* pszKind : kKinds) {
            const std::string strValue = std::string(pszEntry) + "-" + pszKind;
            const CChildEnd end = RunFaulting(
                [&arEntries, strValue, pszEntry = pszEntry, &fnCall = fnCall] {
                    ::setenv("FARSEND_FAULT", strValue.c_str(), 1);
                    for (const auto& [pszOther, fnOther] : arEntries) {
                        if (pszOther != pszEntry)
                            fnOther();
                    }
                    fnCall();
                },
                pszKind);
            ExpectFault(end, pszKind);
        }
    }
    const CChildEnd end = RunInChild(
        [&arEntries] {
            ::setenv("FARSEND_FAULT", "version-crashing", 1);
            for (const auto& [pszEntry, fnCall] : arEntries)
                fnCall();
        },
        kDeathWaitMs);
    EXPECT_TRUE(end.Exited(0)) << "status " << end.m_nStatus;
}

TEST_F(FaultEngineTest, OtherwiseLikeTheReferenceEngine)
{
    const std::string strMarker = quillet::samples::TestMarker(2, 1, "Plain.Marker");
    for (const char* pszName : {"plain.exe", "fault-bogus-crash.exe", "fault-probe-explode.exe",
                                "xfault-probe-crash.exe", "fault-version-crash.exe"}) {
        const std::string strPath = m_dir.File(pszName);
        ASSERT_TRUE(WriteFile(strPath, "a " + strMarker + " b"));
        EXPECT_EQ(m_api.m_pfnFormat(strPath.c_str()), 0u);
        EXPECT_EQ(CleanChain(m_api, strPath), (CChain{{2, "Plain.Marker", 1}})) << pszName;
    }
    // Only the last path component counts.
    const std::string strDir = m_dir.File("fault-probe-crash");
    ASSERT_EQ(::mkdir(strDir.c_str(), 0755), 0);
    ASSERT_TRUE(WriteFile(strDir + "/inner.exe", quillet::samples::EicarString()));
    EXPECT_EQ(CleanChain(m_api, strDir + "/inner.exe"), (CChain{{1, "EICAR-Test-File", 3}}));

    // Infected by name: once cleaned, a caller probing again must not loop.
    const std::string strPath = m_dir.File("fault-close-crash.exe");
    ASSERT_TRUE(WriteFile(strPath, "content"));
    const uint32_t hProbe = m_api.m_pfnProbe(strPath.c_str());
    EXPECT_EQ(m_api.m_pfnRecover(hProbe), 1);
    EXPECT_EQ(m_api.m_pfnProbe(strPath.c_str()), 0u);
    EXPECT_EQ(ReadFile(strPath), "content");
}

TEST(EngineLibraries, ExportExactlyTheEntryPoints)
{
    const char* const arNine[] = {FARSEND_ENTRY_NAMES};
    std::set<std::string> setExpected(std::begin(arNine), std::end(arNine));
    setExpected.insert(FARSEND_SCANNED_FILE_NAME);
    // The fault build also has the optional ones.
    std::set<std::string> setWithOptional = setExpected;
    setWithOptional.insert({"dlGetTurnOnError_Farsend", "dlGetLastError_Farsend", "dlCanFork_Farsend"});
    for (const char* pszFile : {"libfarsend.so", "libfarsend-fault.so", "libfarsend-partial.so"}) {
        const bool bFault = std::string(pszFile) == "libfarsend-fault.so";
        // An engine of the oldest kind: the nine calls, less the close.
        if (std::string(pszFile) == "libfarsend-partial.so") {
            setExpected.erase("dlCloseProbe_Farsend");
            setExpected.erase(FARSEND_SCANNED_FILE_NAME);
        }
        std::set<std::string> setNames;
        ASSERT_TRUE(ExportedNames(BinaryDir() + "/" + pszFile, &setNames)) << pszFile;
        EXPECT_EQ(setNames, bFault ? setWithOptional : setExpected) << pszFile;
    }
    CEngineApi partial;
    ASSERT_TRUE(LoadEngine("libfarsend-partial.so", &partial));
    EXPECT_EQ(partial.m_pfnClose, nullptr);
    EXPECT_EQ(partial.MissingCount(), 1);
}

} // namespace
