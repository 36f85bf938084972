// The desktop notification at the end of a scheduled scan and the offer to
// scan a drive just mounted, through a real notification daemon (dunst) on
// a private session bus under Xvfb.

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "eventlog/TestBus.h"
#include "fakes/TempDir.h"
#include "platform/DesktopNotifier.h"
#include "scan/MediaWatch.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

std::string RunCommand(const std::string& strCommand, int* pnStatus = nullptr) {
    std::string strOut;
    FILE* pPipe = popen((strCommand + " 2>/dev/null").c_str(), "r");
    char szBuf[4096];
    size_t n;
    while (pPipe && (n = fread(szBuf, 1, sizeof szBuf, pPipe)) > 0)
        strOut.append(szBuf, n);
    const int nStatus = pPipe ? pclose(pPipe) : -1;
    if (pnStatus)
        *pnStatus = nStatus;
    return strOut;
}

std::string ReadAll(const std::string& strPath) {
    std::ifstream in(strPath);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// dunst on the private bus, with its default settings.
class CDunst {
public:
    explicit CDunst(const std::string& strConfig) {
        setenv("XDG_CONFIG_HOME", strConfig.c_str(), 1);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        char szName[] = "dunst";
        char* arArgs[] = {szName, nullptr};
        if (posix_spawnp(&m_nPid, "dunst", &actions, nullptr, arArgs, environ) != 0)
            m_nPid = -1;
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; i < 100 && m_nPid > 0; ++i) {
            int nStatus = -1;
            RunCommand("dunstctl is-paused", &nStatus);
            if (nStatus == 0) {
                m_bReady = true;
                break;
            }
            std::this_thread::sleep_for(milliseconds(100));
        }
    }
    ~CDunst() {
        if (m_nPid > 0) {
            kill(m_nPid, SIGTERM);
            waitpid(m_nPid, nullptr, 0);
        }
    }
    bool Ready() const { return m_bReady; }

private:
    pid_t m_nPid = -1;
    bool m_bReady = false;
};

bool WaitFor(pid_t nPid, milliseconds bound) {
    const auto end = steady_clock::now() + bound;
    while (steady_clock::now() < end) {
        if (waitpid(nPid, nullptr, WNOHANG) == nPid)
            return true;
        std::this_thread::sleep_for(milliseconds(50));
    }
    return false;
}

}  // namespace

TEST(DesktopNotifierTest, WithoutASessionBusItSaysSoAtOnce) {
    CTempDir dir;
    const char* pszOld = getenv("DBUS_SESSION_BUS_ADDRESS");
    const std::string strOld = pszOld ? pszOld : "";
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
    CDesktopNotifier notifier;
    notifier.m_strHelper = QUILLET_SCAN_PATH;
    std::string strWhy;
    const auto start = steady_clock::now();
    EXPECT_EQ(notifier.Send("summary", "body", "1-1", &strWhy), NOTIFY_NO_BUS);
    EXPECT_LT(steady_clock::now() - start, milliseconds(1000));
    EXPECT_FALSE(strWhy.empty());
    EXPECT_EQ(notifier.m_nWaiterPid, -1);
    if (pszOld)
        setenv("DBUS_SESSION_BUS_ADDRESS", strOld.c_str(), 1);
}

