// The ClamAV engine in this process, against databases written with the
// real tools and against clamscan's own verdicts.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include <gtest/gtest.h>

#include "clamav/ClamTestSupport.h"
#include "engine/EngineTestSupport.h"
#include "fakes/OrdinaryUser.h"
#include "fakes/Acl.h"
#include "fakes/RunProgram.h"
#include "fakes/TempDir.h"
#include "fakes/TestPaths.h"
#include "platform/EngineChoice.h"
#include "platform/EnginePool.h"

using namespace clamtest;

namespace {

class ClamavEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (FindTool("sigtool").empty())
            GTEST_SKIP() << "sigtool is not installed (Debian package clamav)";
        std::string strWhy;
        ASSERT_TRUE(m_set.Write(m_dir.Path(), &strWhy)) << strWhy;
    }
    void TearDown() override { Clam().m_pfnTurnOff(); }

    CTempDir m_dir;
    CSampleSet m_set;
};

TEST_F(ClamavEngineTest, FindsWhatItsDatabaseHoldsAndCleansNothing)
{
    const CClamApi& api = Clam();
    ASSERT_EQ(TurnOnWithDatabase(m_set.Database()), "");
    // A local database has no version of its own: the engine's alone.
    const std::string strVersion = api.m_pfnVersion();
    EXPECT_FALSE(strVersion.empty());
    EXPECT_LE(strVersion.size(), 10u);
    EXPECT_EQ(strVersion.find('/'), std::string::npos) << strVersion;

    const std::string strOwn = m_set.Samples() + "/quillet-sample.bin";
    const std::string strBefore = CTempDir::ReadFile(strOwn);
    struct stat stBefore;
    ASSERT_EQ(::stat(strOwn.c_str(), &stBefore), 0);

    const std::map<std::string, CVerdict> mapVerdicts = AskFolder(api, m_set.Samples());
    const std::map<std::string, CVerdict> mapExpected = {
        {"quillet-sample.bin", {true, "quillet-sample.bin.UNOFFICIAL", 1, 3, ""}},
        {"eicar.com", {true, "Eicar-Test-Signature.UNOFFICIAL", 1, 3, ""}},
        {"eicar-inside.txt", {true, "Eicar-Test-Signature.UNOFFICIAL", 1, 3, ""}},
        {"heuristic.txt", {true, "Heuristics.Quillet.Marker.UNOFFICIAL", 3, 3, ""}},
        {"clean.txt", {true, "", 0, 0, ""}},
        {"empty.txt", {true, "", 0, 0, ""}},
        {"sub", {false, "", 0, 0, ""}},
    };
    EXPECT_EQ(mapVerdicts, mapExpected);

    // Cleaning failed, and the file is as it was.
    struct stat stAfter;
    ASSERT_EQ(::stat(strOwn.c_str(), &stAfter), 0);
    EXPECT_EQ(CTempDir::ReadFile(strOwn), strBefore);
    EXPECT_EQ(stAfter.st_mtim.tv_sec, stBefore.st_mtim.tv_sec);
    EXPECT_EQ(stAfter.st_mtim.tv_nsec, stBefore.st_mtim.tv_nsec);

    // The same names clamscan gives.
    if (!FindTool("clamscan").empty()) {
        std::map<std::string, std::string> mapClamscan;
        std::string strWhy;
        ASSERT_TRUE(ClamscanNames(m_set.Database(), m_set.Samples(), &mapClamscan, &strWhy)) << strWhy;
        for (const auto& [strName, verdict] : mapVerdicts)
            EXPECT_EQ(verdict.m_strName, mapClamscan[strName]) << strName;
    }

    // A file that is not there is not scannable, and probing it anyway is
    // a failure with a reason, never "clean".
    const std::string strMissing = m_set.Samples() + "/missing.txt";
    EXPECT_GE(api.m_pfnFormat(strMissing.c_str()), 10u);
    EXPECT_EQ(api.m_pfnProbe(strMissing.c_str()), 0u);
    EXPECT_NE(api.LastError().find("No such file"), std::string::npos) << api.LastError();
    EXPECT_EQ(Ask(api, m_set.Samples() + "/clean.txt"), (CVerdict{true, "", 0, 0, ""}));
    // A handle the engine never gave names nothing and changes nothing.
    EXPECT_EQ(api.Name(12345), "");
    EXPECT_EQ(api.m_pfnRecover(12345), 0);
}

