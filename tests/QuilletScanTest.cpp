// quillet-scan end to end: output lines, raw paths, exit statuses.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <sched.h>
#include <signal.h>
#include <sys/mount.h>

#include <algorithm>
#include <map>
#include <chrono>
#include <thread>

#include "fakes/InChild.h"
#include "fakes/OrdinaryUser.h"
#include "platform/EngineChoice.h"
#include "fakes/RunProgram.h"
#include "fakes/TempDir.h"
#include "fakes/TestPaths.h"
#include "tools/samples/SampleWriter.h"
#include "tools/scan/ProgressLine.h"

using namespace quillet::samples;

namespace {

// Said once by every scan with the test engine.
const std::string TEST_ENGINE_LINE = "quillet-scan: test engine: finds only test files\n";

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
    // Several workers print the same lines as one.
    for (const char* pszJobs : {"1", "4"}) {
        SRun jobs = RunProgram(BinDir() + "/quillet-scan", {"--jobs", pszJobs, "--all-files", dir / "tree"}, dir);
        EXPECT_EQ(jobs.strOut, run.strOut) << pszJobs;
    }
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
    EXPECT_EQ(missing.strErr, "quillet-scan: " + dir / "nope" + ": No such file or directory\n" + TEST_ENGINE_LINE);
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
    EXPECT_EQ(quiet.strErr, TEST_ENGINE_LINE);
    SRun verbose = RunProgram(BinDir() + "/quillet-scan", {"--verbose", "--repair", dir / "tree"}, dir);
    EXPECT_EQ(verbose.strOut, quiet.strOut);
    EXPECT_NE(verbose.strErr.find("quillet-scan: backup failed, file not cleaned"), std::string::npos)
        << verbose.strErr;
    EXPECT_NE(verbose.strErr.find(strFile), std::string::npos) << verbose.strErr;
    EXPECT_EQ(CTempDir::ReadFile(strFile), "x" + TestMarker(0, 1, "Kept") + "y");
}

TEST(QuilletScanTest, EngineChoiceAndAnEngineThatCannotWork) {
    CEngineChoice choice;
    int nBad = 0;
    EXPECT_TRUE(ParseEngineSettings("# mine\nengine = clamd\n  clamd=unix:/run/x.ctl # here\n\n", &choice, &nBad));
    EXPECT_EQ(choice.strEngine, "clamd");
    EXPECT_EQ(choice.strClamd, "unix:/run/x.ctl");
    EXPECT_FALSE(ParseEngineSettings("database = /db\nengin = clamav\n", &choice, &nBad));
    EXPECT_EQ(nBad, 2);
    EXPECT_FALSE(ParseEngineSettings("alert-encrypted = yes\nalert-exceeds-max = 1\n", &choice, &nBad));
    EXPECT_EQ(nBad, 2);
    // The window's scans quarantine what cannot be repaired only when told.
    EXPECT_FALSE(choice.bQuarantine);
    EXPECT_TRUE(ParseEngineSettings("engine = reference\nquarantine = yes\n", &choice, &nBad));
    EXPECT_TRUE(choice.bQuarantine);
    EXPECT_FALSE(ParseEngineSettings("quarantine = always\n", &choice, &nBad));
    EXPECT_EQ(nBad, 1);
    EXPECT_EQ(ClamdAddressFromConfig("#LocalSocket /no\nLocalSocket /run/clamav/clamd.ctl\nTCPSocket 3310\n"),
              "unix:/run/clamav/clamd.ctl");
    EXPECT_EQ(ClamdAddressFromConfig("TCPSocket 3310\nTCPAddr 10.0.0.1\n"), "tcp:10.0.0.1:3310");
    // Saved over a hand-edited file: its comments and order stay, a repeat goes.
    CEngineChoice saved;
    saved.strEngine = "clamd";
    saved.strClamd = "unix:/run/c.ctl";
    EXPECT_EQ(FormatEngineSettings(saved, "# mine\nquarantine = yes\n\nengine = clamav # old\nengine = reference\n"),
              "# mine\nquarantine = no\n\nengine = clamd\nclamd = unix:/run/c.ctl\n");
    // auto: a daemon that answers, else ClamAV with signatures, else the test engine.
    SENGINEFACTS facts{"unix:/d", false, "silent", true, "/db", true, ""};
    std::string strReason;
    EXPECT_EQ(ChooseAutoEngine(facts, &strReason), "clamav");
    EXPECT_EQ(strReason, "auto chose ClamAV with the signatures in /db (silent)");
    facts.bDaemonAnswers = true;
    EXPECT_EQ(ChooseAutoEngine(facts, &strReason), "clamd");
    facts = SENGINEFACTS{"", false, "", false, "/db", true, ""};
    EXPECT_EQ(ChooseAutoEngine(facts, &strReason), "reference");

    CTempDir dir;
    SRun unknown = RunProgram(BinDir() + "/quillet-scan", {"--engine", "clamv", dir.Path()}, dir);
    EXPECT_EQ(unknown.nExit, 64);
    EXPECT_EQ(unknown.strErr,
              "quillet-scan: unknown engine \"clamv\": auto, reference, clamav, clamd or a library's path\n");
    // The engine's own words, one line whatever they hold.
    SRun unable = RunProgram(BinDir() + "/quillet-scan", {"--engine", BinDir() + "/libfarsend-fault.so", dir.Path()},
                             dir, std::string(), {"FARSEND_TURN_ON_ERROR=no database in /db\ntry again"});
    EXPECT_EQ(unable.nExit, 2);
    EXPECT_EQ(unable.strErr, "quillet-scan: no database in /db\\ntry again\n");
    EXPECT_EQ(unable.strOut, "");
}

