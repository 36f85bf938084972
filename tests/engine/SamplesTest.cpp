// The sample writer and the quillet-samples tool: the tree must give the
// results that README.md documents when each file goes through the engine.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "tools/samples/SampleWriter.h"

using namespace enginetest;
using quillet::samples::EicarString;
using quillet::samples::TestMarker;
using quillet::samples::WriteSamplesTree;

namespace {

// Mirrors the table in tools/samples/README.md: format code and clean chain
// (empty: clean, or not probed when the format is 10 or more).
const std::map<std::string, std::pair<uint32_t, CChain>>& ExpectedTree()
{
    static const std::map<std::string, std::pair<uint32_t, CChain>> s_mapTree = {
        {"readme.txt", {0, {}}},
        {"clean-program.exe", {0, {}}},
        {"eicar.com", {0, {{1, "EICAR-Test-File", 3}}}},
        {"report-00-repairable.exe", {0, {{0, "Quillet.Report.Repairable", 1}}}},
        {"report-01-unrepairable.com", {0, {{1, "Quillet.Report.Unrepairable", 3}}}},
        {"report-02-new-virus.xls", {0, {{2, "Quillet.Report.NewVirus", 0}}}},
        {"report-03-suspected.exe", {0, {{3, "Quillet.Report.Suspected", 0}}}},
        {"report-04-not-supported.com", {0, {{4, "Quillet.Report.NotSupported", 0}}}},
        {"report-05-repair-after-decompression.xls", {0, {{5, "Quillet.Report.Decompress", 0}}}},
        {"report-06-access-denied.exe", {0, {{6, "Quillet.Report.AccessDenied", 0}}}},
        {"report-07-ok.com", {0, {{7, "Quillet.Report.Ok", 0}}}},
        {"report-08-repaired.xls", {0, {{8, "Quillet.Report.Repaired", 0}}}},
        {"report-09-deleted.exe", {0, {{9, "Quillet.Report.Deleted", 0}}}},
        {"report-10-fail-to-repair.com", {0, {{10, "Quillet.Report.FailToRepair", 0}}}},
        {"report-11-overlapped.xls", {0, {{11, "Quillet.Report.Overlapped", 0}}}},
        {"report-12-repair-after-decryption.exe", {0, {{12, "Quillet.Report.Decrypt", 0}}}},
        {"outcome-1-cleaned.exe", {0, {{0, "Quillet.Outcome.Cleaned", 1}}}},
        {"outcome-3-clean-failed.exe", {0, {{0, "Quillet.Outcome.Failed", 3}}}},
        {"outcome-4-encrypted.exe", {0, {{0, "Quillet.Outcome.Encrypted", 4}}}},
        {"outcome-other.exe", {0, {{0, "Quillet.Outcome.Other", 7}}}},
        {"nested.exe", {0, {{0, "Quillet.Nested.Outer", 1}, {1, "Quillet.Nested.Inner", 3}}}},
        {"cleaned-twice.com", {0, {{0, "Quillet.Twice.First", 1}, {0, "Quillet.Twice.Second", 1}}}},
        {"infected.doc", {0, {{0, "Quillet.Macro.Doc", 1}}}},
        {"infected-notes.txt", {0, {{0, "Quillet.Text.Notes", 1}}}},
        {"format-12.exe", {12, {}}},
        {"subfolder/infected-in-subfolder.exe", {0, {{0, "Quillet.Sub.Folder", 1}}}},
        {".hidden.exe", {0, {{0, "Quillet.Hidden", 1}}}},
    };
    return s_mapTree;
}

// Every regular file under strRoot, hidden ones too, by relative path.
std::map<std::string, std::string> ReadTree(const std::string& strRoot)
{
    std::map<std::string, std::string> mapFiles;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(strRoot, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_regular_file(error))
            mapFiles[it->path().string().substr(strRoot.size() + 1)] = ReadFile(it->path().string());
    }
    return mapFiles;
}