TEST_F(ClamavEngineTest, EveryTestFileGivesClamscansName)
{
    if (::access(kTestFilesDir, R_OK) != 0)
        GTEST_SKIP() << kTestFilesDir << " is missing (Debian package clamav-testfiles)";
    if (FindTool("clamscan").empty())
        GTEST_SKIP() << "clamscan is not installed (Debian package clamav)";
    ASSERT_EQ(TurnOnWithDatabase(m_set.Database()), "");
    std::map<std::string, std::string> mapClamscan;
    std::string strWhy;
    ASSERT_TRUE(ClamscanNames(m_set.Database(), kTestFilesDir, &mapClamscan, &strWhy)) << strWhy;
    // Archives, mail, documents and packed programs all carry clam.exe.
    EXPECT_EQ(mapClamscan["clam.exe"], "clam.exe.UNOFFICIAL");

    const std::map<std::string, CVerdict> mapVerdicts = AskFolder(Clam(), kTestFilesDir);
    EXPECT_GE(mapVerdicts.size(), 40u);
    for (const auto& [strName, verdict] : mapVerdicts) {
        const std::string strExpected = mapClamscan.count(strName) ? mapClamscan[strName] : "";
        EXPECT_EQ(verdict, (CVerdict{true, strExpected, strExpected.empty() ? 0 : 1, strExpected.empty() ? 0 : 3, ""}))
            << strName;
    }
}

// Forked copies share one compiled engine; archives make each copy write
// temporary files, which must not collide.
TEST_F(ClamavEngineTest, ForkedWorkersFindWhatOneEngineFinds)
{
    CHostEngine main;
    CEngineChoice choice;
    choice.strEngine = "clamav";
    choice.strDatabase = m_set.Database();
    std::string strWhy;
    ASSERT_TRUE(ApplyEngineChoice(choice, main, &strWhy)) << strWhy;
    ASSERT_EQ(main.Load(), ENGINE_LOAD_OK) << main.GetLoadError();
    ASSERT_TRUE(main.CanFork());
    std::vector<std::string> arFiles;
    for (const std::string& strFolder : {m_set.Samples(), std::string(kTestFilesDir)})
        for (const std::string& strName : CTempDir::Entries(strFolder))
            arFiles.push_back(strFolder + "/" + strName);
    const auto AskAll = [&arFiles](IFarsendEngine& engine) {
        std::vector<std::string> arNames;
        for (const std::string& strPath : arFiles) {
            uint32_t hProbe = IsScannableFormat(engine.GetFileFormat(strPath)) ? engine.ProbeInto(strPath) : 0;
            arNames.push_back(hProbe ? engine.GetVirusName(hProbe) : "");
            engine.CloseProbe(hProbe);
        }
        return arNames;
    };
    const std::vector<std::string> arExpected = AskAll(main);
    EXPECT_EQ(main.GetFaultCount(), 0u);

    CEnginePool pool(main);
    ASSERT_EQ(pool.Open(2), 2);
    EXPECT_TRUE(pool.IsForked());
    std::vector<std::string> arFound[2];
    std::thread other([&] { arFound[1] = AskAll(*pool.GetWorker(1)); });
    arFound[0] = AskAll(*pool.GetWorker(0));
    other.join();
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(arFound[i], arExpected) << i;
        EXPECT_EQ(pool.GetWorker(i)->GetFaultCount(), 0u) << i;
    }
    pool.Close();
    main.Unload();
}