TEST(DesktopNotifierTest, ItShowsAndItsDefaultActionOpensTheHistoryAtItsRecord) {
    CTempDir dir;
    CPrivateBus bus;
    ASSERT_FALSE(bus.Address().empty());
    CDunst dunst(dir.Path());
    ASSERT_TRUE(dunst.Ready());
    // Stands for quillet: says how it was started.
    const std::string strOpen = dir / "open.sh";
    ASSERT_TRUE(CTempDir::WriteFile(strOpen, "#!/bin/sh\necho \"$@\" > \"$0.args\"\n", 0755));

    CDesktopNotifier notifier;
    notifier.m_strHelper = QUILLET_SCAN_PATH;
    notifier.m_strOpen = strOpen;
    auto showing = [] {
        for (int i = 0; i < 100 && RunCommand("dunstctl count displayed") != "1\n"; ++i)
            std::this_thread::sleep_for(milliseconds(50));
    };

    // Closed unread: the daemon's history shows what it was sent, markup
    // escaped and invalid UTF-8 replaced, and the sender leaves the bus.
    std::string strWhy;
    ASSERT_EQ(notifier.Send("Quillet found no virus", "a<b>&c\xff", "1700000001-43", &strWhy), NOTIFY_SENT) << strWhy;
    ASSERT_GT(notifier.m_nWaiterPid, 0);
    showing();
    RunCommand("dunstctl close");
    EXPECT_TRUE(WaitFor(notifier.m_nWaiterPid, milliseconds(5000)));
    const std::string strHistory = RunCommand("dunstctl history");
    EXPECT_NE(strHistory.find("\"Quillet found no virus\""), std::string::npos) << strHistory;
    EXPECT_NE(strHistory.find("a&lt;b&gt;&amp;c\xef\xbf\xbd"), std::string::npos) << strHistory;

    // Clicked: the sender, still on the bus, opens the history at its record.
    ASSERT_EQ(notifier.Send("Quillet found 1 infected file", "EICAR in /a", "1700000000-42", &strWhy), NOTIFY_SENT)
        << strWhy;
    showing();
    RunCommand("dunstctl action 0");
    const auto end = steady_clock::now() + milliseconds(5000);
    while (ReadAll(strOpen + ".args").empty() && steady_clock::now() < end)
        std::this_thread::sleep_for(milliseconds(50));
    EXPECT_EQ(ReadAll(strOpen + ".args"), "--history 1700000000-42\n");
    EXPECT_TRUE(WaitFor(notifier.m_nWaiterPid, milliseconds(5000)));
    unsetenv("XDG_CONFIG_HOME");
}

TEST(DesktopNotifierTest, AScheduledRunLeavesItsRecordAndANotification) {
    // No user instance of systemd here: the schedule runs as its timer would
    // run it, through quillet-schedule run.
    CTempDir dir;
    CPrivateBus bus;
    ASSERT_FALSE(bus.Address().empty());
    CDunst dunst(dir / "dunst");
    ASSERT_TRUE(dunst.Ready());
    for (const char* psz : {"cfg", "run", "state", "path", "t", "root", "root/run", "root/run/systemd",
                            "root/run/systemd/system"})
        ASSERT_EQ(mkdir((dir / psz).c_str(), 0700), 0);
    ASSERT_TRUE(CTempDir::WriteFile(dir / "path/systemctl", "#!/bin/sh\nexit 1\n", 0755));
    ASSERT_TRUE(CTempDir::WriteFile(dir / "t/eicar.com",
                                    "X5O!P%@AP[4\\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*"));
    const std::string strBin = std::string(QUILLET_SCAN_PATH).substr(0, std::string(QUILLET_SCAN_PATH).rfind('/'));
    const std::string strEnv = "XDG_CONFIG_HOME='" + dir / "cfg" + "' XDG_RUNTIME_DIR='" + dir / "run" +
                               "' XDG_STATE_HOME='" + dir / "state" + "' QUILLET_SYSTEMD_ROOT='" + dir / "root" +
                               "' PATH='" + dir / "path" + ":/usr/bin:/bin' ";
    EXPECT_EQ(RunCommand(strEnv + strBin + "/quillet-schedule add --daily 03:00 '" + dir / "t" + "'"), "scan-1\n");
    int nStatus = -1;
    RunCommand(strEnv + strBin + "/quillet-schedule run scan-1 >/dev/null", &nStatus);
    EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 1);

    const std::string strHistory = RunCommand(strEnv + strBin + "/quillet-scan --history");
    EXPECT_NE(strHistory.find("(schedule scan-1)"), std::string::npos) << strHistory;
    EXPECT_NE(strHistory.find(dir / "t/eicar.com"), std::string::npos) << strHistory;
    for (int i = 0; i < 100 && RunCommand("dunstctl count displayed") != "1\n"; ++i)
        std::this_thread::sleep_for(milliseconds(50));
    RunCommand("dunstctl close");
    const std::string strShown = RunCommand("dunstctl history");
    EXPECT_NE(strShown.find("\"Quillet found 1 infected file\""), std::string::npos) << strShown;
    unsetenv("XDG_CONFIG_HOME");
}

