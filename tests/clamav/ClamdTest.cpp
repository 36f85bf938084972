// The ClamAV engine through a daemon: a real clamd started with a private
// configuration, and a fake one that misbehaves on purpose.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include <atomic>
#include <functional>
#include <memory>
#include <cstring>
#include <mutex>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "clamav/ClamTestSupport.h"
#include "engine/EngineTestSupport.h"
#include "fakes/RunProgram.h"
#include "fakes/TempDir.h"
#include "fakes/TestPaths.h"
#include "platform/HostEngine.h"

using namespace clamtest;

namespace {

TEST(ClamdTest, DaemonFindsWhatTheEngineFindsOverLocalSocketAndTcp)
{
    const std::string strClamd = FindTool("clamd");
    if (strClamd.empty())
        GTEST_SKIP() << "clamd is not installed (Debian package clamav-daemon)";
    if (FindTool("sigtool").empty())
        GTEST_SKIP() << "sigtool is not installed (Debian package clamav)";
    CTempDir dir;
    CSampleSet set;
    std::string strWhy;
    ASSERT_TRUE(set.Write(dir.Path(), &strWhy)) << strWhy;
    std::vector<std::string> arFolders = {set.Samples()};
    if (::access(kTestFilesDir, R_OK) == 0)
        arFolders.push_back(kTestFilesDir);

    ASSERT_EQ(TurnOnWithDatabase(set.Database()), "");
    const std::string strVersion = Clam().m_pfnVersion();
    std::vector<std::map<std::string, CVerdict>> arInProcess;
    for (const std::string& strFolder : arFolders)
        arInProcess.push_back(AskFolder(Clam(), strFolder));
    Clam().m_pfnTurnOff();
    ASSERT_EQ(arInProcess[0].at("eicar.com").m_strName, "Eicar-Test-Signature.UNOFFICIAL");

    CClamdProcess clamd;
    ASSERT_TRUE(clamd.Start(strClamd, dir.Path(), set.Database(), &strWhy)) << strWhy;
    // FILDES over the local socket, INSTREAM over TCP.
    for (const std::string& strAddress : {clamd.LocalAddress(), clamd.TcpAddress()}) {
        ASSERT_EQ(TurnOnWithDaemon(strAddress), "");
        EXPECT_EQ(Clam().m_pfnVersion(), strVersion) << strAddress;
        for (std::size_t i = 0; i < arFolders.size(); ++i)
            EXPECT_EQ(AskFolder(Clam(), arFolders[i]), arInProcess[i]) << strAddress << " " << arFolders[i];
        Clam().m_pfnTurnOff();
    }

    // The same through quillet-scan, chosen by its options: one output for
    // the library in the host and for the daemon.
    const std::string strScan = BinDir() + "/quillet-scan";
    SRun inHost = RunProgram(strScan, {"--engine", "clamav", "--database", set.Database(), "--all-files", set.Samples()}, dir);
    EXPECT_EQ(inHost.nExit, 1) << inHost.strErr;
    EXPECT_NE(inHost.strOut.find("\tEicar-Test-Signature.UNOFFICIAL\tUnrepairable\n"), std::string::npos) << inHost.strOut;
    SRun daemon = RunProgram(strScan, {"--engine", "clamd", "--clamd", clamd.LocalAddress(), "--all-files", set.Samples()}, dir);
    EXPECT_EQ(daemon.strOut, inHost.strOut);
    EXPECT_EQ(daemon.strErr, "");
    // One worker or several, in the host or through the daemon: the same
    // lines, over the test files too.
    if (::access(kTestFilesDir, R_OK) == 0) {
        std::string strFirst;
        for (const char* pszEngine : {"clamav", "clamd"}) {
            for (const char* pszJobs : {"1", "3"}) {
                SRun run = RunProgram(strScan, {"--engine", pszEngine, "--database", set.Database(), "--clamd",
                                                clamd.LocalAddress(), "--jobs", pszJobs, kTestFilesDir}, dir);
                if (strFirst.empty())
                    strFirst = run.strOut;
                EXPECT_EQ(run.strOut, strFirst) << pszEngine << " " << pszJobs;
            }
        }
        EXPECT_NE(strFirst.find("clam.exe.UNOFFICIAL"), std::string::npos) << strFirst;
    }
    SRun none = RunProgram(strScan, {"--engine", "clamav", "--database", dir / "none", set.Samples()}, dir);
    EXPECT_EQ(none.nExit, 2);
    EXPECT_NE(none.strErr.find(dir / "none"), std::string::npos) << none.strErr;
    EXPECT_NE(none.strErr.find("clamav-freshclam"), std::string::npos) << none.strErr;
    EXPECT_EQ(none.strOut, "");
}

// A daemon whose configuration turns its alerts for exceeded limits and
// encryption on says which files it read only part way: the same notes and
// rows as libclamav in the host with the same limits. Left to clamd's
// defaults it answers "OK" for them, and nothing can be said.
TEST(ClamdTest, DaemonWithAlertsOnNamesFilesReadOnlyPartWay)
{
    const std::string strClamd = FindTool("clamd");
    if (strClamd.empty())
        GTEST_SKIP() << "clamd is not installed (Debian package clamav-daemon)";
    if (FindTool("sigtool").empty())
        GTEST_SKIP() << "sigtool is not installed (Debian package clamav)";
    CTempDir dir;
    CSampleSet set;
    std::string strWhy;
    ASSERT_TRUE(set.Write(dir.Path(), &strWhy)) << strWhy;
    const std::string strFolder = dir / "partial";
    ASSERT_EQ(::mkdir(strFolder.c_str(), 0755), 0);
    if (!WritePartialSamples(strFolder, &strWhy))
        GTEST_SKIP() << strWhy;
    ::setenv("QUILLET_CLAMAV_LIMITS", kSmallLimits, 1);
    ASSERT_EQ(TurnOnWithDatabase(set.Database()), "");
    ::unsetenv("QUILLET_CLAMAV_LIMITS");
    const std::map<std::string, CVerdict> mapInProcess = AskFolder(Clam(), strFolder);
    Clam().m_pfnTurnOff();
    EXPECT_EQ(mapInProcess.at("oversize.txt").m_strNote, "MaxFileSize");

    CClamdProcess clamd;
    ASSERT_TRUE(clamd.Start(strClamd, dir.Path(), set.Database(), &strWhy,
                            std::string(kSmallLimitsClamd) + "AlertExceedsMax yes\nAlertEncrypted yes\n"))
        << strWhy;
    for (const std::string& strAddress : {clamd.LocalAddress(), clamd.TcpAddress()}) {
        ASSERT_EQ(TurnOnWithDaemon(strAddress), "");
        EXPECT_EQ(AskFolder(Clam(), strFolder), mapInProcess) << strAddress;
        Clam().m_pfnTurnOff();
    }
}

// What the fake daemon does with a scan request.
// TimesOut answers as Suspected, then ends the session as the daemon does
// when the client keeps it waiting; WrongId answers "OK" for another request;
// Dies answers as Found, then drops the session and accepts nothing more,
// its socket still held (as a service manager holds a dead daemon's).
enum class EFake { Found, Suspected, Error, Garbage, CloseMidReply, CloseAtOnce, TimesOut, WrongId, Silent, Dies };

// A daemon on a socket of ours, serving one connection at a time: it
// answers VERSION with m_strVersion and a scan as m_eMode says.
class CFakeDaemon {
public:
    explicit CFakeDaemon(int nListen) : m_nListen(nListen)
    {
        if (::pipe(m_arStop) != 0)
            ADD_FAILURE() << "pipe";
        m_thread = std::thread([this] { Serve(); });
    }
    ~CFakeDaemon()
    {
        if (::write(m_arStop[1], "x", 1) != 1)
            ADD_FAILURE() << "cannot stop the fake daemon";
        m_thread.join();
        for (int nFd : m_arHeld)
            ::close(nFd);
        ::close(m_arStop[0]);
        ::close(m_arStop[1]);
        ::close(m_nListen);
    }
    std::atomic<EFake> m_eMode{EFake::Found};
    std::atomic<int> m_nEnded{0};  // connections it closed
    void SetVersion(const std::string& strLine)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_strVersion = strLine;
    }

private:
    bool ReadExactly(int nFd, char* p, std::size_t n)
    {
        while (n > 0) {
            const ssize_t nGot = ::recv(nFd, p, n, 0);
            if (nGot <= 0)
                return false;
            p += nGot;
            n -= static_cast<std::size_t>(nGot);
        }
        return true;
    }
    // One byte at a time: the descriptor of FILDES rides on the byte after.
    std::string ReadCommand(int nFd)
    {
        std::string strCommand;
        char c;
        while (strCommand.size() < 64 && ReadExactly(nFd, &c, 1) && c != '\0')
            strCommand += c;
        return strCommand;
    }
    bool TakeRequest(int nFd, const std::string& strCommand)
    {
        if (strCommand == "zFILDES") {
            char cDummy;
            alignas(cmsghdr) char arControl[CMSG_SPACE(sizeof(int))];
            iovec iov = {&cDummy, 1};
            msghdr msg = {};
            msg.msg_iov = &iov;
            msg.msg_iovlen = 1;
            msg.msg_control = arControl;
            msg.msg_controllen = sizeof arControl;
            if (::recvmsg(nFd, &msg, 0) != 1)
                return false;
            for (cmsghdr* p = CMSG_FIRSTHDR(&msg); p; p = CMSG_NXTHDR(&msg, p)) {
                int nPassed;
                std::memcpy(&nPassed, CMSG_DATA(p), sizeof nPassed);
                ::close(nPassed);
            }
            return true;
        }
        if (m_eMode == EFake::CloseAtOnce)
            return false;
        for (;;) {
            unsigned char arLen[4];
            if (!ReadExactly(nFd, reinterpret_cast<char*>(arLen), 4))
                return false;
            std::size_t nLen = (std::size_t{arLen[0]} << 24) | (arLen[1] << 16) | (arLen[2] << 8) | arLen[3];
            if (nLen == 0)
                return true;
            std::vector<char> arData(nLen);
            if (!ReadExactly(nFd, arData.data(), nLen))
                return false;
        }
    }
    // A session: requests answered with their number until zEND, the end
    // of the connection, or a mode that ends it.
    void Answer(int nFd)
    {
        std::string strCommand = ReadCommand(nFd);
        const auto Say = [nFd](const std::string& str) { ::send(nFd, str.data(), str.size(), MSG_NOSIGNAL); };
        if (strCommand == "zVERSION") {
            std::lock_guard<std::mutex> lock(m_mutex);
            Say(m_strVersion + '\0');
        }
        if (strCommand == "zPING")
            Say(std::string("PONG") + '\0');
        for (unsigned nId = 1; strCommand == "zIDSESSION"; ++nId) {
            pollfd arPoll[2] = {{nFd, POLLIN, 0}, {m_arStop[0], POLLIN, 0}};
            if (::poll(arPoll, 2, -1) < 0 || arPoll[1].revents)
                break;
            const std::string strRequest = ReadCommand(nFd);
            const std::string strTag = std::to_string(nId) + (strRequest == "zFILDES" ? ": fd[9]: " : ": stream: ");
            if ((strRequest != "zFILDES" && strRequest != "zINSTREAM") || !TakeRequest(nFd, strRequest))
                break;
            switch (m_eMode.load()) {
            case EFake::Found:
                Say(strTag + "Fake.Test.Name FOUND" + '\0');
                continue;
            case EFake::Dies:
                Say(strTag + "Fake.Test.Name FOUND" + '\0');
                m_bDead = true;
                break;
            case EFake::Suspected:
                Say(strTag + "PUA.Fake.Test FOUND" + '\0');
                continue;
            case EFake::Error:
                Say(strTag + "Can't allocate memory ERROR" + '\0');
                break;
            case EFake::Garbage:
                Say(strTag + "welcome, friend" + '\0');
                break;
            case EFake::CloseMidReply:
                Say(strTag + "Fake.Te");
                break;
            case EFake::TimesOut:
                Say(strTag + "PUA.Fake.Test FOUND" + '\0');
                Say("COMMAND READ TIMED OUT\n");
                break;
            case EFake::WrongId:
                Say(std::to_string(nId + 6) + ": fd[9]: OK" + '\0');
                break;
            case EFake::CloseAtOnce:
                break;
            case EFake::Silent:
                m_arHeld.push_back(nFd);
                return;
            }
            break;
        }
        ::close(nFd);
        m_nEnded.fetch_add(1);
    }
    void Serve()
    {
        for (;;) {
            pollfd arPoll[2] = {{m_nListen, POLLIN, 0}, {m_arStop[0], POLLIN, 0}};
            if (::poll(arPoll, 2, -1) < 0 || arPoll[1].revents)
                return;
            const int nFd = ::accept4(m_nListen, nullptr, nullptr, SOCK_CLOEXEC);
            if (nFd >= 0)
                Answer(nFd);
            if (m_bDead)
                return;
        }
    }