// A file libclamav stops part way is clean with the limit named, as clamscan
// gives no row for it; a real signature found anyway still wins; and the
// user may have those alerts as rows, as clamscan's --alert-exceeds-max and
// --alert-encrypted give them.
TEST_F(ClamavEngineTest, FileReadOnlyPartWayIsNamedWithItsLimitNeverCalledClean)
{
    const std::string strFolder = m_dir / "partial";
    ASSERT_EQ(::mkdir(strFolder.c_str(), 0755), 0);
    std::string strWhy;
    if (!WritePartialSamples(strFolder, &strWhy))
        GTEST_SKIP() << strWhy;
    struct CEnv {
        CEnv() { ::setenv("QUILLET_CLAMAV_LIMITS", kSmallLimits, 1); }
        ~CEnv()
        {
            for (const char* pszName :
                 {"QUILLET_CLAMAV_LIMITS", "QUILLET_CLAMAV_ALERT_EXCEEDS_MAX", "QUILLET_CLAMAV_ALERT_ENCRYPTED"})
                ::unsetenv(pszName);
        }
    } env;
    const CVerdict eicar = {true, "Eicar-Test-Signature.UNOFFICIAL", 1, 3, ""};
    const CVerdict suspected = {true, "", 3, 3, ""};
    const auto Named = [](CVerdict verdict, const std::string& strName) {
        verdict.m_strName = strName;
        return verdict;
    };
    const auto Noted = [](const std::string& strNote) { return CVerdict{true, "", 0, 0, "", strNote}; };

    ASSERT_EQ(TurnOnWithDatabase(m_set.Database()), "");
    std::map<std::string, CVerdict> mapNotes = {
        {"oversize.txt", Noted("MaxFileSize")}, {"deep.zip", Noted("MaxRecursion")},
        {"deep-real.zip", eicar},               {"locked.zip", Noted("encrypted")},
        {"locked-real.zip", eicar},
    };
    EXPECT_EQ(AskFolder(Clam(), strFolder), mapNotes);

    ::setenv("QUILLET_CLAMAV_ALERT_EXCEEDS_MAX", "yes", 1);
    ASSERT_EQ(TurnOnWithDatabase(m_set.Database()), "");
    std::map<std::string, CVerdict> mapAlerts(mapNotes);
    mapAlerts["oversize.txt"] = Named(suspected, "Heuristics.Limits.Exceeded.MaxFileSize");
    mapAlerts["deep.zip"] = Named(suspected, "Heuristics.Limits.Exceeded.MaxRecursion");
    EXPECT_EQ(AskFolder(Clam(), strFolder), mapAlerts);

    ::setenv("QUILLET_CLAMAV_ALERT_ENCRYPTED", "yes", 1);
    ASSERT_EQ(TurnOnWithDatabase(m_set.Database()), "");
    std::map<std::string, CVerdict> mapAll = mapAlerts;
    mapAll["locked.zip"] = Named(suspected, "Heuristics.Encrypted.Zip");
    EXPECT_EQ(AskFolder(Clam(), strFolder), mapAll);

    // The rows are clamscan's with the same limits and alerts.
    if (FindTool("clamscan").empty())
        return;
    const std::vector<std::string> arLimits = {"--max-filesize=20000", "--max-recursion=3"};
    for (const auto* pmapExpected : {&mapNotes, &mapAlerts, &mapAll}) {
        std::vector<std::string> arOptions = arLimits;
        if (pmapExpected != &mapNotes)
            arOptions.push_back("--alert-exceeds-max");
        if (pmapExpected == &mapAll)
            arOptions.push_back("--alert-encrypted");
        std::map<std::string, std::string> mapClamscan;
        ASSERT_TRUE(ClamscanNames(m_set.Database(), strFolder, &mapClamscan, &strWhy, arOptions)) << strWhy;
        for (const auto& [strName, verdict] : *pmapExpected)
            EXPECT_EQ(verdict.m_strName, mapClamscan[strName]) << strName << " " << arOptions.size();
    }
}

// Through the host: the note rides on the probe's own answer, whether the
// probe came with the format request or alone, and the settings file's
// alert-exceeds-max reaches the engine.
TEST_F(ClamavEngineTest, HostCarriesTheNoteAndTheAlertSetting)
{
    const std::string strFolder = m_dir / "partial";
    ASSERT_EQ(::mkdir(strFolder.c_str(), 0755), 0);
    std::string strWhy;
    if (!WritePartialSamples(strFolder, &strWhy))
        GTEST_SKIP() << strWhy;
    ::setenv("QUILLET_CLAMAV_LIMITS", kSmallLimits, 1);
    const std::string strOversize = strFolder + "/oversize.txt";
    CEngineChoice choice;
    choice.strEngine = "clamav";
    choice.strDatabase = m_set.Database();
    for (bool bAlert : {false, true}) {
        std::string strSettings = "engine = clamav\nalert-exceeds-max = " + std::string(bAlert ? "yes" : "no") + "\n";
        ASSERT_TRUE(ParseEngineSettings(strSettings, &choice, nullptr));
        CHostEngine host;
        ASSERT_TRUE(ApplyEngineChoice(choice, host, &strWhy)) << strWhy;
        ASSERT_EQ(host.Load(), ENGINE_LOAD_OK) << host.GetLoadError();
        const uint32_t hAlone = host.ProbeInto(strOversize);
        const std::string strNoteAlone = host.TakeScanNote();
        EXPECT_EQ(host.GetVirusName(hAlone), bAlert ? "Heuristics.Limits.Exceeded.MaxFileSize" : "");
        host.CloseProbe(hAlone);
        ASSERT_TRUE(IsScannableFormat(host.GetFileFormat(strOversize)));
        const uint32_t hFused = host.ProbeInto(strOversize);
        EXPECT_EQ(hFused != 0, bAlert);
        host.CloseProbe(hFused);
        EXPECT_EQ(strNoteAlone, bAlert ? "" : "MaxFileSize");
        EXPECT_EQ(host.TakeScanNote(), bAlert ? "" : "MaxFileSize");
        // Said once.
        EXPECT_EQ(host.TakeScanNote(), "");
        // A file read whole has none.
        EXPECT_EQ(host.ProbeInto(m_set.Samples() + "/clean.txt"), 0u);
        EXPECT_EQ(host.TakeScanNote(), "");
        EXPECT_EQ(host.GetFaultCount(), 0u);
        host.Unload();
    }
    ::unsetenv("QUILLET_CLAMAV_LIMITS");
}