namespace {

// quillet --watch-media over a fake mount table; its standard error goes
// to a file.
pid_t StartWatch(const std::string& strDir, const std::string& strTable, const std::string& strOpen) {
    const std::string strErr = strDir + "/watch.err";
    const std::vector<std::string> arEnv = {"QUILLET_MOUNTINFO=" + strTable, "QUILLET_MEDIA_OPEN=" + strOpen,
                                            "XDG_CONFIG_HOME=" + strDir + "/cfg"};
    std::vector<char*> arEnvp;
    for (const std::string& str : arEnv)
        arEnvp.push_back(const_cast<char*>(str.c_str()));
    for (char** pp = environ; *pp; ++pp)
        if (strncmp(*pp, "QUILLET_", 8) != 0 && strncmp(*pp, "XDG_CONFIG_HOME=", 16) != 0)
            arEnvp.push_back(*pp);
    arEnvp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, strErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    char szOption[] = "--watch-media";
    char* arArgs[] = {const_cast<char*>(QUILLET_PATH), szOption, nullptr};
    pid_t nPid = -1;
    if (posix_spawn(&nPid, QUILLET_PATH, &actions, nullptr, arArgs, arEnvp.data()) != 0)
        nPid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return nPid;
}

// Mount table lines; a blank in a mount point is written "\040".
std::string MountLine(int nId, const std::string& strPath, const char* pszType) {
    std::string strField;
    for (char ch : strPath)
        strField += ch == ' ' ? std::string("\\040") : std::string(1, ch);
    return std::to_string(nId) + " 1 0:" + std::to_string(nId) + " / " + strField + " rw - " + pszType +
           " none rw\n";
}

// Replaced in one rename, as the kernel's table never shows half a line.
void WriteTable(const std::string& strTable, const std::string& strText) {
    CTempDir::WriteFile(strTable + ".new", strText);
    rename((strTable + ".new").c_str(), strTable.c_str());
}

// User and system time the process has used, in clock ticks.
long CpuTicks(pid_t nPid) {
    const std::string strStat = ReadAll("/proc/" + std::to_string(nPid) + "/stat");
    std::istringstream in(strStat.substr(strStat.rfind(')') + 2));
    std::string strField;
    long nUser = 0, nSystem = 0;
    for (int i = 3; i <= 15 && in >> strField; ++i) {
        if (i == 14)
            nUser = atol(strField.c_str());
        if (i == 15)
            nSystem = atol(strField.c_str());
    }
    return nUser + nSystem;
}

}  // namespace

