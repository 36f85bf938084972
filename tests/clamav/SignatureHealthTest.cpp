// Signature health against databases sigtool writes (under faketime for the
// dates a case needs) and a fake daemon: what the headers say, and a clear
// line, never a hang, for every database or daemon that cannot be read.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "clamav/ClamTestSupport.h"
#include "fakes/OrdinaryUser.h"
#include "fakes/RunProgram.h"
#include "fakes/TempDir.h"
#include "fakes/TestPaths.h"
#include "platform/SignatureCheck.h"

using namespace clamtest;

namespace {

constexpr int64_t DAY = 86400;

// One container with one signature, built with the clock at strWhen
// (faketime's words: "-10d", "+30d"; "" for now), as strName in strFolder.
bool BuildContainer(const CTempDir& dir, const std::string& strFolder, const std::string& strName,
                    const std::string& strWhen, std::string* pstrWhy) {
    const std::string strWork = dir / ("build-" + strName);
    mkdir(strWork.c_str(), 0755);
    // sigtool wants a COPYING beside it and asks for the builder's name.
    if (!CTempDir::WriteFile(strWork + "/COPYING", "test\n") ||
        !CTempDir::WriteFile(strWork + "/one.hdb", "44d88612fea8a8f36de82e1278abb02f:68:Quillet.Test.Sig\n"))
        return false;
    const std::string strTime = strWhen.empty() ? std::string() : "faketime -f '" + strWhen + "' ";
    const SRun run = RunProgram("/bin/sh",
                                {"-c", "echo quillet | " + strTime +
                                           "sigtool --unsigned --build=one.cud --cvd-version=42 --datadir=" + strWork +
                                           " --no-cdiff"},
                                dir, strWork);
    const std::string strBuilt = CTempDir::ReadFile(strWork + "/one.cud");
    if (run.nExit != 0 || strBuilt.size() < DATABASE_HEADER_SIZE) {
        *pstrWhy = "sigtool --build failed: " + run.strOut + run.strErr;
        return false;
    }
    return CTempDir::WriteFile(strFolder + "/" + strName, strBuilt);
}

SSIGNATUREHEALTH CheckFolder(const std::string& strFolder) {
    CEngineChoice choice;
    choice.strEngine = "clamav";
    choice.strDatabase = strFolder;
    CSignatureCheck check;
    check.SetChoice(choice);
    SSIGNATUREHEALTH health;
    check.Check(&health);
    return health;
}

std::string Joined(const std::vector<std::string>& arLines) {
    std::string str;
    for (const std::string& strLine : arLines)
        str += strLine + "\n";
    return str;
}

std::string Warnings(const std::string& strFolder) {
    return Joined(SignatureWarnings(CheckFolder(strFolder), time(nullptr)));
}

class SignatureHealthTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (FindTool("sigtool").empty() || FindTool("faketime").empty())
            GTEST_SKIP() << "sigtool (Debian package clamav) and faketime (package faketime) are needed";
    }
    CTempDir m_dir;
};