// quillet-scan names each such file on standard error, one worker or
// several, and rows and exit status stay clamscan's.
TEST_F(ClamavEngineTest, QuilletScanNamesFilesReadOnlyPartWay)
{
    const std::string strFolder = m_dir / "partial";
    ASSERT_EQ(::mkdir(strFolder.c_str(), 0755), 0);
    std::string strWhy;
    if (!WritePartialSamples(strFolder, &strWhy))
        GTEST_SKIP() << strWhy;
    for (const char* pszJobs : {"1", "2"}) {
        const SRun run = RunProgram(BinDir() + "/quillet-scan",
                                    {"--engine", "clamav", "--database", m_set.Database(), "--all-files", "--jobs",
                                     pszJobs, strFolder},
                                    m_dir, "", {std::string("QUILLET_CLAMAV_LIMITS=") + kSmallLimits});
        EXPECT_EQ(run.nExit, 1) << pszJobs;
        EXPECT_EQ(run.strOut, "1\t" + strFolder + "/deep-real.zip\tEicar-Test-Signature.UNOFFICIAL\tUnrepairable\n"
                              "2\t" + strFolder + "/locked-real.zip\tEicar-Test-Signature.UNOFFICIAL\tUnrepairable\n"
                              "Scanned: 5, Infected: 2\n") << pszJobs;
        const std::string strTail = "; the engine stopped part way\n";
        EXPECT_EQ(run.strErr, "quillet-scan: " + strFolder + "/deep.zip: not fully scanned (MaxRecursion)" + strTail +
                                  "quillet-scan: " + strFolder + "/locked.zip: not fully scanned (encrypted)" +
                                  strTail + "quillet-scan: " + strFolder +
                                  "/oversize.txt: not fully scanned (MaxFileSize)" + strTail)
            << pszJobs;
    }
}