    std::mutex m_mutex;
    std::string m_strVersion = "ClamAV 1.4.6";
    int m_nListen;
    int m_arStop[2] = {-1, -1};
    std::vector<int> m_arHeld;
    bool m_bDead = false;  // its thread's own
    std::thread m_thread;
};

int ListenLocal(const std::string& strPath)
{
    const int nSocket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, strPath.c_str(), sizeof addr.sun_path - 1);
    if (::bind(nSocket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(nSocket, 8) != 0)
        ADD_FAILURE() << "cannot listen on " << strPath;
    return nSocket;
}

int ListenLoopback(int* pnPort)
{
    const int nSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLen = sizeof addr;
    if (::bind(nSocket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(nSocket, 8) != 0 ||
        ::getsockname(nSocket, reinterpret_cast<sockaddr*>(&addr), &nLen) != 0)
        ADD_FAILURE() << "cannot listen on the loopback";
    *pnPort = ntohs(addr.sin_port);
    return nSocket;
}

TEST(ClamdTest, BadAddressOrMisbehavingDaemonIsATurnOnErrorOrAFailureNeverClean)
{
    CTempDir dir;
    struct Finish {
        ~Finish() { Clam().m_pfnTurnOff(); }
    } finish;

    // Malformed, or nothing there: the turn-on error names the address.
    const std::string strNobody = dir / "nobody.sock";
    for (const std::string& strAddress :
         {std::string("clamd.example"), std::string("unix:"), std::string("tcp:127.0.0.1"),
          std::string("tcp:127.0.0.1:99999"), std::string("tcp::3310"), "unix:" + strNobody,
          "tcp:127.0.0.1:" + std::to_string(FreeLoopbackPort())}) {
        const std::string strError = TurnOnWithDaemon(strAddress);
        EXPECT_NE(strError.find(strAddress), std::string::npos) << strAddress << ": " << strError;
        EXPECT_STREQ(Clam().m_pfnVersion(), "");
    }

    const std::string strFile = dir / "file.txt";
    ASSERT_TRUE(CTempDir::WriteFile(strFile, enginetest::Filler(100000)));
    // Never "clean": the probe fails with a reason naming the daemon.
    const auto Fails = [&](const std::string& strAddress, const char* pszWhy) {
        const CVerdict verdict = Ask(Clam(), strFile);
        const std::string& strFailure = verdict.m_strFailure;
        return verdict.m_strName.empty() && strFailure.find("clamd at " + strAddress) != std::string::npos &&
                       strFailure.find(pszWhy) != std::string::npos
                   ? ::testing::AssertionSuccess()
                   : ::testing::AssertionFailure() << "failure: \"" << strFailure << "\"";
    };

    const std::string strSocket = dir / "fake.sock";
    const std::string strLocal = "unix:" + strSocket;
    {
        CFakeDaemon fake(ListenLocal(strSocket));
        // Not clamd's words: no engine.
        fake.SetVersion("HTTP/1.0 400 Bad Request");
        EXPECT_NE(TurnOnWithDaemon(strLocal).find(strLocal), std::string::npos);
        // The version text cut to ten characters, still readable.
        fake.SetVersion("ClamAV 1.4.6/27453/Tue Dec  9 08:00:00 2025");
        ASSERT_EQ(TurnOnWithDaemon(strLocal), "");
        EXPECT_STREQ(Clam().m_pfnVersion(), "1.4/27453");

        // The fake speaks the protocol: its findings come through.
        EXPECT_EQ(Ask(Clam(), strFile), (CVerdict{true, "Fake.Test.Name", 1, 3, ""}));
        fake.m_eMode = EFake::Suspected;
        EXPECT_EQ(Ask(Clam(), strFile), (CVerdict{true, "PUA.Fake.Test", 3, 3, ""}));
        // A session the daemon ended while the client was away: the next
        // file goes on a new one.
        const int nEnded = fake.m_nEnded;
        fake.m_eMode = EFake::TimesOut;
        EXPECT_EQ(Ask(Clam(), strFile), (CVerdict{true, "PUA.Fake.Test", 3, 3, ""}));
        for (int i = 0; i < 2000 && fake.m_nEnded == nEnded; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        fake.m_eMode = EFake::Found;
        EXPECT_EQ(Ask(Clam(), strFile), (CVerdict{true, "Fake.Test.Name", 1, 3, ""}));
        // An answer to another request is no answer.
        fake.m_eMode = EFake::WrongId;
        EXPECT_TRUE(Fails(strLocal, "an answer that is not clamd's"));

        fake.m_eMode = EFake::Error;
        EXPECT_TRUE(Fails(strLocal, "could not scan the file: the daemon answered \"fd[9]: Can't allocate memory"));
        fake.m_eMode = EFake::Garbage;
        EXPECT_TRUE(Fails(strLocal, "an answer that is not clamd's"));
        fake.m_eMode = EFake::CloseMidReply;
        EXPECT_TRUE(Fails(strLocal, "dropped the connection"));
        fake.m_eMode = EFake::CloseAtOnce;
        EXPECT_TRUE(Fails(strLocal, "dropped the connection"));
        // A daemon that never answers holds the call until the host's
        // watchdog ends it: a fault too.
        fake.m_eMode = EFake::Silent;
        EXPECT_TRUE(enginetest::RunInChild([&] { Clam().m_pfnProbe(strFile.c_str()); }, 1500).m_bTimedOut);
    }
    // The daemon went away after turn-on.
    ::unlink(strSocket.c_str());
    EXPECT_TRUE(Fails(strLocal, "is not reachable"));

    // Over TCP the file is streamed; the same faults hold.
    int nPort = 0;
    CFakeDaemon fake(ListenLoopback(&nPort));
    const std::string strTcp = "tcp:127.0.0.1:" + std::to_string(nPort);
    ASSERT_EQ(TurnOnWithDaemon(strTcp), "");
    EXPECT_EQ(Ask(Clam(), strFile), (CVerdict{true, "Fake.Test.Name", 1, 3, ""}));
    fake.m_eMode = EFake::Garbage;
    EXPECT_TRUE(Fails(strTcp, "an answer that is not clamd's"));
    fake.m_eMode = EFake::CloseAtOnce;
    EXPECT_TRUE(Fails(strTcp, "dropped the connection"));
}

// A daemon that dies is found out at once: every later file fails with the
// engine's reason, one quick attempt each, and the host that asks it is
// never restarted, as it would be after a watchdog's kill.
TEST(ClamdTest, DaemonThatDiesCostsEachLaterFileOneQuickAttempt)
{
    CTempDir dir;
    const std::string strSocket = dir / "dies.sock";
    const std::string strAddress = "unix:" + strSocket;
    SHostOptions options;
    options.strHostPath = BinDir() + "/farsend-host";
    options.strLibrary = BinDir() + "/libfarsend-clamav.so";
    options.arEnv = {"QUILLET_CLAMD=" + strAddress};
    options.nWatchdogMs = 4000;
    options.nStartMs = 4000;
    std::vector<std::string> arFiles;
    for (int i = 0; i < 5; ++i) {
        arFiles.push_back(dir / ("file" + std::to_string(i) + ".exe"));
        ASSERT_TRUE(CTempDir::WriteFile(arFiles.back(), enginetest::Filler(1000)));
    }
    // The name found, or the fault's reason.
    CHostEngine engine(options);
    const auto Answer = [&](const std::string& strPath) -> std::string {
        if (!IsScannableFormat(engine.GetFileFormat(strPath)))
            return "not scannable";
        bool bFaulted = false;
        const uint32_t hProbe = engine.ProbeInto(strPath, &bFaulted);
        if (bFaulted)
            return "fault: " + engine.TakeFaultReason();
        const std::string strName = hProbe ? engine.GetVirusName(hProbe) : "clean";
        engine.CloseProbe(hProbe);
        return strName;
    };
    const std::string strGone = "fault: clamd at " + strAddress + " is not reachable: ";
    auto pFake = std::make_unique<CFakeDaemon>(ListenLocal(strSocket));
    ASSERT_EQ(engine.Load(), ENGINE_LOAD_OK);
    pFake->m_eMode = EFake::Dies;
    EXPECT_EQ(Answer(arFiles[0]), "Fake.Test.Name");
    // Its socket still accepts into the backlog, but nothing answers.
    for (int i = 1; i < 3; ++i)
        EXPECT_EQ(Answer(arFiles[i]), strGone + "it did not answer its version (no answer in time)") << i;
    // Now nothing listens: refused.
    pFake.reset();
    EXPECT_EQ(Answer(arFiles[3]), strGone + "Connection refused");
    EXPECT_EQ(engine.GetHostStarts(), 1);
    EXPECT_EQ(engine.GetFaultCount(), 3u);
    // A daemon back at the address is used again.
    ::unlink(strSocket.c_str());
    CFakeDaemon back(ListenLocal(strSocket));
    EXPECT_EQ(Answer(arFiles[4]), "Fake.Test.Name");
    EXPECT_EQ(engine.GetHostStarts(), 1);
    engine.Unload();
}


// A daemon for one session of several requests in flight: it answers its
// version, takes nRequests files on the session, reading what each holds,
// then fnAnswer says what it says. True from fnAnswer: the daemon dies there
// (the session ends, the socket refuses).
class CPipeDaemon {
public:
    using FnAnswer = std::function<bool(int nFd, const std::vector<std::string>& arContents)>;
    CPipeDaemon(const std::string& strSocket, std::size_t nRequests, FnAnswer fnAnswer)
        : m_nListen(ListenLocal(strSocket)), m_nRequests(nRequests), m_fnAnswer(std::move(fnAnswer))
    {
        if (::pipe(m_arStop) != 0)
            ADD_FAILURE() << "pipe";
        m_thread = std::thread([this] { Serve(); });
    }
    ~CPipeDaemon()
    {
        if (::write(m_arStop[1], "x", 1) != 1)
            ADD_FAILURE() << "cannot stop the daemon";
        m_thread.join();
        ::close(m_arStop[0]);
        ::close(m_arStop[1]);
        if (m_nListen >= 0)
            ::close(m_nListen);
    }
    std::atomic<int> m_nTaken{0};  // files handed over, in all sessions

private:
    bool Wait(int nFd)
    {
        pollfd arPoll[2] = {{nFd, POLLIN, 0}, {m_arStop[0], POLLIN, 0}};
        return ::poll(arPoll, 2, -1) > 0 && !arPoll[1].revents;
    }
    std::string Command(int nFd)
    {
        std::string strCommand;
        char c;
        while (strCommand.size() < 64 && ::recv(nFd, &c, 1, 0) == 1 && c != '\0')
            strCommand += c;
        return strCommand;
    }
    // "zFILDES", its NUL and the dummy byte that carries the file, read in
    // one go (a plain read of the first byte would drop the file); what the
    // file holds is read. False when no such request came.
    bool TakeFile(int nFd, std::vector<std::string>* parContents)
    {
        char arData[9];
        alignas(cmsghdr) char arControl[CMSG_SPACE(sizeof(int))];
        iovec iov = {arData, sizeof arData};
        msghdr msg = {};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = arControl;
        msg.msg_controllen = sizeof arControl;
        if (::recvmsg(nFd, &msg, MSG_WAITALL) != static_cast<ssize_t>(sizeof arData) ||
            std::memcmp(arData, "zFILDES", 8) != 0)
            return false;
        std::string strContent;
        for (cmsghdr* p = CMSG_FIRSTHDR(&msg); p; p = CMSG_NXTHDR(&msg, p)) {
            int nPassed;
            std::memcpy(&nPassed, CMSG_DATA(p), sizeof nPassed);
            char arBuf[256];
            const ssize_t nGot = ::pread(nPassed, arBuf, sizeof arBuf, 0);
            strContent.assign(arBuf, nGot > 0 ? static_cast<std::size_t>(nGot) : 0);
            ::close(nPassed);
        }
        ++m_nTaken;
        parContents->push_back(strContent);
        return true;
    }
    void Serve()
    {
        std::vector<int> arOpen;
        while (Wait(m_nListen)) {
            const int nFd = ::accept4(m_nListen, nullptr, nullptr, SOCK_CLOEXEC);
            if (nFd < 0)
                continue;
            arOpen.push_back(nFd);
            const std::string strCommand = Command(nFd);
            if (strCommand == "zVERSION")
                ::send(nFd, "ClamAV 1.4.6", sizeof "ClamAV 1.4.6", MSG_NOSIGNAL);
            if (strCommand != "zIDSESSION")
                continue;
            std::vector<std::string> arContents;
            while (arContents.size() < m_nRequests && Wait(nFd) && TakeFile(nFd, &arContents)) {
            }
            if (arContents.size() == m_nRequests && m_fnAnswer(nFd, arContents)) {
                ::close(m_nListen);
                m_nListen = -1;
                break;
            }
        }
        for (int nFd : arOpen)
            ::close(nFd);
    }

    int m_nListen;
    std::size_t m_nRequests;
    FnAnswer m_fnAnswer;
    int m_arStop[2] = {-1, -1};
    std::thread m_thread;
};

// Pipelined files through a host, as a worker asks them: told of them all
// ahead, then each asked in turn for the name found or the fault's reason.
class CPipelinedHost {
public:
    CPipelinedHost(const std::string& strAddress, const std::string& strFolder, const std::vector<std::string>& arContents)
    {
        SHostOptions options;
        options.strHostPath = BinDir() + "/farsend-host";
        options.strLibrary = BinDir() + "/libfarsend-clamav.so";
        options.arEnv = {"QUILLET_CLAMD=" + strAddress};
        options.nWatchdogMs = 4000;
        options.nStartMs = 4000;
        m_pEngine = std::make_unique<CHostEngine>(options);
        for (std::size_t i = 0; i < arContents.size(); ++i) {
            m_arFiles.push_back(strFolder + "/file" + std::to_string(i) + ".exe");
            if (!CTempDir::WriteFile(m_arFiles.back(), arContents[i]))
                ADD_FAILURE() << m_arFiles.back();
        }
    }
    bool Load() { return m_pEngine->Load() == ENGINE_LOAD_OK && m_pEngine->GetPipelineDepth() > 1; }
    void TellAhead(std::size_t nCount)
    {
        for (std::size_t i = 0; i < nCount; ++i)
            m_pEngine->PrepareFile(m_arFiles[i]);
    }
    std::string Answer(std::size_t i)
    {
        CHostEngine& engine = *m_pEngine;
        if (!IsScannableFormat(engine.GetFileFormat(m_arFiles[i])))
            return "not scannable";
        bool bFaulted = false;
        const uint32_t hProbe = engine.ProbeInto(m_arFiles[i], &bFaulted);
        if (bFaulted)
            return "fault: " + engine.TakeFaultReason();
        const std::string strName = hProbe ? engine.GetVirusName(hProbe) : "clean";
        engine.CloseProbe(hProbe);
        return strName;
    }
    std::unique_ptr<CHostEngine> m_pEngine;
    std::vector<std::string> m_arFiles;
};

// Answers come in the order the daemon's scans end: each goes to the file
// whose request carries its number.
TEST(ClamdTest, PipelinedAnswersOutOfOrderGoToTheirOwnFiles)
{
    CTempDir dir;
    const std::string strSocket = dir / "pipe.sock";
    CPipeDaemon daemon(strSocket, 3, [](int nFd, const std::vector<std::string>& arContents) {
        for (std::size_t i : {2, 0, 1}) {
            const std::string strVerdict = arContents[i] == "clean" ? "OK" : arContents[i] + " FOUND";
            const std::string strAnswer = std::to_string(i + 1) + ": fd[9]: " + strVerdict;
            ::send(nFd, strAnswer.c_str(), strAnswer.size() + 1, MSG_NOSIGNAL);
        }
        return false;
    });
    CPipelinedHost host("unix:" + strSocket, dir.Path(), {"Fake.A", "clean", "Fake.C"});
    ASSERT_TRUE(host.Load());
    host.TellAhead(3);
    EXPECT_EQ(host.Answer(0), "Fake.A");
    EXPECT_EQ(host.Answer(1), "clean");
    EXPECT_EQ(host.Answer(2), "Fake.C");
    EXPECT_EQ(daemon.m_nTaken, 3);
}

// An answer whose number no request in flight has answers none of them:
// every file in flight fails, none is called clean.
TEST(ClamdTest, AnswerForNoRequestInFlightFailsEveryFileInFlight)
{
    CTempDir dir;
    const std::string strSocket = dir / "pipe.sock";
    CPipeDaemon daemon(strSocket, 2, [](int nFd, const std::vector<std::string>&) {
        ::send(nFd, "7: fd[9]: OK", sizeof "7: fd[9]: OK", MSG_NOSIGNAL);
        return false;
    });
    const std::string strAddress = "unix:" + strSocket;
    CPipelinedHost host(strAddress, dir.Path(), {"Fake.A", "Fake.B"});
    ASSERT_TRUE(host.Load());
    host.TellAhead(2);
    const std::string strFault =
        "fault: clamd at " + strAddress + " gave an answer that is not clamd's: the daemon answered \"7: fd[9]: OK\"";
    EXPECT_EQ(host.Answer(0), strFault);
    EXPECT_EQ(host.Answer(1), strFault);
    EXPECT_EQ(host.m_pEngine->GetHostStarts(), 1);
}

// A daemon that dies with several files in flight costs those files, each
// a fault with its reason; none is sent again, and the next file finds the
// daemon gone at once.
TEST(ClamdTest, DaemonThatDiesWithFilesInFlightCostsThoseFilesOnly)
{
    CTempDir dir;
    const std::string strSocket = dir / "pipe.sock";
    CPipeDaemon daemon(strSocket, 3, [](int nFd, const std::vector<std::string>&) {
        ::send(nFd, "1: fd[9]: Fake.A FOUND", sizeof "1: fd[9]: Fake.A FOUND", MSG_NOSIGNAL);
        return true;
    });
    const std::string strAddress = "unix:" + strSocket;
    CPipelinedHost host(strAddress, dir.Path(), {"Fake.A", "Fake.B", "Fake.C", "Fake.D"});
    ASSERT_TRUE(host.Load());
    host.TellAhead(3);
    EXPECT_EQ(host.Answer(0), "Fake.A");
    const std::string strLost = "fault: clamd at " + strAddress + " dropped the connection: the connection closed without an answer";
    EXPECT_EQ(host.Answer(1), strLost);
    EXPECT_EQ(host.Answer(2), strLost);
    EXPECT_EQ(host.Answer(3), "fault: clamd at " + strAddress + " is not reachable: Connection refused");
    EXPECT_EQ(daemon.m_nTaken, 3);
    EXPECT_EQ(host.m_pEngine->GetHostStarts(), 1);
    EXPECT_EQ(host.m_pEngine->GetFaultCount(), 3u);
}

} // namespace

namespace {

// auto takes a daemon that answers PING; when that daemon then fails every
// scan, the user is told which engine auto chose, not only that it failed,
// and no scan passes for clean.
TEST(ClamdTest, AutoTakesADaemonThatAnswersAndSaysSoWhenItFailsEveryScan)
{
    CTempDir dir;
    const std::string strSocket = dir / "fake.sock";
    CFakeDaemon fake(ListenLocal(strSocket));
    fake.m_eMode = EFake::Error;
    ASSERT_EQ(::mkdir((dir / "t").c_str(), 0755), 0);
    ASSERT_TRUE(CTempDir::WriteFile(dir / "t/a.exe", "plain"));
    ASSERT_EQ(std::system(("mkdir -p '" + dir / "config/quillet" + "'").c_str()), 0);
    ASSERT_TRUE(CTempDir::WriteFile(dir / "config/quillet/engine.conf", "engine = auto\nclamd = unix:" + strSocket + "\n"));
    SRun run = RunProgram(BinDir() + "/quillet-scan", {"--jobs", "1", dir / "t"}, dir);
    EXPECT_EQ(run.nExit, 2) << run.strErr;
    EXPECT_EQ(run.strOut, "Scanned: 1, Infected: 0\n");
    EXPECT_EQ(run.strErr.rfind("quillet-scan: engine: auto chose the ClamAV daemon at unix:" + strSocket +
                                   "\nquillet-scan: engine: clamd at unix:" + strSocket + " could not scan the file",
                               0),
              0u)
        << run.strErr;
}

} // namespace