// auto over a signature folder that cannot serve falls back to the test
// engine and says why; ClamAV named for it says so and exits 2.
TEST(QuilletScanTest, AutoOverAFolderWithoutSignaturesFallsBackAndSaysWhy) {
    CTempDir dir;
    mkdir((dir / "t").c_str(), 0755);
    CTempDir::WriteFile(dir / "t/a.exe", "x" + TestMarker(0, 1, "Name") + "y");
    // What only excuses or tunes others' findings holds no signature.
    mkdir((dir / "excuses").c_str(), 0755);
    CTempDir::WriteFile(dir / "excuses/local.ign2", "Eicar-Test-Signature\n");
    CTempDir::WriteFile(dir / "excuses/local.fp", "44d88612fea8a8f36de82e1278abb02f:68:Eicar-Test-Signature\n");
    ASSERT_EQ(symlink((dir / "gone").c_str(), (dir / "link").c_str()), 0);
    const struct {
        std::string strFolder, strWhy;
    } arCases[] = {{dir / "excuses", "the folder holds no signatures"},
                   {dir / "link", "it is a link to " + dir / "gone" + ", which does not exist"}};
    for (const auto& c : arCases) {
        SRun run = RunProgram(BinDir() + "/quillet-scan", {"--verbose", "--database", c.strFolder, dir / "t"}, dir);
        EXPECT_EQ(run.nExit, 1) << run.strErr;
        EXPECT_EQ(run.strOut, "1\t" + dir / "t/a.exe" + "\tName\tRepairable\nScanned: 1, Infected: 1\n");
        EXPECT_NE(run.strErr.find("quillet-scan: engine: auto chose the test engine, which finds only test files (no "
                                  "ClamAV daemon is configured; no ClamAV signatures in " + c.strFolder + ": " +
                                  c.strWhy + ")\n"),
                  std::string::npos)
            << run.strErr;
        SRun named = RunProgram(BinDir() + "/quillet-scan", {"--engine", "clamav", "--database", c.strFolder, dir / "t"}, dir);
        EXPECT_EQ(named.nExit, 2) << named.strErr;
        EXPECT_NE(named.strErr.find("no usable signature database in " + c.strFolder + ": "), std::string::npos)
            << named.strErr;
        EXPECT_EQ(named.strOut, "");
    }
}

// In a child, so a read that blocks fails the test rather than holding it:
// the settings file's error, or "blocked".
std::string SettingsFileError() {
    return TextInChild([] {
        CEngineChoice choice;
        std::string strError;
        return ReadEngineSettingsFile(&choice, &strError) ? std::string("read") : strError;
    });
}

// An entry added by hand as the README shows: the file is counted and named
// under --verbose, its finding not printed; the same name elsewhere is.
TEST(QuilletScanTest, AFindingOnTheAllowListIsCountedAndNamedButGivesNoRow) {
    CTempDir dir;
    mkdir((dir / "tree").c_str(), 0755);
    CTempDir::WriteFile(dir / "tree/a.exe", "one " + TestMarker(3, 1, "Hand.Made"));
    CTempDir::WriteFile(dir / "tree/b.exe", "two " + TestMarker(3, 1, "Hand.Made"));
    ASSERT_EQ(system(("cd '" + dir.Path() + "' && mkdir -p config/quillet && printf '%s\\t%s\\n' "
                      "\"$(sha256sum < tree/a.exe | cut -c1-64)\" 'Hand.Made' >> config/quillet/allow.list")
                         .c_str()),
              0);
    SRun run = RunProgram(BinDir() + "/quillet-scan", {"--verbose", dir / "tree"}, dir, std::string(),
                          {"XDG_CONFIG_HOME=" + dir / "config"});
    EXPECT_EQ(run.nExit, 1) << run.strErr;
    EXPECT_EQ(run.strOut, "1\t" + dir / "tree/b.exe" + "\tHand.Made\tSuspected\nScanned: 2, Infected: 1\n");
    EXPECT_NE(run.strErr.find("quillet-scan: allowed by the allow-list: Hand.Made: " + dir / "tree/a.exe" + "\n"),
              std::string::npos)
        << run.strErr;
}