TEST_F(ClamavEngineTest, QuarantineLeavesNoFindingInPlaceAndEveryOneRestores)
{
    // Every finding of the test files goes into the Bin and comes back as
    // it was: its bytes, owner, mode and ACL.
    std::map<std::string, std::string> mapFound;
    std::string strWhy;
    ASSERT_TRUE(ClamscanNames(m_set.Database(), m_set.Samples(), &mapFound, &strWhy)) << strWhy;
    ASSERT_FALSE(mapFound.empty());
    ASSERT_EQ(::chmod(m_dir.Path().c_str(), 0755), 0);
    const std::string strTree = m_dir / "tree", strWork = m_dir / "work";
    ASSERT_EQ(::mkdir(strTree.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(strWork.c_str(), 0700), 0);
    struct SFile {
        std::string strBytes;
        struct stat st;
        std::string strAcl;
    };
    std::map<std::string, SFile> mapBefore;
    const std::string strAcl = AclValue({{0x01, 6, NO_ID}, {0x02, 4, 4321}, {0x04, 4, NO_ID}, {0x10, 4, NO_ID},
                                         {0x20, 0, NO_ID}});
    int i = 0;
    for (const auto& [strName, strVirus] : mapFound) {
        const std::string strPath = strTree + "/" + strName;
        ASSERT_TRUE(CTempDir::WriteFile(strPath, CTempDir::ReadFile(m_set.Samples() + "/" + strName), 0640));
        if (++i % 2 == 0)
            ::setxattr(strPath.c_str(), "system.posix_acl_access", strAcl.data(), strAcl.size(), 0);
        if (::geteuid() == 0)
            ASSERT_EQ(::chown(strPath.c_str(), 4321 + i, 8765), 0);
        SFile file{CTempDir::ReadFile(strPath), {}, AclOf(strPath)};
        ::stat(strPath.c_str(), &file.st);
        mapBefore[strName] = file;
    }
    const std::vector<std::string> arWork = {"TMPDIR=" + strWork};
    const SRun scan = RunProgram(BinDir() + "/quillet-scan",
                                 {"--engine", "clamav", "--database", m_set.Database(), "--all-files", "--quarantine",
                                  strTree},
                                 m_dir, "", arWork);
    EXPECT_EQ(scan.nExit, 1) << scan.strErr;
    for (const auto& [strName, file] : mapBefore) {
        EXPECT_NE(::access((strTree + "/" + strName).c_str(), F_OK), 0) << strName;
        EXPECT_NE(scan.strOut.find(strTree + "/" + strName + "\t" + mapFound[strName] + "\tQuarantined\n"),
                  std::string::npos)
            << scan.strOut;
    }
    const SRun list = RunProgram(BinDir() + "/quillet-bin", {"list"}, m_dir, "", arWork);
    std::vector<std::string> arRestore = {"restore"};
    for (size_t nAt = 0; nAt < list.strOut.size(); nAt = list.strOut.find('\n', nAt) + 1)
        arRestore.push_back(list.strOut.substr(nAt, list.strOut.find('\t', nAt) - nAt));
    ASSERT_EQ(arRestore.size(), mapBefore.size() + 1) << list.strOut;
    const SRun restore = RunProgram(BinDir() + "/quillet-bin", arRestore, m_dir, "", arWork);
    EXPECT_EQ(restore.nExit, 0) << restore.strErr;
    for (const auto& [strName, file] : mapBefore) {
        const std::string strPath = strTree + "/" + strName;
        struct stat st {};
        ASSERT_EQ(::stat(strPath.c_str(), &st), 0) << strName;
        EXPECT_EQ(CTempDir::ReadFile(strPath), file.strBytes) << strName;
        EXPECT_EQ(st.st_mode & 07777, file.st.st_mode & 07777) << strName;
        EXPECT_EQ(st.st_uid, file.st.st_uid) << strName;
        EXPECT_EQ(st.st_gid, file.st.st_gid) << strName;
        EXPECT_EQ(AclOf(strPath), file.strAcl) << strName;
    }
}

TEST_F(ClamavEngineTest, UnusableDatabaseIsATurnOnErrorNamingFolderAndPackage)
{
    const std::string strEicarSig = "Eicar-Test-Signature:0:*:58354f21502540415b345c505a58353428505e2937";
    struct CCase {
        const char* m_pszName;
        // File in the folder and its content; no folder at all when null.
        const char* m_pszFile;
        std::string m_strContent;
    };
    const CCase arCases[] = {
        {"missing", nullptr, ""},
        {"empty", "", ""},
        {"empty-database", "x.hdb", ""},
        {"corrupt", "x.hdb", "this is not a signature\n"},
        {"truncated", "x.ndb", strEicarSig.substr(0, strEicarSig.size() - 11)},
        {"broken-cvd", "daily.cvd", "ClamAV-VDB:09 Dec 2025 10-00 +0000:27453:100:90:"},
        {"no-database-files", "readme.txt", "signatures go here\n"},
    };
    for (const CCase& c : arCases) {
        const std::string strFolder = m_dir / c.m_pszName;
        if (c.m_pszFile) {
            ASSERT_EQ(::mkdir(strFolder.c_str(), 0755), 0);
            if (*c.m_pszFile) {
                ASSERT_TRUE(CTempDir::WriteFile(strFolder + "/" + c.m_pszFile, c.m_strContent));
            }
        }
        const std::string strError = TurnOnWithDatabase(strFolder);
        EXPECT_NE(strError.find("database in " + strFolder + ":"), std::string::npos) << strError;
        EXPECT_NE(strError.find("clamav-freshclam"), std::string::npos) << strError;
        EXPECT_EQ(strError.find('\n'), std::string::npos) << strError;
        EXPECT_STREQ(Clam().m_pfnVersion(), "") << c.m_pszName;
    }
    // A database path that names a file.
    const std::string strFile = m_set.Database() + "/local.hdb";
    EXPECT_NE(TurnOnWithDatabase(strFile).find(strFile + ": it is not a folder"), std::string::npos);

    // A FIFO named like a database is said, never opened to wait on; in a
    // host with a short time to turn on, so a wait fails rather than hangs.
    const std::string strFifoFolder = m_dir / "fifo";
    ASSERT_EQ(::mkdir(strFifoFolder.c_str(), 0755), 0);
    ASSERT_TRUE(CTempDir::WriteFile(strFifoFolder + "/local.hdb", CTempDir::ReadFile(strFile)));
    ASSERT_EQ(::mkfifo((strFifoFolder + "/more.ndb").c_str(), 0644), 0);
    SHostOptions options;
    options.nStartMs = 5000;
    CHostEngine host(options);
    CEngineChoice choice;
    choice.strEngine = "clamav";
    choice.strDatabase = strFifoFolder;
    std::string strWhy;
    ASSERT_TRUE(ApplyEngineChoice(choice, host, &strWhy)) << strWhy;
    EXPECT_EQ(host.Load(), ENGINE_LOAD_ENGINE_ERROR);
    EXPECT_NE(host.GetLoadError().find("database in " + strFifoFolder + ": " + strFifoFolder +
                                       "/more.ndb: not a regular file"),
              std::string::npos)
        << host.GetLoadError();

    // An engine that did not turn on never calls a file clean.
    EXPECT_NE(Ask(Clam(), m_set.Samples() + "/clean.txt").m_strFailure, "");

    // A folder the user may not read (root here reads everything).
    const std::string strLocked = m_dir / "locked";
    ASSERT_EQ(::mkdir(strLocked.c_str(), 0700), 0);
    ASSERT_TRUE(CTempDir::WriteFile(strLocked + "/local.hdb", CTempDir::ReadFile(strFile)));
    ASSERT_EQ(::chmod(strLocked.c_str(), 0), 0);
    const int nLocked = AsOrdinaryUser([&] {
        const std::string strError = TurnOnWithDatabase(strLocked);
        if (strError.find("database in " + strLocked + ": ") != std::string::npos &&
            strError.find("Permission denied") != std::string::npos)
            return 0;
        std::fprintf(stderr, "turn-on error: %s\n", strError.c_str());
        return 1;
    });
    EXPECT_EQ(nLocked, 0);

    // A good database after the bad ones works.
    EXPECT_EQ(TurnOnWithDatabase(m_set.Database()), "");
    EXPECT_EQ(Ask(Clam(), m_set.Samples() + "/eicar.com").m_strName, "Eicar-Test-Signature.UNOFFICIAL");
}

} // namespace