TEST_F(SignatureHealthTest, HeadersGiveVersionDateAndCountAndTheAgeIsWarnedOf) {
    std::string strWhy;
    // Fresh: described, no warning; quillet-scan --version prints it.
    const std::string strFresh = m_dir / "fresh";
    mkdir(strFresh.c_str(), 0755);
    ASSERT_TRUE(BuildContainer(m_dir, strFresh, "daily.cud", "", &strWhy)) << strWhy;
    ASSERT_TRUE(CTempDir::WriteFile(strFresh + "/mine.hdb", "44d88612fea8a8f36de82e1278abb02f:68:Mine\n"));
    const SSIGNATUREHEALTH fresh = CheckFolder(strFresh);
    ASSERT_EQ(fresh.arFiles.size(), 2u);
    const int64_t nBuilt = fresh.arFiles[0].header.nBuildTime;
    EXPECT_LE(std::abs(nBuilt - time(nullptr)), 120);
    EXPECT_EQ(Joined(DescribeSignatures(fresh)),
              "daily.cud: version 42, built " + FormatBuildTime(nBuilt) + ", signature count 1\n"
              "mine.hdb: local signatures\n");
    EXPECT_EQ(Warnings(strFresh), "");
    const SRun run = RunProgram(BinDir() + "/quillet-scan", {"--version", "--engine", "clamav", "--database", strFresh},
                                m_dir);
    EXPECT_EQ(run.nExit, 0) << run.strErr;
    EXPECT_NE(run.strOut.find("\nengine: 1."), std::string::npos) << run.strOut;
    EXPECT_NE(run.strOut.find("\ndaily.cud: version 42, built " + FormatBuildTime(nBuilt) + ", signature count 1\n"
                              "mine.hdb: local signatures\n"),
              std::string::npos)
        << run.strOut;
    EXPECT_EQ(run.strErr, "");

    // Ten days old: the newest decides, and it is said, with its date.
    const std::string strOld = m_dir / "old";
    mkdir(strOld.c_str(), 0755);
    ASSERT_TRUE(BuildContainer(m_dir, strOld, "main.cud", "-20d", &strWhy)) << strWhy;
    ASSERT_TRUE(BuildContainer(m_dir, strOld, "daily.cud", "-10d", &strWhy)) << strWhy;
    const std::string strWarning = Warnings(strOld);
    EXPECT_EQ(strWarning.rfind("The newest signature database is 10 days old (built ", 0), 0u) << strWarning;
    const SRun oldRun = RunProgram(BinDir() + "/quillet-scan", {"--engine", "clamav", "--database", strOld, strOld},
                                   m_dir);
    EXPECT_EQ(oldRun.strErr.rfind("quillet-scan: warning: The newest signature database is 10 days old", 0), 0u)
        << oldRun.strErr;
    EXPECT_EQ(oldRun.nExit, 0) << oldRun.strErr;

    // Built in the future: the clock or the database is wrong, not "fresh".
    const std::string strFuture = m_dir / "future";
    mkdir(strFuture.c_str(), 0755);
    ASSERT_TRUE(BuildContainer(m_dir, strFuture, "daily.cud", "+30d", &strWhy)) << strWhy;
    EXPECT_NE(Warnings(strFuture).find("daily.cud says it was built "), std::string::npos);
    EXPECT_NE(Warnings(strFuture).find(", in the future: the clock or the database is wrong."), std::string::npos);

    // No date in either field: the age is unknown, said.
    const std::string strUndated = m_dir / "undated";
    mkdir(strUndated.c_str(), 0755);
    ASSERT_TRUE(BuildContainer(m_dir, strUndated, "daily.cud", "", &strWhy)) << strWhy;
    std::string strBytes = CTempDir::ReadFile(strUndated + "/daily.cud");
    std::string strHeader = "ClamAV-VDB::42:1:216:0:X:quillet:";
    strHeader.resize(DATABASE_HEADER_SIZE, ' ');
    strBytes.replace(0, DATABASE_HEADER_SIZE, strHeader);
    ASSERT_TRUE(CTempDir::WriteFile(strUndated + "/daily.cud", strBytes));
    EXPECT_EQ(Joined(DescribeSignatures(CheckFolder(strUndated))),
              "daily.cud: version 42, built at an unknown time, signature count 1\n");
    EXPECT_EQ(Warnings(strUndated), "No signature database says when it was built: their age is unknown.\n");
}

TEST_F(SignatureHealthTest, DatabasesThatCannotBeReadAreSaidNeverWaitedOn) {
    std::string strWhy;
    // Cut short, a FIFO in a database's place, a link to a good one: each
    // named with its reason, beside the good one.
    const std::string strFolder = m_dir / "db";
    mkdir(strFolder.c_str(), 0755);
    ASSERT_TRUE(BuildContainer(m_dir, strFolder, "main.cud", "", &strWhy)) << strWhy;
    const std::string strGood = CTempDir::ReadFile(strFolder + "/main.cud");
    ASSERT_TRUE(CTempDir::WriteFile(strFolder + "/daily.cvd", strGood.substr(0, 300)));
    ASSERT_EQ(mkfifo((strFolder + "/bytecode.cvd").c_str(), 0644), 0);
    ASSERT_EQ(symlink((strFolder + "/main.cud").c_str(), (strFolder + "/linked.cld").c_str()), 0);
    EXPECT_EQ(Warnings(strFolder),
              "bytecode.cvd: cannot be read: not a regular file\n"
              "daily.cvd: cannot be read: its header is cut short\n"
              "linked.cld: cannot be read: a link, not followed\n");

    // Only ignore and allow lists: no signatures, said as such.
    const std::string strLists = m_dir / "lists";
    mkdir(strLists.c_str(), 0755);
    ASSERT_TRUE(CTempDir::WriteFile(strLists + "/local.ign2", "Eicar-Test-Signature\n"));
    ASSERT_TRUE(CTempDir::WriteFile(strLists + "/local.fp", "44d88612fea8a8f36de82e1278abb02f:68:Eicar\n"));
    EXPECT_EQ(Warnings(strLists), strLists + ": no signature database, only ignore and allow lists\n");

    // The folder a link: not followed.
    const std::string strLink = m_dir / "link";
    ASSERT_EQ(symlink(strFolder.c_str(), strLink.c_str()), 0);
    EXPECT_EQ(Warnings(strLink), strLink + ": the signature folder cannot be read: a link, not followed\n");

    // A folder the user may not read.
    const std::string strClosed = m_dir / "closed";
    mkdir(strClosed.c_str(), 0755);
    ASSERT_TRUE(BuildContainer(m_dir, strClosed, "daily.cud", "", &strWhy)) << strWhy;
    chmod(strClosed.c_str(), 0);
    chmod(m_dir.Path().c_str(), 0755);
    EXPECT_EQ(TextAsOrdinaryUser([&] { return Warnings(strClosed); }),
              strClosed + ": the signature folder cannot be read: Permission denied\n");
    chmod(strClosed.c_str(), 0755);
}