TEST(QuilletScanTest, SettingsFileThatIsNoFileIsSaidNeverWaitedOn) {
    CTempDir dir;
    CEnv config("XDG_CONFIG_HOME", dir / "config");
    const std::string strConf = dir / "config/quillet/engine.conf";
    ASSERT_EQ(system(("mkdir -p '" + dir / "config/quillet" + "'").c_str()), 0);
    ASSERT_EQ(mkfifo(strConf.c_str(), 0644), 0);
    EXPECT_EQ(SettingsFileError(), strConf + ": cannot be read: not a regular file");
    ASSERT_EQ(unlink(strConf.c_str()), 0);
    ASSERT_EQ(mkdir(strConf.c_str(), 0755), 0);
    EXPECT_EQ(SettingsFileError(), strConf + ": cannot be read: a folder, not a file");
}

// An engine library that cannot be loaded gets the usual message; --verbose
// adds its path and the loader's reason, and a FIFO in its place is never
// opened to wait on.
TEST(QuilletScanTest, EngineThatCannotBeLoadedIsSaidWithTheLoadersReason) {
    CTempDir dir;
    const std::string strFifo = dir / "fifo.so";
    ASSERT_EQ(mkfifo(strFifo.c_str(), 0644), 0);
    const std::string strPartial = BinDir() + "/libfarsend-partial.so";
    struct {
        std::string strLibrary, strReason;
    } arCases[] = {{strFifo, strFifo + ": not a regular file"},
                   {strPartial, strPartial + ": undefined symbol: dlCloseProbe_Farsend"}};
    for (const auto& c : arCases) {
        // A short time to turn on, so a wait fails rather than holds the test.
        SRun run = RunProgram(BinDir() + "/quillet-scan", {"--verbose", "--engine", c.strLibrary, dir.Path()}, dir,
                              std::string(), {"QUILLET_ENGINE_START_MS=3000"});
        EXPECT_EQ(run.nExit, 2);
        EXPECT_EQ(run.strErr, "quillet-scan: the engine cannot be loaded: " + c.strReason +
                                  "\nCannot load Farsend.dll  file.\n");
        EXPECT_EQ(run.strOut, "");
    }
}

// Turning on that hangs: said after a few seconds, given up when its time is
// up (short here), and then the engine cannot be loaded.
TEST(QuilletScanTest, EngineThatHangsTurningOnIsSaidToLoadThenGivenUp) {
    CTempDir dir;
    const auto tStart = std::chrono::steady_clock::now();
    // timeout(1) bounds the test itself, whatever the program does.
    SRun run = RunProgram("/usr/bin/timeout", {"30", BinDir() + "/quillet-scan", "--engine",
                                               BinDir() + "/libfarsend-fault.so", dir.Path()},
                          dir, std::string(), {"FARSEND_FAULT=turnon-hang", "QUILLET_ENGINE_START_MS=4000"});
    const double dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - tStart).count();
    EXPECT_EQ(run.nExit, 2);
    EXPECT_EQ(run.strErr, "quillet-scan: the engine is still loading...\nCannot load Farsend.dll  file.\n");
    EXPECT_EQ(run.strOut, "");
    EXPECT_GE(dSeconds, 4.0);
    EXPECT_LT(dSeconds, 15.0);
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
    SRun run = RunProgram(dir / "quillet-scan", {"--engine", "reference", dir.Path()}, dir, BinDir());
    EXPECT_EQ(run.nExit, 2);
    EXPECT_EQ(run.strErr, TEST_ENGINE_LINE + "Cannot load Farsend.dll  file.\n");
    EXPECT_EQ(run.strOut, "");
    // A settings file naming ClamAV, whose library is not there: said as
    // such, and nothing is scanned with another engine.
    ASSERT_EQ(system(("mkdir -p '" + dir / "config/quillet" + "'").c_str()), 0);
    ASSERT_TRUE(CTempDir::WriteFile(dir / "config/quillet/engine.conf", "engine = clamav\n"));
    SRun clamav = RunProgram(dir / "quillet-scan", {dir.Path()}, dir, BinDir());
    EXPECT_EQ(clamav.nExit, 2);
    EXPECT_EQ(clamav.strErr, "quillet-scan: the ClamAV engine is not installed: " + dir / "libfarsend-clamav.so" +
                                 ": No such file or directory; install the quillet-engine-clamav package, or choose "
                                 "another engine\n");
    EXPECT_EQ(clamav.strOut, "");
}