// A clean verdict is of its signatures: one more signature file and the
// unchanged file is read again.
TEST(ClamavVerdictCacheTest, NewSignaturesReadAnUnchangedFileAgain) {
    CTempDir dir;
    ASSERT_EQ(::mkdir((dir / "db").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((dir / "t").c_str(), 0755), 0);
    CTempDir::WriteFile(dir / "db/old.hdb", "0123456789abcdef0123456789abcdef:7:Quillet.Test.Other\n");
    CTempDir::WriteFile(dir / "t/sample.bin", "quillet verdict cache sample\n");
    const std::vector<std::string> arArgs = {"--json", "--engine", "clamav", "--database", dir / "db", dir / "t"};
    const std::vector<std::string> arSettled = {"QUILLET_VERDICT_SETTLE_MS=0"};
    const std::string strScan = BinDir() + "/quillet-scan";
    EXPECT_EQ(RunProgram(strScan, arArgs, dir, "", arSettled).nExit, 0);
    SRun again = RunProgram(strScan, arArgs, dir, "", arSettled);
    EXPECT_NE(again.strOut.find("\"unchanged\":1}"), std::string::npos) << again.strOut << again.strErr;
    CTempDir::WriteFile(dir / "db/new.hdb", "e7c7e5fa15581fa9e91d69b161ce4506:29:Quillet.Test.New\n");
    SRun found = RunProgram(strScan, arArgs, dir, "", arSettled);
    EXPECT_EQ(found.nExit, 1) << found.strOut << found.strErr;
    EXPECT_NE(found.strOut.find("Quillet.Test.New"), std::string::npos) << found.strOut;
}