TEST(MediaWatchNotifyTest, WithoutANotificationServiceItSaysSoOnceAndEnds) {
    CTempDir dir;
    const std::string strTable = dir / "mountinfo";
    ASSERT_TRUE(CTempDir::WriteFile(strTable, MountLine(1, "/", "ext4")));
    // A bus that knows of no service to start for notifications.
    std::string strSession = ReadAll("/usr/share/dbus-1/session.conf");
    const std::string strDirs = "<standard_session_servicedirs />";
    ASSERT_NE(strSession.find(strDirs), std::string::npos);
    strSession.erase(strSession.find(strDirs), strDirs.size());
    const std::string strConfig = dir / "bus.conf";
    ASSERT_TRUE(CTempDir::WriteFile(strConfig, strSession));
    for (bool bBus : {false, true}) {
        std::unique_ptr<CPrivateBus> pBus(bBus ? new CPrivateBus(strConfig) : nullptr);
        ASSERT_TRUE(!bBus || !pBus->Address().empty());
        const char* pszOld = getenv("DBUS_SESSION_BUS_ADDRESS");
        const std::string strOld = pszOld ? pszOld : "";
        if (!bBus) {
            unsetenv("DBUS_SESSION_BUS_ADDRESS");
            setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
        }
        const pid_t nPid = StartWatch(dir.Path(), strTable, "/bin/true");
        ASSERT_GT(nPid, 0);
        int nStatus = -1;
        for (int i = 0; i < 200 && waitpid(nPid, &nStatus, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(milliseconds(50));
        if (!WIFEXITED(nStatus))
            kill(nPid, SIGKILL), waitpid(nPid, nullptr, 0);
        EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 2) << bBus;
        const std::string strErr = ReadAll(dir / "watch.err");
        EXPECT_EQ(strErr.rfind("quillet --watch-media: no desktop notification service: ", 0), 0u) << strErr;
        EXPECT_EQ(std::count(strErr.begin(), strErr.end(), '\n'), 1) << strErr;
        if (pszOld && !bBus)
            setenv("DBUS_SESSION_BUS_ADDRESS", strOld.c_str(), 1);
    }
}

TEST(MediaWatchNotifyTest, ADriveThatHoldsIsOfferedOnceAndItsActionStartsQuilletOnIt) {
    CTempDir dir;
    CPrivateBus bus;
    ASSERT_FALSE(bus.Address().empty());
    CDunst dunst(dir / "dunst");
    ASSERT_TRUE(dunst.Ready());
    ASSERT_EQ(mkdir((dir / "cfg").c_str(), 0700), 0);
    // Stands for quillet: one line per word it was given.
    const std::string strOpen = dir / "open.sh";
    ASSERT_TRUE(CTempDir::WriteFile(strOpen, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n", 0755));
    const std::string strShare = dir / "share", strStick = dir / "my stick $(touch pwned)";
    ASSERT_EQ(mkdir(strShare.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(strStick.c_str(), 0700), 0);
    const std::string strTable = dir / "mountinfo";
    const std::string strBase = MountLine(1, "/", "ext4") + MountLine(2, strShare, "nfs");
    ASSERT_TRUE(CTempDir::WriteFile(strTable, strBase));

    const pid_t nPid = StartWatch(dir.Path(), strTable, strOpen);
    ASSERT_GT(nPid, 0);
    std::this_thread::sleep_for(milliseconds(500));
    // Mounted and unmounted 100 times a second: no notification.
    const auto flapEnd = steady_clock::now() + milliseconds(2500);
    for (int nId = 10; steady_clock::now() < flapEnd; ++nId) {
        WriteTable(strTable, nId % 2 ? strBase + MountLine(nId, strStick, "cifs") : strBase);
        std::this_thread::sleep_for(milliseconds(5));
    }
    WriteTable(strTable, strBase);
    EXPECT_EQ(RunCommand("dunstctl count displayed"), "0\n");

    // It holds: one notification, and only one, saying what it offers.
    auto showing = [] {
        for (int i = 0; i < 100 && RunCommand("dunstctl count displayed") != "1\n"; ++i)
            std::this_thread::sleep_for(milliseconds(50));
    };
    WriteTable(strTable, strBase + MountLine(500, strStick, "cifs"));
    showing();
    std::this_thread::sleep_for(milliseconds(2500));
    EXPECT_EQ(RunCommand("dunstctl count displayed"), "1\n");
    EXPECT_EQ(RunCommand("dunstctl count waiting"), "0\n");
    struct statvfs st {};
    ASSERT_EQ(statvfs(strStick.c_str(), &st), 0);
    RunCommand("dunstctl close");
    const std::string strShown = RunCommand("dunstctl history");
    EXPECT_NE(strShown.find("\"Scan my stick $(touch pwned) (" +
                            MediaSizeText(static_cast<uint64_t>(st.f_blocks) * st.f_frsize) + ")?\""),
              std::string::npos)
        << strShown;

    // Taken out and put in again: offered again.
    WriteTable(strTable, strBase);
    std::this_thread::sleep_for(milliseconds(500));
    WriteTable(strTable, strBase + MountLine(501, strStick, "cifs"));
    showing();
    ASSERT_EQ(RunCommand("dunstctl count displayed"), "1\n");

    // Gone before the click: quillet is started on it all the same, with
    // the mount point as one word, and its scan says what is missing.
    WriteTable(strTable, strBase);
    ASSERT_EQ(rmdir(strStick.c_str()), 0);
    RunCommand("dunstctl action 0");
    const auto end = steady_clock::now() + milliseconds(5000);
    while (ReadAll(strOpen + ".args").empty() && steady_clock::now() < end)
        std::this_thread::sleep_for(milliseconds(50));
    EXPECT_EQ(ReadAll(strOpen + ".args"), strStick + "\n");

    // A few looks a second at most, never a busy loop; SIGTERM ends it.
    EXPECT_LT(CpuTicks(nPid), sysconf(_SC_CLK_TCK) * 2);
    kill(nPid, SIGTERM);
    int nStatus = -1;
    for (int i = 0; i < 100 && waitpid(nPid, &nStatus, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(milliseconds(50));
    EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0) << nStatus;
    EXPECT_EQ(ReadAll(dir / "watch.err"), "");
    unsetenv("XDG_CONFIG_HOME");
}