// A fake daemon on a local socket answering VERSION as told.
class CVersionDaemon {
public:
    explicit CVersionDaemon(const std::string& strPath) : m_strPath(strPath) {
        m_nListen = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr = {};
        addr.sun_family = AF_UNIX;
        strncpy(addr.sun_path, strPath.c_str(), sizeof addr.sun_path - 1);
        if (bind(m_nListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(m_nListen, 8) != 0)
            ADD_FAILURE() << "cannot listen on " << strPath;
        m_thread = std::thread([this] { Serve(); });
    }
    ~CVersionDaemon() {
        m_bStop = true;
        shutdown(m_nListen, SHUT_RDWR);
        m_thread.join();
        close(m_nListen);
        for (int nFd : m_arHeld)
            close(nFd);
    }
    // nullptr: close at once; "": hold the connection, say nothing.
    std::atomic<const char*> m_pszAnswer{nullptr};
    std::atomic<size_t> m_nAnswerSize{0};

private:
    void Serve() {
        for (;;) {
            const int nFd = accept(m_nListen, nullptr, nullptr);
            if (nFd < 0 || m_bStop) {
                if (nFd >= 0)
                    close(nFd);
                return;
            }
            char arBuf[64];
            (void)!read(nFd, arBuf, sizeof arBuf);
            const char* psz = m_pszAnswer;
            if (psz && !*psz) {
                m_arHeld.push_back(nFd);
                continue;
            }
            if (psz)
                (void)!write(nFd, psz, m_nAnswerSize);
            close(nFd);
        }
    }
    std::string m_strPath;
    int m_nListen = -1;
    std::atomic<bool> m_bStop{false};
    std::vector<int> m_arHeld;
    std::thread m_thread;
};

TEST_F(SignatureHealthTest, DaemonIsAskedItsVersionAndGarbageOrSilenceIsSaidInTime) {
    const std::string strAddress = "unix:" + (m_dir / "clamd.sock");
    CVersionDaemon daemon(m_dir / "clamd.sock");
    CEngineChoice choice;
    choice.strEngine = "clamd";
    choice.strClamd = strAddress;
    CSignatureCheck check;
    check.SetChoice(choice);
    const auto Ask = [&](const std::string& strAnswer, bool bHold = false) {
        static std::string s_strAnswer;
        s_strAnswer = strAnswer;
        daemon.m_nAnswerSize = s_strAnswer.size();
        daemon.m_pszAnswer = bHold ? "" : strAnswer.empty() ? nullptr : s_strAnswer.c_str();
        SSIGNATUREHEALTH health;
        const auto start = std::chrono::steady_clock::now();
        check.Check(&health);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        return Joined(SignatureWarnings(health, time(nullptr))) + "|" + Joined(DescribeSignatures(health));
    };

    // Its answer, its date in its local time, twelve days back.
    const time_t nOld = time(nullptr) - 12 * DAY - 60;
    char szDate[64];
    struct tm tmLocal;
    strftime(szDate, sizeof szDate, "%a %b %e %H:%M:%S %Y", localtime_r(&nOld, &tmLocal));
    EXPECT_EQ(Ask(std::string("ClamAV 1.0.3/27100/") + szDate + '\0'),
              "The newest signature database is 12 days old (built " + FormatBuildTime(nOld) + ").\n|clamd at " +
                  strAddress + ": ClamAV 1.0.3, database version 27100, built " + FormatBuildTime(nOld) + "\n");

    const std::string strGarbage =
        "clamd at " + strAddress + " answered its version with \"HTTP/1.0 400 Bad Request\", not clamd's words\n";
    EXPECT_EQ(Ask(std::string("HTTP/1.0 400 Bad Request") + '\0'), strGarbage + "|" + strGarbage);
    const std::string strClosed = "clamd at " + strAddress +
                                  " did not answer its version: it closed the connection without a word\n";
    EXPECT_EQ(Ask(""), strClosed + "|" + strClosed);
    const std::string strSilent = "clamd at " + strAddress + " did not answer its version: no answer within a second\n";
    EXPECT_EQ(Ask("", true), strSilent + "|" + strSilent);
}

}  // namespace
