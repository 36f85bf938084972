// quillet-scan end to end: output lines, raw paths, exit statuses.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>

#include "fakes/RunProgram.h"
#include "fakes/TempDir.h"
#include "fakes/TestPaths.h"
#include "tools/samples/SampleWriter.h"

using namespace quillet::samples;

namespace {

std::vector<std::string> Lines(const std::string& strText) {
    std::vector<std::string> ar;
    size_t nStart = 0;
    for (size_t n; (n = strText.find('\n', nStart)) != std::string::npos; nStart = n + 1)
        ar.push_back(strText.substr(nStart, n - nStart));
    return ar;
}

TEST(QuilletScanTest, PrintsRowsAndCountersOnTheSamplesTree) {
    CTempDir dir;
    SRun samples = RunProgram(BinDir() + "/quillet-samples", {dir / "tree"}, dir);
    ASSERT_EQ(samples.nExit, 0) << samples.strErr;

    SRun run = RunProgram(BinDir() + "/quillet-scan", {"--all-files", dir / "tree"}, dir);
    EXPECT_EQ(run.nExit, 1) << run.strErr;
    std::vector<std::string> arLines = Lines(run.strOut);
    ASSERT_GE(arLines.size(), 14u);
    for (size_t i = 0; i + 1 < arLines.size(); ++i) {
        const std::string& strLine = arLines[i];
        // NUM<TAB>PATH<TAB>VIRUS<TAB>STATUS, numbered from 1.
        ASSERT_EQ(std::count(strLine.begin(), strLine.end(), '\t'), 3) << strLine;
        EXPECT_EQ(strLine.substr(0, strLine.find('\t')), std::to_string(i + 1));
        EXPECT_EQ(strLine.compare(strLine.find('\t') + 1, dir.Path().size(), dir.Path()), 0) << strLine;
    }
    EXPECT_EQ(arLines.back().rfind("Scanned: ", 0), 0u);
    EXPECT_NE(arLines.back().find(", Infected: " + std::to_string(arLines.size() - 1)), std::string::npos);

    // Without "All files" and subfolders fewer files are scanned, all still counted.
    SRun flat = RunProgram(BinDir() + "/quillet-scan", {"--no-subfolders", dir / "tree"}, dir);
    EXPECT_EQ(flat.nExit, 1);
    EXPECT_LT(Lines(flat.strOut).size(), arLines.size());
}

TEST(QuilletScanTest, CleanTreeRawPathsAndUsage) {
    CTempDir dir;
    mkdir((dir / "t").c_str(), 0755);
    CTempDir::WriteFile(dir / "t/clean.exe", "fine");
    SRun clean = RunProgram(BinDir() + "/quillet-scan", {dir / "t"}, dir);
    EXPECT_EQ(clean.nExit, 0);
    EXPECT_EQ(clean.strOut, "Scanned: 1, Infected: 0\n");

    // Bytes above the control range go out raw; the tab is escaped.
    CTempDir::WriteFile(dir / "t/caf\xe9\tx.com", EicarString());
    SRun odd = RunProgram(BinDir() + "/quillet-scan", {dir / "t"}, dir);
    EXPECT_EQ(odd.nExit, 1);
    EXPECT_EQ(odd.strOut,
              "1\t" + dir / "t/caf\xe9\\tx.com" + "\tEICAR-Test-File\tUnrepairable\nScanned: 2, Infected: 1\n");

    EXPECT_NE(RunProgram(BinDir() + "/quillet-scan", {}, dir).nExit, 0);
    EXPECT_NE(RunProgram(BinDir() + "/quillet-scan", {"--bogus", dir / "t"}, dir).nExit, 0);
}

TEST(QuilletScanTest, NamesThatCouldForgeLinesAreEscaped) {
    CTempDir dir;
    mkdir((dir / "t").c_str(), 0755);
    CTempDir::WriteFile(dir / "t/a\nb\tc\x1b\x7f.com", EicarString());
    // A whole forged row and counter line, ending in a backslash before the extension.
    CTempDir::WriteFile(dir / "t/x.com\tEICAR-Test-File\tUnrepairable\nScanned: 9, Infected: 0\n9\\.com",
                        EicarString());
    SRun run = RunProgram(BinDir() + "/quillet-scan", {dir / "t"}, dir);
    EXPECT_EQ(run.nExit, 1) << run.strErr;
    const std::string strForged = "x.com\\tEICAR-Test-File\\tUnrepairable\\nScanned: 9, Infected: 0\\n9\\\\.com";
    EXPECT_EQ(run.strOut, "1\t" + dir / "t/a\\nb\\tc\\x1b\\x7f.com" + "\tEICAR-Test-File\tUnrepairable\n2\t" +
                              dir / "t/" + strForged + "\tEICAR-Test-File\tUnrepairable\nScanned: 2, Infected: 2\n");
    EXPECT_EQ(Lines(run.strOut).size(), 3u);
}

TEST(QuilletScanTest, FileTargetsScanOneFileAndMissingTargetsExitTwo) {
    CTempDir dir;
    mkdir((dir / "t").c_str(), 0755);
    mkdir((dir / "t/sub").c_str(), 0755);
    const std::string strMarked = "x" + TestMarker(0, 1, "Name") + "y";
    for (const char* pszName : {"t/a.exe", "t/b.exe", "t/sub/c.exe"})
        CTempDir::WriteFile(dir / pszName, strMarked);
    const std::string strRow = "1\t" + dir / "t/b.exe" + "\tName\tRepairable\n";

    // Given relative to the current folder, as a user types it.
    SRun one = RunProgram(BinDir() + "/quillet-scan", {"b.exe"}, dir, dir / "t");
    EXPECT_EQ(one.nExit, 1) << one.strErr;
    EXPECT_EQ(one.strOut, strRow + "Scanned: 1, Infected: 1\n");

    SRun missing = RunProgram(BinDir() + "/quillet-scan", {dir / "nope", dir / "t/b.exe"}, dir);
    EXPECT_EQ(missing.nExit, 2);
    EXPECT_EQ(missing.strErr, "quillet-scan: " + dir / "nope" + ": No such file or directory\n");
    EXPECT_EQ(missing.strOut, strRow + "Scanned: 1, Infected: 1\n");
    SRun none = RunProgram(BinDir() + "/quillet-scan", {dir / "nope"}, dir);
    EXPECT_EQ(none.nExit, 2);
    EXPECT_EQ(none.strOut, "Scanned: 0, Infected: 0\n");
}

TEST(QuilletScanTest, HiddenWalksDotNamesAndADotFileTargetIsScannedAlone) {
    CTempDir dir;
    ASSERT_EQ(system(("mkdir -p '" + dir / "t/.cache/.deep" + "'").c_str()), 0);
    const std::string strMarked = "x" + TestMarker(0, 1, "Name") + "y";
    CTempDir::WriteFile(dir / "t/.cache/in.exe", strMarked);
    CTempDir::WriteFile(dir / "t/.cache/.deep/.dot.exe", strMarked);
    CTempDir::WriteFile(dir / "t/top.exe", "clean");

    SRun plain = RunProgram(BinDir() + "/quillet-scan", {dir / "t"}, dir);
    EXPECT_EQ(plain.nExit, 0);
    EXPECT_EQ(plain.strOut, "Scanned: 1, Infected: 0\n");
    SRun hidden = RunProgram(BinDir() + "/quillet-scan", {"--hidden", dir / "t"}, dir);
    EXPECT_EQ(hidden.nExit, 1);
    EXPECT_EQ(hidden.strOut, "1\t" + dir / "t/.cache/.deep/.dot.exe" + "\tName\tRepairable\n2\t" +
                                 dir / "t/.cache/in.exe" + "\tName\tRepairable\nScanned: 3, Infected: 2\n");
    // Named on the command line, a dot file is scanned; other dot names
    // met beside it stay skipped.
    SRun named = RunProgram(BinDir() + "/quillet-scan", {dir / "t/.cache/.deep/.dot.exe", dir / "t"}, dir);
    EXPECT_EQ(named.nExit, 1);
    EXPECT_EQ(named.strOut, "1\t" + dir / "t/.cache/.deep/.dot.exe" +
                                "\tName\tRepairable\nScanned: 2, Infected: 1\n");
}

// Environment for one run: restored when the test ends.
class CEnv {
public:
    CEnv(const char* pszName, const std::string& strValue) : m_strName(pszName) {
        const char* pszOld = getenv(pszName);
        m_bHad = pszOld != nullptr;
        if (pszOld)
            m_strOld = pszOld;
        setenv(pszName, strValue.c_str(), 1);
    }
    ~CEnv() {
        if (m_bHad)
            setenv(m_strName.c_str(), m_strOld.c_str(), 1);
        else
            unsetenv(m_strName.c_str());
    }

private:
    std::string m_strName, m_strOld;
    bool m_bHad = false;
};

TEST(QuilletScanTest, RepairCleansBacksUpAndRecordsForTheAgent) {
    CTempDir dir;
    ASSERT_EQ(RunProgram(BinDir() + "/quillet-samples", {dir / "tree"}, dir).nExit, 0);
    CEnv tmp("TMPDIR", dir / "tmp");
    mkdir((dir / "tmp").c_str(), 0700);
    CEnv config("XDG_CONFIG_HOME", dir / "config");
    CEnv machine("XDG_CONFIG_DIRS", dir / "xdg");
    // No session bus here: the notice is dropped silently, the records stay.
    CEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir / "no-bus");
    std::string strInfo = dir / "xdg/Kestrum/Pelmora/Info";
    ASSERT_EQ(system(("mkdir -p '" + strInfo + "'").c_str()), 0);
    CTempDir::WriteFile(strInfo + "/AGENT_WinClass", "com.kestrum.Pelmora.TestAgent");