int RunTool(const std::string& strArgs)
{
    const int nStatus = std::system((BinaryDir() + "/quillet-samples " + strArgs + " >/dev/null 2>&1").c_str());
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

TEST(SampleWriter, EicarAndMarkers)
{
    const std::string strEicar = EicarString();
    uint64_t nHash = 0xcbf29ce484222325ull; // FNV-1a of the standard 68 bytes
    for (unsigned char c : strEicar)
        nHash = (nHash ^ c) * 0x100000001b3ull;
    EXPECT_EQ(strEicar.size(), 68u);
    EXPECT_EQ(nHash, 0x4c4b83eef5c7ac63ull);

    EXPECT_EQ(TestMarker(7, 1, "Quillet.Demo-A_9"), "FSTV{07,1,Quillet.Demo-A_9}");
    EXPECT_EQ(TestMarker(99, 9, std::string(40, 'z')), "FSTV{99,9," + std::string(40, 'z') + "}");
    // Out of range never yields a marker the engine would skip.
    for (const auto& [nReport, nOutcome, strName] :
         {std::tuple{-1, 1, "A"}, {100, 1, "A"}, {0, 10, "A"}, {0, 1, ""}, {0, 1, "a b"}, {0, 1, "b}"}})
        EXPECT_EQ(TestMarker(nReport, nOutcome, strName), "") << nReport << " " << nOutcome << " " << strName;
    EXPECT_EQ(TestMarker(0, 1, std::string(41, 'z')), "");
}

class SamplesTreeTest : public ::testing::Test {
protected:
    const CEngineApi& m_api = Reference();
    CTempDir m_dir;
};

TEST_F(SamplesTreeTest, EveryFileGivesItsDocumentedResult)
{
    const std::string strRoot = m_dir.File("demo"); // created by the writer
    std::string strError;
    ASSERT_TRUE(WriteSamplesTree(strRoot, &strError)) << strError;
    std::vector<std::string> arWritten;
    for (const auto& [strPath, strContent] : ReadTree(strRoot))
        arWritten.push_back(strPath);
    std::vector<std::string> arDocumented;
    for (const auto& [strPath, expected] : ExpectedTree())
        arDocumented.push_back(strPath);
    EXPECT_EQ(arWritten, arDocumented);

    for (const auto& [strRelative, expected] : ExpectedTree()) {
        const std::string strPath = strRoot + "/" + strRelative;
        const uint32_t nFormat = m_api.m_pfnFormat(strPath.c_str());
        EXPECT_EQ(nFormat, expected.first) << strRelative;
        if (nFormat < 10) {
            EXPECT_EQ(CleanChain(m_api, strPath), expected.second) << strRelative;
        }
    }
}

TEST_F(SamplesTreeTest, RewritingRestoresTheSameBytes)
{
    std::string strError;
    ASSERT_TRUE(WriteSamplesTree(m_dir.File("one"), &strError)) << strError;
    ASSERT_TRUE(WriteSamplesTree(m_dir.File("two"), &strError)) << strError;
    const std::map<std::string, std::string> mapOne = ReadTree(m_dir.File("one"));
    EXPECT_EQ(mapOne, ReadTree(m_dir.File("two")));
    for (const auto& [strRelative, strContent] : mapOne)
        CleanChain(m_api, m_dir.File("one/" + strRelative));
    ASSERT_NE(ReadTree(m_dir.File("one")), mapOne);
    ASSERT_TRUE(WriteSamplesTree(m_dir.File("one/"), &strError)) << strError;
    EXPECT_EQ(ReadTree(m_dir.File("one")), mapOne);
}

TEST_F(SamplesTreeTest, RefusesToWriteThroughLinks)
{
    const std::string strElsewhere = m_dir.File("elsewhere");
    const std::string strVictim = m_dir.File("victim.txt");
    ASSERT_EQ(::mkdir(strElsewhere.c_str(), 0755), 0);
    ASSERT_TRUE(WriteFile(strVictim, "keep me"));
    std::string strError;

    ASSERT_EQ(::symlink(strElsewhere.c_str(), m_dir.File("linked").c_str()), 0);
    EXPECT_FALSE(WriteSamplesTree(m_dir.File("linked"), &strError));
    EXPECT_NE(strError.find("symbolic link"), std::string::npos) << strError;
    EXPECT_FALSE(WriteSamplesTree(m_dir.File("linked/"), &strError));

    // In the way inside the tree: a link to a file, a linked subfolder, a hard link.
    const std::pair<const char*, int (*)(const char*, const char*)> arTraps[] = {
        {"eicar.com", ::symlink}, {"subfolder", ::symlink}, {"readme.txt", ::link}};
    int nTree = 0;
    for (const auto& [pszName, pfnLink] : arTraps) {
        const std::string strRoot = m_dir.File("tree" + std::to_string(nTree++));
        ASSERT_EQ(::mkdir(strRoot.c_str(), 0755), 0);
        const std::string strTarget = std::string(pszName) == "subfolder" ? strElsewhere : strVictim;
        ASSERT_EQ(pfnLink(strTarget.c_str(), (strRoot + "/" + pszName).c_str()), 0);
        EXPECT_FALSE(WriteSamplesTree(strRoot, &strError)) << pszName;
    }
    EXPECT_TRUE(ReadTree(strElsewhere).empty());
    EXPECT_EQ(ReadFile(strVictim), "keep me");
    EXPECT_FALSE(WriteSamplesTree(m_dir.File("no/such/parent"), &strError));
}

TEST_F(SamplesTreeTest, ToolExitCodes)
{
    EXPECT_EQ(RunTool(""), 2);
    EXPECT_EQ(RunTool("a b"), 2);
    EXPECT_EQ(RunTool("''"), 2);
    EXPECT_EQ(RunTool("--help"), 0);
    const std::string strRoot = m_dir.File("by-tool");
    EXPECT_EQ(RunTool("'" + strRoot + "'"), 0);
    EXPECT_EQ(RunTool("'" + strRoot + "'"), 0) << "running twice is fine";
    EXPECT_EQ(ReadTree(strRoot).size(), ExpectedTree().size());
    ASSERT_EQ(::symlink(strRoot.c_str(), m_dir.File("link").c_str()), 0);
    EXPECT_EQ(RunTool("'" + m_dir.File("link") + "'"), 1);
}

} // namespace
