// The reference engine through its C entry points, loaded as the host loads it.
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "tools/samples/SampleWriter.h"

using namespace enginetest;
using quillet::samples::EicarString;
using quillet::samples::TestMarker;

namespace {

constexpr std::size_t kChunk = 64 * 1024;

class ReferenceEngineTest : public ::testing::Test {
protected:
    const CEngineApi& m_api = Reference();
    CTempDir m_dir;

    std::string Put(const std::string& strName, const std::string& strContent)
    {
        const std::string strPath = m_dir.File(strName);
        EXPECT_TRUE(WriteFile(strPath, strContent)) << strPath;
        return strPath;
    }

    // The caller's order: format, then probe the same path.
    uint32_t FormatThenProbe(const std::string& strPath)
    {
        EXPECT_EQ(m_api.m_pfnFormat(strPath.c_str()), 0u) << strPath;
        return m_api.m_pfnProbe(strPath.c_str());
    }

    // Name of what a probe finds, "" when clean.
    std::string Found(const std::string& strPath, bool bFormatFirst = true)
    {
        const uint32_t hProbe = bFormatFirst ? FormatThenProbe(strPath) : m_api.m_pfnProbe(strPath.c_str());
        const std::string strName = hProbe ? m_api.Name(hProbe) : "";
        m_api.m_pfnClose(hProbe);
        return strName;
    }
};

TEST_F(ReferenceEngineTest, FormatCodes)
{
    EXPECT_STREQ(m_api.m_pfnVersion(), "1.0.2612");
    EXPECT_EQ(m_api.m_pfnFormat(Put("plain.exe", "hello").c_str()), 0u);
    EXPECT_EQ(m_api.m_pfnFormat(Put("empty.exe", "").c_str()), 0u);
    EXPECT_EQ(m_api.m_pfnFormat(m_dir.File("missing.exe").c_str()), 10u);
    EXPECT_EQ(m_api.m_pfnFormat(nullptr), 10u);
    EXPECT_EQ(m_api.m_pfnFormat(m_dir.File("").c_str()), 11u);
    EXPECT_EQ(m_api.m_pfnFormat("/dev/null"), 11u);
    // A forced code needs the exact form at the very start.
    EXPECT_EQ(m_api.m_pfnFormat(Put("f12.exe", "FSTF{12}rest").c_str()), 12u);
    EXPECT_EQ(m_api.m_pfnFormat(Put("f05.exe", "FSTF{05}").c_str()), 5u);
    for (const char* pszNear : {"FSTF{12", "FSTF{1x}", "FSTF{123}", " FSTF{12}"})
        EXPECT_EQ(m_api.m_pfnFormat(Put("near.exe", pszNear).c_str()), 0u) << pszNear;

    if (::geteuid() != 0) { // root reads everything
        const std::string strLocked = Put("locked.exe", "secret");
        ASSERT_EQ(::chmod(strLocked.c_str(), 0), 0);
        EXPECT_EQ(m_api.m_pfnFormat(strLocked.c_str()), 10u);
        const uint32_t hProbe = m_api.m_pfnProbe(strLocked.c_str());
        EXPECT_EQ(m_api.m_pfnReport(hProbe), 6) << "unreadable is not clean";
        m_api.m_pfnClose(hProbe);
    }
}

TEST_F(ReferenceEngineTest, FifoNeverBlocks)
{
    const std::string strFifo = m_dir.File("pipe.exe");
    ASSERT_EQ(::mkfifo(strFifo.c_str(), 0644), 0);
    const CEngineApi& api = m_api;
    const CChildEnd end = RunInChild(
        [&api, strFifo] {
            if (api.m_pfnFormat(strFifo.c_str()) != 11u || api.m_pfnProbe(strFifo.c_str()) != 0u)
                ::_exit(1);
        },
        5000);
    EXPECT_TRUE(end.Exited(0)) << "timed out " << end.m_bTimedOut << " status " << end.m_nStatus;
}

TEST_F(ReferenceEngineTest, EicarAnywhereAndFirstSignatureWins)
{
    const std::string strEicar = EicarString();
    const std::string strMarker = TestMarker(0, 1, "Marker.First");
    for (const std::string& strContent : {
             strEicar, Filler(1000) + strEicar + Filler(1000, 2),
             Filler(kChunk - 30) + strEicar + Filler(500, 3), // across the first boundary
             Filler(3 * kChunk + 5) + strEicar,               // a later chunk, at the end
             strEicar + strMarker, Filler(kChunk - 40) + strEicar + strMarker}) {
        const std::string strPath = Put("eicar.com", strContent);
        const uint32_t hProbe = FormatThenProbe(strPath);
        EXPECT_EQ(m_api.m_pfnReport(hProbe), 1);
        EXPECT_EQ(m_api.m_pfnReport(hProbe), 1) << "the same answer on every ask";
        EXPECT_EQ(m_api.Name(hProbe), "EICAR-Test-File");
        EXPECT_EQ(m_api.m_pfnRecover(hProbe), 3);
        m_api.m_pfnClose(hProbe);
        EXPECT_EQ(ReadFile(strPath), strContent) << "a failed clean changes nothing";
    }
    EXPECT_EQ(Found(Put("cut.com", strEicar.substr(0, 67))), "");
    EXPECT_EQ(Found(Put("a.exe", strMarker + strEicar)), "Marker.First");
    EXPECT_EQ(Found(Put("b.exe", Filler(kChunk - 40) + strMarker + strEicar)), "Marker.First");
}

TEST_F(ReferenceEngineTest, MarkerSyntax)
{
    const std::string strForty(40, 'N');
    const std::pair<std::string, std::string> arCases[] = {
        {"xx FSTV{07,0,a_b-c.9} yy", "a_b-c.9"},
        {"FSTV{00,1," + strForty + "}", strForty},
        {"FSTV{00,1," + strForty + "N}", ""}, // name too long
        {"FSTV{00,1,}", ""},
        {"FSTV{0,1,Name}", ""},
        {"FSTV{000,1,Name}", ""},
        {"FSTV{00,12,Name}", ""},
        {"FSTV{0a,1,Name}", ""},
        {"FSTV{00,1,Bad Name}", ""},
        {"FSTV{00,1,Name", ""}, // cut short by the end of the file
        {"fstv{00,1,Name}", ""},
        // A malformed marker is skipped and the search goes on.
        {"FSTV{00,1,Bad!} FSTV{00,1,Good}", "Good"},
        {"FSTV{FSTV{00,1,Inner}", "Inner"},
        {"FSTV{00,1," + strForty + "NFSTV{02,0,After}", "After"},
        {TestMarker(0, 1, "One") + TestMarker(0, 1, "Two"), "One"},
    };
    for (const auto& [strContent, strExpected] : arCases)
        EXPECT_EQ(Found(Put("m.exe", strContent)), strExpected) << strContent;

    for (int nReport : {0, 12, 13, 99}) { // passed through, in range or not
        const uint32_t hProbe = FormatThenProbe(Put("r.exe", TestMarker(nReport, 0, "Code")));
        EXPECT_EQ(m_api.m_pfnReport(hProbe), nReport);
        m_api.m_pfnClose(hProbe);
    }
}

TEST_F(ReferenceEngineTest, MarkersAcrossChunkBoundaries)
{
    const std::string strMarker = TestMarker(3, 0, "Quillet.Boundary.Test");
    for (std::size_t nBase : {kChunk, 5 * kChunk}) {
        for (std::size_t nBefore = 0; nBefore <= strMarker.size(); ++nBefore) {
            const std::string strContent = Filler(nBase - nBefore, static_cast<unsigned>(nBefore)) +
                                           strMarker + Filler(nBefore % 3 == 0 ? 0 : 100);
            ASSERT_EQ(Found(Put("b.exe", strContent)), "Quillet.Boundary.Test")
                << "base " << nBase << " split " << nBefore;
        }
    }
    // A malformed marker over the boundary must not hide a good one after it.
    EXPECT_EQ(Found(Put("later.exe", Filler(kChunk - 8) + "FSTV{00,1,Bad Name}" + Filler(kChunk) +
                                         TestMarker(0, 1, "Later"))),
              "Later");
}

TEST_F(ReferenceEngineTest, CleaningOutcomesAndNesting)
{
    for (int nOutcome = 0; nOutcome <= 9; ++nOutcome) {
        const std::string strContent = Filler(300) + TestMarker(0, nOutcome, "Outcome") + Filler(300, 9);
        const std::string strPath = Put("o.exe", strContent);
        EXPECT_EQ(CleanChain(m_api, strPath, 1), (CChain{{0, "Outcome", nOutcome}}));
        EXPECT_EQ(ReadFile(strPath), nOutcome == 1 ? Filler(300) + Filler(300, 9) : strContent)
            << "outcome " << nOutcome;
    }
    const std::string strNested = Put("nested.exe", "head " + TestMarker(0, 1, "First") + " mid " +
                                                        TestMarker(2, 1, "Second") + " end");
    EXPECT_EQ(CleanChain(m_api, strNested), (CChain{{0, "First", 1}, {2, "Second", 1}}));
    EXPECT_EQ(ReadFile(strNested), "head  mid  end");
    // Cutting one marker can join the bytes around it into the next.
    const std::string strJoined = Put("joined.exe", "FS" + TestMarker(0, 1, "Inner") + "TV{01,3,Outer}");
    EXPECT_EQ(CleanChain(m_api, strJoined), (CChain{{0, "Inner", 1}, {1, "Outer", 3}}));
    EXPECT_EQ(ReadFile(strJoined), "FSTV{01,3,Outer}");
}

TEST_F(ReferenceEngineTest, CleaningInPlaceKeepsInodeModeAndLinks)
{
    const std::string strTail = Filler(3 * kChunk + 123, 5); // several shift steps
    const std::string strPath = Put("keep.exe", Filler(77) + TestMarker(0, 1, "Keep") + strTail);
    ASSERT_EQ(::chmod(strPath.c_str(), 0640), 0);
    const std::string strLink = m_dir.File("other-name.exe");
    ASSERT_EQ(::link(strPath.c_str(), strLink.c_str()), 0);
    struct stat before;
    struct stat after;
    ASSERT_EQ(::stat(strPath.c_str(), &before), 0);
    EXPECT_EQ(CleanChain(m_api, strPath), (CChain{{0, "Keep", 1}}));
    ASSERT_EQ(::stat(strPath.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(ReadFile(strLink), Filler(77) + strTail);
}

TEST_F(ReferenceEngineTest, FileChangedAfterProbeIsNotTouched)
{
    const std::string strMarker = TestMarker(0, 1, "Moving");
    const std::string strOriginal = Filler(50) + strMarker + Filler(50, 2);
    const std::string strCopy = Put("copy.tmp", strOriginal);
    // Each change happens between probe and recover; what the file must hold after.
    const std::pair<std::function<void(const std::string&)>, std::string> arChanges[] = {
        {[](const std::string& strPath) { WriteFile(strPath, "x" + Filler(50) + TestMarker(0, 1, "Moving")); },
         "x" + Filler(50) + strMarker},
        {[](const std::string& strPath) { WriteFile(strPath, Filler(60)); }, Filler(60)},
        {[&strCopy](const std::string& strPath) { ::rename(strCopy.c_str(), strPath.c_str()); },
         strOriginal}, // same bytes, another file
        {[](const std::string& strPath) { ::unlink(strPath.c_str()); }, ""},
    };
    for (const auto& [fnChange, strAfter] : arChanges) {
        const std::string strPath = Put("changed.exe", strOriginal);
        const uint32_t hProbe = FormatThenProbe(strPath);
        fnChange(strPath);
        EXPECT_EQ(m_api.m_pfnRecover(hProbe), 3);
        m_api.m_pfnClose(hProbe);
        EXPECT_EQ(ReadFile(strPath), strAfter);
    }
    // Cleaning twice through one handle must not cut a second time.
    const std::string strTwice = Put("twice.exe", strMarker + strMarker + "end");
    const uint32_t hProbe = FormatThenProbe(strTwice);
    EXPECT_EQ(m_api.m_pfnRecover(hProbe), 1);
    EXPECT_EQ(m_api.m_pfnRecover(hProbe), 3);
    m_api.m_pfnClose(hProbe);
    EXPECT_EQ(ReadFile(strTwice), strMarker + "end");

    if (::geteuid() != 0) { // root writes everything
        const std::string strReadOnly = Put("ro.exe", strOriginal);
        ASSERT_EQ(::chmod(strReadOnly.c_str(), 0444), 0);
        EXPECT_EQ(CleanChain(m_api, strReadOnly), (CChain{{0, "Moving", 3}}));
        EXPECT_EQ(ReadFile(strReadOnly), strOriginal);
    }
}

TEST_F(ReferenceEngineTest, HandlesAndUnknownHandles)
{
    const std::string strPath = Put("h.exe", TestMarker(4, 1, "Handle"));
    const uint32_t h1 = FormatThenProbe(strPath);
    const uint32_t h2 = m_api.m_pfnProbe(strPath.c_str());
    const uint32_t h3 = FormatThenProbe(strPath);
    EXPECT_NE(h1, 0u);
    EXPECT_LT(h1, h2);
    EXPECT_LT(h2, h3);
    m_api.m_pfnClose(h2);
    for (uint32_t hStale : {0u, h2, h3 + 1000, 0xFFFFFFFFu}) {
        EXPECT_EQ(m_api.m_pfnReport(hStale), 1) << hStale;
        EXPECT_EQ(m_api.Name(hStale), "") << hStale;
        EXPECT_EQ(m_api.m_pfnRecover(hStale), 0) << hStale;
        m_api.m_pfnClose(hStale);
    }
    EXPECT_EQ(m_api.m_pfnReport(h1), 4);
    EXPECT_EQ(m_api.Name(h3), "Handle");
    // Turning off forgets live handles; the engine still works afterwards.
    m_api.m_pfnTurnOff();
    EXPECT_EQ(m_api.Name(h1), "");
    m_api.m_pfnTurnOn();
    const uint32_t h4 = FormatThenProbe(strPath);
    EXPECT_GT(h4, h3) << "handles are never reused";
    m_api.m_pfnClose(h4);
}

TEST_F(ReferenceEngineTest, FormatCacheServesOnlyTheSamePath)
{
    const std::string strInfected = Put("inf.exe", Filler(100) + TestMarker(0, 1, "Cached"));
    const std::string strClean = Put("clean.exe", Filler(100));
    const std::string strBig = Put("big.exe", Filler(2 * kChunk + 10) + TestMarker(0, 1, "Far"));

    EXPECT_EQ(m_api.m_pfnFormat(strInfected.c_str()), 0u);
    EXPECT_EQ(m_api.m_pfnProbe(strClean.c_str()), 0u) << "probe must read its own path";
    EXPECT_EQ(m_api.m_pfnFormat(strInfected.c_str()), 0u);
    EXPECT_EQ(m_api.m_pfnFormat(strClean.c_str()), 0u);
    EXPECT_EQ(Found(strInfected, false), "Cached");
    // Another call in between gives up the cache; the probe reopens.
    EXPECT_EQ(m_api.m_pfnFormat(strBig.c_str()), 0u);
    m_api.m_pfnVersion();
    EXPECT_EQ(Found(strBig, false), "Far");
    EXPECT_EQ(Found(strBig, true), "Far");
    EXPECT_EQ(Found(strBig, false), "Far");

    // Only a format that a probe will follow keeps its descriptor.
    auto OpenCount = [] {
        std::error_code error;
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd", error),
                             std::filesystem::directory_iterator());
    };
    const auto nIdle = OpenCount();
    EXPECT_EQ(m_api.m_pfnFormat(Put("forced.exe", "FSTF{12}").c_str()), 12u);
    EXPECT_EQ(OpenCount(), nIdle);
    EXPECT_EQ(m_api.m_pfnFormat(strClean.c_str()), 0u);
    EXPECT_EQ(OpenCount(), nIdle + 1);
    m_api.m_pfnTurnOff();
    EXPECT_EQ(OpenCount(), nIdle);
}

TEST_F(ReferenceEngineTest, LargeFile)
{
    const std::size_t nSize = 20 * 1024 * 1024;
    const std::string strBody = Filler(nSize, 11);
    EXPECT_EQ(Found(Put("large-clean.bin", strBody)), "");
    const std::string strPath =
        Put("large.exe", strBody.substr(0, nSize - 1000) + TestMarker(0, 1, "Large.Tail") +
                             strBody.substr(nSize - 1000));
    EXPECT_EQ(CleanChain(m_api, strPath), (CChain{{0, "Large.Tail", 1}}));
    EXPECT_TRUE(ReadFile(strPath) == strBody) << "cleaned large file differs";
}

TEST_F(ReferenceEngineTest, BuiltBinariesHoldNoTestString)
{
    // Scanning the build folder must not report our own programs.
    for (const char* pszFile : {"libfarsend.so", "libfarsend-fault.so", "libfarsend-partial.so",
                                "quillet-samples"}) {
        const std::string strPath = BinaryDir() + "/" + pszFile;
        ASSERT_EQ(::access(strPath.c_str(), R_OK), 0) << strPath;
        EXPECT_EQ(Found(strPath), "") << strPath;
    }
}

} // namespace