    SRun run = RunProgram(BinDir() + "/quillet-scan", {"--repair", dir / "tree"}, dir);
    EXPECT_EQ(run.nExit, 1) << run.strErr;
    std::vector<std::string> arLines = Lines(run.strOut);
    int nRepaired = 0;
    for (const std::string& strLine : arLines)
        nRepaired += strLine.find("\tRepaired") != std::string::npos && strLine.find("report-08") == std::string::npos;
    EXPECT_GE(nRepaired, 3) << run.strOut;
    std::string strClean = CTempDir::ReadFile(dir / "tree/report-00-repairable.exe");
    EXPECT_EQ(strClean.find("FSTV{"), std::string::npos);
    // Backups went to the private work folder.
    struct stat st;
    ASSERT_EQ(stat((dir / "tmp/Palisar").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_FALSE(CTempDir::ReadFile(dir / "tmp/Palisar/00000001.Vom").empty());
    // One record per row.
    std::string strLog = dir / "config/Kestrum/Pelmora/Client/EventLog/";
    int nRows = static_cast<int>(arLines.size()) - 1;
    char szLast[16];
    snprintf(szLast, sizeof szLast, "%07d", nRows - 1);
    EXPECT_FALSE(CTempDir::ReadFile(strLog + "0000000").empty());
    EXPECT_FALSE(CTempDir::ReadFile(strLog + szLast).empty());
    snprintf(szLast, sizeof szLast, "%07d", nRows);
    EXPECT_TRUE(CTempDir::ReadFile(strLog + szLast).empty());
}

TEST(QuilletScanTest, AFileWithoutItsBackupIsNotCleanedAndVerboseSaysWhy) {
    CTempDir dir;
    mkdir((dir / "tree").c_str(), 0755);
    const std::string strFile = dir / "tree/a.exe";
    CTempDir::WriteFile(strFile, "x" + TestMarker(0, 1, "Kept") + "y");
    CEnv tmp("TMPDIR", dir / "tmp");
    mkdir((dir / "tmp").c_str(), 0700);
    // Others may write the work folder: it is not used, so no backup.
    mkdir((dir / "tmp/Palisar").c_str(), 0770);
    chmod((dir / "tmp/Palisar").c_str(), 0770);

    SRun quiet = RunProgram(BinDir() + "/quillet-scan", {"--repair", dir / "tree"}, dir);
    EXPECT_EQ(quiet.strOut, "1\t" + strFile + "\tKept\tFail to repair\nScanned: 1, Infected: 1\n");
    EXPECT_EQ(quiet.strErr, "");
    SRun verbose = RunProgram(BinDir() + "/quillet-scan", {"--verbose", "--repair", dir / "tree"}, dir);
    EXPECT_EQ(verbose.strOut, quiet.strOut);
    EXPECT_NE(verbose.strErr.find("quillet-scan: backup failed, file not cleaned"), std::string::npos)
        << verbose.strErr;
    EXPECT_NE(verbose.strErr.find(strFile), std::string::npos) << verbose.strErr;
    EXPECT_EQ(CTempDir::ReadFile(strFile), "x" + TestMarker(0, 1, "Kept") + "y");
}

TEST(QuilletScanTest, MissingEngineExitsWithTheLoadMessage) {
    // The programs alone, without the engine beside them.
    CTempDir dir;
    for (const char* pszName : {"quillet-scan", "farsend-host"}) {
        std::string strData = CTempDir::ReadFile(BinDir() + "/" + pszName);
        ASSERT_FALSE(strData.empty());
        ASSERT_TRUE(CTempDir::WriteFile(dir / pszName, strData, 0755));
    }
    // Run from the build folder, which does hold an engine: the current
    // folder is never searched.
    SRun run = RunProgram(dir / "quillet-scan", {dir.Path()}, dir, BinDir());
    EXPECT_EQ(run.nExit, 2);
    EXPECT_EQ(run.strErr, "Cannot load Farsend.dll  file.\n");
    EXPECT_EQ(run.strOut, "");
}

}  // namespace
