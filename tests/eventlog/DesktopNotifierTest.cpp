// The desktop notification at the end of a scheduled scan, through a real
// notification daemon (dunst) on a private session bus under Xvfb.

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "eventlog/TestBus.h"
#include "fakes/TempDir.h"
#include "platform/DesktopNotifier.h"

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