TEST(QuilletScanTest, SystemFileSystemsYieldNothingHoweverReached) {
    CTempDir dir;
    ASSERT_EQ(symlink("/proc/self", (dir / "link").c_str()), 0);
    SRun run = RunProgram(BinDir() + "/quillet-scan", {"--all-files", "/proc", "/sys/fs", dir / "link"}, dir);
    // Named, but not scanned: no all-clear.
    EXPECT_EQ(run.nExit, 2);
    EXPECT_EQ(run.strOut, "Scanned: 0, Infected: 0\n");
    const std::vector<std::string> arErr = Lines(run.strErr.substr(TEST_ENGINE_LINE.size()));
    ASSERT_EQ(arErr.size(), 3u) << run.strErr;
    EXPECT_EQ(arErr[0], "quillet-scan: /proc: a system file system, not storage; not scanned");
    EXPECT_EQ(arErr[2].compare(0, 20, "quillet-scan: /proc/"), 0) << arErr[2];

    // A proc mount inside a ticked folder is not entered, decided by its
    // device: here in a mount namespace of the child's own.
    mkdir((dir / "t").c_str(), 0755);
    mkdir((dir / "t/p").c_str(), 0755);
    CTempDir::WriteFile(dir / "t/a.exe", "plain");
    pid_t pid = fork();
    if (pid == 0) {
        if (unshare(geteuid() == 0 ? CLONE_NEWNS : CLONE_NEWUSER | CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("/proc", (dir / "t/p").c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0)
            _exit(77);
        SRun nested = RunProgram(BinDir() + "/quillet-scan", {"--all-files", dir / "t"}, dir);
        _exit(nested.strOut == "Scanned: 1, Infected: 0\n" ? 0 : 1);
    }
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    ASSERT_TRUE(WIFEXITED(nStatus));
    if (WEXITSTATUS(nStatus) == 77)
        GTEST_SKIP() << "no private mount namespace here";
    EXPECT_EQ(WEXITSTATUS(nStatus), 0);
}

TEST(QuilletScanTest, FilesNotScannedAreNamedOnStandardError) {
    CTempDir dir;
    chmod(dir.Path().c_str(), 0755);
    mkdir((dir / "t").c_str(), 0755);
    const std::string strMarked = "x" + TestMarker(0, 1, "Name") + "y";
    CTempDir::WriteFile(dir / "t/a.exe", strMarked);
    CTempDir::WriteFile(dir / "t/fault-probe-crash.exe", "plain");
    for (const char* pszName : {"t/engine-error-1.exe", "t/engine-error-2.exe"})
        CTempDir::WriteFile(dir / pszName, "plain");
    // A file whose path is longer than the system takes, in a folder whose
    // own path still fits.
    int nFd = open((dir / "t").c_str(), O_RDONLY | O_DIRECTORY);
    std::string strDeep = dir / "t";
    const std::string strLevel(200, 'd');
    while (strDeep.size() + 201 < PATH_MAX - 20) {
        mkdirat(nFd, strLevel.c_str(), 0755);
        int nNext = openat(nFd, strLevel.c_str(), O_RDONLY | O_DIRECTORY);
        close(nFd);
        nFd = nNext;
        strDeep += "/" + strLevel;
    }
    const std::string strLong(PATH_MAX - strDeep.size(), 'f');
    close(openat(nFd, strLong.c_str(), O_WRONLY | O_CREAT, 0644));
    close(nFd);

    SRun run = RunProgram(BinDir() + "/quillet-scan", {"--engine", BinDir() + "/libfarsend-fault.so", dir / "t"}, dir);
    EXPECT_EQ(run.nExit, 1);
    EXPECT_EQ(run.strOut, "1\t" + dir / "t/a.exe" + "\tName\tRepairable\nScanned: 4, Infected: 1\n");
    // The engine's reason once, each file it cost by name (a sanitizer's
    // report of the engine's crash may come between).
    std::string strOurs;
    for (const std::string& strLine : Lines(run.strErr))
        if (strLine.compare(0, 14, "quillet-scan: ") == 0)
            strOurs += strLine + "\n";
    EXPECT_EQ(strOurs, "quillet-scan: " + strDeep + "/" + strLong + ": path too long; not scanned\n" +
                              "quillet-scan: engine: the daemon went away (test)\n" +
                              "quillet-scan: " + dir / "t/engine-error-1.exe" +
                              ": the engine failed on this file; not fully scanned\n" +
                              "quillet-scan: " + dir / "t/engine-error-2.exe" +
                              ": the engine failed on this file; not fully scanned\n" +
                              "quillet-scan: " + dir / "t/fault-probe-crash.exe" +
                              ": the engine failed on this file; not fully scanned\n");

    // What an ordinary user cannot read: another's file and folder.
    if (geteuid() != 0)
        GTEST_SKIP() << "another user's files need root to make";
    mkdir((dir / "u").c_str(), 0755);
    mkdir((dir / "u/closed").c_str(), 0700);
    CTempDir::WriteFile(dir / "u/locked.exe", strMarked, 0);
    const std::string strPrograms = OrdinaryBinDir();
    std::string strErr = TextAsOrdinaryUser([&] {
        CTempDir own;
        // Its history in a folder of its own: root's is not its to write.
        return RunProgram(strPrograms + "/quillet-scan", {dir / "u"}, own, std::string(),
                          {"XDG_STATE_HOME=" + own / "state"})
            .strErr;
    });
    EXPECT_EQ(strErr, TEST_ENGINE_LINE +
                      "quillet-scan: " + dir / "u/closed" + ": folder cannot be read; its files are not scanned\n"
                      "quillet-scan: " + dir / "u/locked.exe" + ": cannot be read; not scanned\n");
}

TEST(QuilletScanTest, ASecondInterruptEndsAHungEngineAtOnce) {
    CTempDir dir;
    mkdir((dir / "t").c_str(), 0755);
    CTempDir::WriteFile(dir / "t/a.exe", "x" + TestMarker(0, 1, "Name") + "y");
    CTempDir::WriteFile(dir / "t/fault-probe-hang.exe", "plain");
    const std::string strProgram = BinDir() + "/quillet-scan";
    const std::string strEngine = BinDir() + "/libfarsend-fault.so";
    const std::string strTree = dir / "t";
    const std::string strOut = dir / "out", strErr = dir / "err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, strOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, strErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const char* arArgv[] = {strProgram.c_str(), "--engine", strEngine.c_str(), strTree.c_str(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, strProgram.c_str(), &actions, nullptr, const_cast<char**>(arArgv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // The hang lasts the watchdog's 15 s; the interrupts come well before.
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    // The finding met before the hang is out already, while the scan waits.
    EXPECT_EQ(CTempDir::ReadFile(strOut), "1\t" + dir / "t/a.exe" + "\tName\tRepairable\n");
    kill(pid, SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(pid, SIGINT);
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::seconds(10));
    // Stopped: never the status of a complete scan, whatever it found.
    ASSERT_TRUE(WIFEXITED(nStatus));
    EXPECT_EQ(WEXITSTATUS(nStatus), 128 + SIGINT);
    EXPECT_EQ(CTempDir::ReadFile(strOut), "1\t" + dir / "t/a.exe" + "\tName\tRepairable\nScanned: 2, Infected: 1\n");
    EXPECT_EQ(CTempDir::ReadFile(strErr), "quillet-scan: " + dir / "t/fault-probe-hang.exe" +
                                             ": the engine failed on this file; not fully scanned\n"
                                             "quillet-scan: stopped after 2 files; the scan is not complete\n");
}

TEST(QuilletScanTest, NothingFoundButNotEverythingScannedExitsTwo) {
    CTempDir dir;
    mkdir((dir / "t").c_str(), 0755);
    CTempDir::WriteFile(dir / "t/engine-error-1.exe", "plain");
    CTempDir::WriteFile(dir / "t/readme.txt", "x" + TestMarker(0, 1, "Name") + "y");
    ASSERT_EQ(mkfifo((dir / "t/pipe").c_str(), 0644), 0);
    const std::string strProgram = BinDir() + "/quillet-scan";
    SRun fault = RunProgram(strProgram, {"--engine", BinDir() + "/libfarsend-fault.so", dir / "t"}, dir);
    EXPECT_EQ(fault.nExit, 2) << fault.strErr;
    EXPECT_EQ(fault.strOut, "Scanned: 3, Infected: 0\n");
    // Targets the user named but the engine never saw are said.
    SRun named = RunProgram(strProgram, {dir / "t/readme.txt", dir / "t/pipe"}, dir);
    EXPECT_EQ(named.nExit, 2);
    EXPECT_EQ(named.strOut, "Scanned: 2, Infected: 0\n");
    EXPECT_EQ(named.strErr, TEST_ENGINE_LINE + "quillet-scan: " + dir / "t/readme.txt" +
                                ": not one of the listed types (--all-files scans it); not scanned\n"
                                "quillet-scan: " + dir / "t/pipe" + ": not a regular file; not scanned\n");
    SRun all = RunProgram(strProgram, {"--all-files", dir / "t/readme.txt"}, dir);
    EXPECT_EQ(all.nExit, 1);
    SRun clean = RunProgram(strProgram, {"--all-files", dir / "t/engine-error-1.exe"}, dir);
    EXPECT_EQ(clean.nExit, 0) << clean.strErr;
}

TEST(QuilletScanTest, TwoRepairingScansAtOnceCleanEachFileOnce) {
    // Two programs on one tree, each on several workers: every file is cut
    // by one of them only, and loses nothing of its own.
    CTempDir dir;
    mkdir((dir / "t").c_str(), 0755);
    mkdir((dir / "work").c_str(), 0700);
    constexpr int FILES = 300;
    auto Name = [&](int i) { return dir / ("t/f" + std::to_string(1000 + i) + ".exe"); };
    auto Clean = [](int i) { return "before " + std::to_string(i) + " | after " + std::to_string(i) + " data"; };
    for (int nRound = 0; nRound < 2; ++nRound) {
        for (int i = 0; i < FILES; ++i)
            CTempDir::WriteFile(Name(i), "before " + std::to_string(i) + " |" + TestMarker(0, 1, "Twice") + " after " +
                                             std::to_string(i) + " data");
        CTempDir out[2];
        SRun runs[2];
        std::thread threads[2];
        for (int n = 0; n < 2; ++n)
            threads[n] = std::thread([&, n] {
                runs[n] = RunProgram(BinDir() + "/quillet-scan", {"--repair", "--jobs", "2", dir / "t"}, out[n],
                                     std::string(), {"TMPDIR=" + dir / "work"});
            });
        for (std::thread& thread : threads)
            thread.join();
        std::map<std::string, int> mapRepaired;
        for (const SRun& run : runs) {
            EXPECT_NE(run.nExit, 2) << run.strErr;
            for (const std::string& strLine : Lines(run.strOut))
                if (strLine.size() > 9 && strLine.compare(strLine.size() - 9, 9, "\tRepaired") == 0)
                    ++mapRepaired[strLine.substr(strLine.find('\t') + 1, Name(0).size())];
        }
        for (int i = 0; i < FILES; ++i) {
            ASSERT_EQ(CTempDir::ReadFile(Name(i)), Clean(i)) << "round " << nRound;
            EXPECT_EQ(mapRepaired[Name(i)], 1) << Name(i);
        }
    }
}

}  // namespace

// Each scan leaves its record, its findings and errors included, and
// --history prints it.
TEST(QuilletScanTest, AScanIsInTheHistoryWithItsFindingsAndErrors) {
    CTempDir dir;
    mkdir((dir / "tree").c_str(), 0755);
    CTempDir::WriteFile(dir / "tree/a.exe", "one " + TestMarker(3, 1, "Hand.Made"));
    const std::vector<std::string> arEnv = {"XDG_STATE_HOME=" + dir / "state", "QUILLET_NOTIFY="};
    SRun run = RunProgram(BinDir() + "/quillet-scan", {dir / "tree", dir / "gone"}, dir, std::string(), arEnv);
    EXPECT_EQ(run.nExit, 2) << run.strErr;
    SRun history = RunProgram(BinDir() + "/quillet-scan", {"--history"}, dir, std::string(), arEnv);
    EXPECT_EQ(history.nExit, 0) << history.strErr;
    EXPECT_NE(history.strOut.find("  Target: " + dir / "tree" + "\n  Target: " + dir / "gone" + "\n"), std::string::npos)
        << history.strOut;
    EXPECT_NE(history.strOut.find("  Scanned: 1, Infected: 1\n"), std::string::npos);
    EXPECT_NE(history.strOut.find("  Exit status: 2\n"), std::string::npos);
    EXPECT_NE(history.strOut.find("  Found: " + dir / "tree/a.exe" + "\tHand.Made\tSuspected\n"), std::string::npos);
    EXPECT_NE(history.strOut.find("  Error: " + dir / "gone" + ": No such file or directory\n"), std::string::npos);
}

TEST(QuilletScanTest, TheProgressLineShowsOnATerminalOnlyAndCannotSteerIt) {
    CTempDir dir;
    mkdir((dir / "t").c_str(), 0755);
    CTempDir::WriteFile(dir / "t/a.exe", "x" + TestMarker(0, 1, "Name") + "y");
    ASSERT_EQ(mkfifo((dir / "t/pipe.exe").c_str(), 0644), 0);
    const std::string strProgram = BinDir() + "/quillet-scan";
    const std::string strRow = "1\t" + dir / "t/a.exe" + "\tName\tRepairable\nScanned: 2, Infected: 1\n";
    // Not a terminal: standard error carries no progress, only the line that
    // says what the test engine can find.
    const std::string strTestEngine = "quillet-scan: test engine: finds only test files\n";
    SRun plain = RunProgram(strProgram, {dir / "t"}, dir);
    EXPECT_EQ(plain.strOut, strRow);
    EXPECT_EQ(plain.strErr, strTestEngine);
    SRun quiet = RunProgram(strProgram, {"--quiet", dir / "t/pipe.exe"}, dir);
    EXPECT_EQ(quiet.nExit, 2);
    EXPECT_EQ(quiet.strErr, strTestEngine);
    // Asked for: drawn, and erased at the end; the rows are unchanged.
    SRun shown = RunProgram(strProgram, {"--progress", dir / "t"}, dir);
    EXPECT_EQ(shown.strOut, strRow);
    EXPECT_EQ(shown.strErr.rfind("\r\x1b[K"), shown.strErr.size() - 4) << shown.strErr;
    EXPECT_NE(shown.strErr.find("\rScanned: "), std::string::npos) << shown.strErr;

    // The folder's middle goes to fit the terminal, and a name that holds a
    // terminal's control bytes reaches it escaped.
    const std::string strLine = CProgressLine::Format(12, 1, 2.0, "/home/ann/\x1b]0;owned\x07/very/long/folder", 60);
    EXPECT_LT(strLine.size(), 60u);
    EXPECT_EQ(strLine.find('\x1b'), std::string::npos) << strLine;
    EXPECT_EQ(strLine.find('\x07'), std::string::npos) << strLine;
    EXPECT_EQ(strLine.rfind("Scanned: 12, Infected: 1, 6 files/s, /home/", 0), 0u) << strLine;
    EXPECT_NE(strLine.find("...folder, 0:02"), std::string::npos) << strLine;
}

TEST(QuilletScanTest, JsonLinesCarryEveryPathExactlyAndEndWithTheStatus) {
    CTempDir dir;
    mkdir((dir / "t").c_str(), 0755);
    // A name that is no UTF-8 and holds a quote and a line break.
    const std::string strName = std::string("a\xe9\"\n.exe");
    CTempDir::WriteFile(dir / ("t/" + strName), "x" + TestMarker(0, 1, "Name") + "y");
    ASSERT_EQ(mkfifo((dir / "pipe.exe").c_str(), 0644), 0);
    SRun run = RunProgram(BinDir() + "/quillet-scan", {"--json", dir / "t", dir / "pipe.exe"}, dir);
    EXPECT_EQ(run.nExit, 1) << run.strErr;
    std::string strHex;
    for (unsigned char c : dir / ("t/" + strName)) {
        char sz[3];
        snprintf(sz, sizeof sz, "%02x", c);
        strHex += sz;
    }
    const std::string strExpected =
        "{\"type\":\"row\",\"number\":1,\"path\":\"" + dir / "t/a\\ufffd\\\"\\u000a.exe" + "\",\"path_hex\":\"" + strHex +
        "\",\"virus\":\"Name\",\"state\":0,\"state_text\":\"Repairable\"}\n"
        "{\"type\":\"not_scanned\",\"path\":\"" + dir / "pipe.exe" + "\",\"reason\":\"not a regular file; not scanned\"}\n"
        "{\"type\":\"summary\",\"scanned\":2,\"infected\":1,\"exit_status\":1,\"engine\":\"reference\",\"engine_version\":\"";
    EXPECT_EQ(run.strOut.substr(0, strExpected.size()), strExpected) << run.strOut;
    EXPECT_EQ(run.strErr, "quillet-scan: test engine: finds only test files\n");
}

TEST(QuilletScanTest, AReaderThatGoesAwayStopsTheScanWithAnHonestStatus) {
    // A script reads the first finding and closes the pipe: the scan stops
    // rather than dying of SIGPIPE, and says it is not complete. More rows
    // than the pipe holds, so some are written after the close whatever
    // the timing.
    CTempDir dir;
    mkdir((dir / "t").c_str(), 0755);
    for (int i = 0; i < 2000; ++i)
        CTempDir::WriteFile(dir / ("t/f" + std::to_string(i) + ".exe"), "x" + TestMarker(0, 1, "Name") + "y");
    int arPipe[2];
    ASSERT_EQ(pipe(arPipe), 0);
    const std::string strProgram = BinDir() + "/quillet-scan";
    const std::string strTree = dir / "t";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, arPipe[1], 1);
    posix_spawn_file_actions_addclose(&actions, arPipe[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const std::string strState = "XDG_STATE_HOME=" + dir / "state";
    std::vector<char*> arEnv{const_cast<char*>(strState.c_str())};
    for (char** pp = environ; *pp; ++pp)
        if (strncmp(*pp, "XDG_STATE_HOME=", 15) != 0)
            arEnv.push_back(*pp);
    arEnv.push_back(nullptr);
    const char* arArgv[] = {strProgram.c_str(), "--jobs", "1", strTree.c_str(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, strProgram.c_str(), &actions, nullptr, const_cast<char**>(arArgv), arEnv.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(arPipe[1]);
    char szLine[256] = {};
    EXPECT_GT(read(arPipe[0], szLine, sizeof szLine - 1), 0);
    close(arPipe[0]);
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    ASSERT_TRUE(WIFEXITED(nStatus)) << "ended by signal " << WTERMSIG(nStatus);
    EXPECT_EQ(WEXITSTATUS(nStatus), 2);

    // Counts that cannot be written (a full disk) are no all-clear either.
    CTempDir::WriteFile(dir / "clean.exe", "plain");
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const std::string strOne = dir / "clean.exe";
    const char* arOne[] = {strProgram.c_str(), strOne.c_str(), nullptr};
    ASSERT_EQ(posix_spawn(&pid, strProgram.c_str(), &actions, nullptr, const_cast<char**>(arOne), arEnv.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    waitpid(pid, &nStatus, 0);
    ASSERT_TRUE(WIFEXITED(nStatus));
    EXPECT_EQ(WEXITSTATUS(nStatus), 2);
}

TEST(QuilletScanTest, AFileUnchangedSinceACleanScanIsNotReadAgain) {
    CTempDir dir;
    mkdir((dir / "t").c_str(), 0755);
    CTempDir::WriteFile(dir / "t/a.exe", "plain");
    // As long as the test file, and clean.
    std::string strLookalike = EicarString();
    for (char& c : strLookalike)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    CTempDir::WriteFile(dir / "t/b.com", strLookalike);
    auto Unchanged = [](const SRun& run) {
        const size_t nAt = run.strOut.find("\"unchanged\":");
        return nAt == std::string::npos ? -1 : atoi(run.strOut.c_str() + nAt + 12);
    };
    const std::string strScan = BinDir() + "/quillet-scan";
    // Written just now: a write in the same tick of the file system's clock
    // would not move the change time, so nothing is remembered.
    EXPECT_EQ(Unchanged(RunProgram(strScan, {"--json", dir / "t"}, dir)), 0);
    EXPECT_EQ(Unchanged(RunProgram(strScan, {"--json", dir / "t"}, dir)), 0);

    const std::vector<std::string> arSettled = {"QUILLET_VERDICT_SETTLE_MS=0"};
    EXPECT_EQ(Unchanged(RunProgram(strScan, {"--json", dir / "t"}, dir, "", arSettled)), 0);
    SRun again = RunProgram(strScan, {"--json", dir / "t"}, dir, "", arSettled);
    EXPECT_EQ(again.nExit, 0) << again.strErr;
    EXPECT_EQ(Unchanged(again), 2) << again.strOut;
    EXPECT_NE(again.strOut.find("\"scanned\":2,"), std::string::npos);
    struct stat st;
    ASSERT_EQ(stat((dir / "cache/quillet/verdicts").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(stat((dir / "cache/quillet").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // The same size and modification time, the content another: read again.
    struct stat stOld;
    ASSERT_EQ(stat((dir / "t/b.com").c_str(), &stOld), 0);
    CTempDir::WriteFile(dir / "t/b.com", EicarString());
    const timespec arTimes[2] = {stOld.st_atim, stOld.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "t/b.com").c_str(), arTimes, 0), 0);
    SRun found = RunProgram(strScan, {"--json", dir / "t"}, dir, "", arSettled);
    EXPECT_EQ(found.nExit, 1) << found.strOut;
    EXPECT_NE(found.strOut.find("/t/b.com\",\"virus\""), std::string::npos) << found.strOut;
    EXPECT_EQ(Unchanged(found), 1);
    // A finding is never remembered.
    EXPECT_EQ(RunProgram(strScan, {"--json", dir / "t"}, dir, "", arSettled).nExit, 1);

    EXPECT_EQ(Unchanged(RunProgram(strScan, {"--json", "--no-cache", dir / "t"}, dir, "", arSettled)), 0);
    // Verdicts someone else could have written are not believed.
    ASSERT_EQ(chmod((dir / "cache/quillet/verdicts").c_str(), 0620), 0);
    EXPECT_EQ(Unchanged(RunProgram(strScan, {"--json", dir / "t"}, dir, "", arSettled)), 0);
}
