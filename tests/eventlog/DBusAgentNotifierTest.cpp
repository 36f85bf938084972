// The agent notice on a private session bus, and the whole closing road:
// the class name from the machine's config folder, the records in the
// user's, the count at the agent.

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>
#include <cstring>

#include "eventlog/RecordReader.h"
#include "eventlog/TestBus.h"
#include "fakes/TempDir.h"
#include "platform/DBusAgentNotifier.h"
#include "platform/SystemClock.h"
#include "platform/XdgRegistry.h"
#include "scan/ResultRows.h"
#include "scan/ScanTypes.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

const char* const g_szAgentName = "com.kestrum.Pelmora.TestAgent";

// A listening socket nobody serves; -1 on failure.
int ListenAt(const std::string& strPath) {
    int nSock = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (nSock < 0 || strPath.size() >= sizeof addr.sun_path)
        return -1;
    memcpy(addr.sun_path, strPath.c_str(), strPath.size());
    if (bind(nSock, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(nSock, 4) != 0) {
        close(nSock);
        return -1;
    }
    return nSock;
}

class DBusAgentNotifierTest : public ::testing::Test {
protected:
    CPrivateBus m_bus;

    void SetUp() override { ASSERT_FALSE(m_bus.Address().empty()) << "dbus-daemon did not start"; }

    static milliseconds Elapsed(steady_clock::time_point tStart) {
        return std::chrono::duration_cast<milliseconds>(steady_clock::now() - tStart);
    }
};

TEST_F(DBusAgentNotifierTest, TheOwnerOfTheNameGetsEveryNotice) {
    CTestAgent agent(m_bus.Address(), g_szAgentName);
    ASSERT_TRUE(agent.Owns());
    CDBusAgentNotifier notifier;
    notifier.Notify(g_szAgentName, WM_AGENT_EVENTLOG, 0, 7);
    notifier.Notify(g_szAgentName, WM_AGENT_EVENTLOG, 0, 1);
    // The calls wait for the reply, so the agent has them already.
    std::vector<CTestAgent::SCall> arCalls = agent.Calls();
    ASSERT_EQ(arCalls.size(), 2u);
    EXPECT_EQ(arCalls[0].nMessage, 0x0BD0u);
    EXPECT_EQ(arCalls[0].nWParam, 0u);
    EXPECT_EQ(arCalls[0].nLParam, 7);
    EXPECT_EQ(arCalls[1].nLParam, 1);
}

TEST_F(DBusAgentNotifierTest, NoOwnerOrAnInvalidNameIsSilentAndQuick) {
    CTestAgent agent(m_bus.Address(), g_szAgentName);
    ASSERT_TRUE(agent.Owns());
    CDBusAgentNotifier notifier;
    auto tStart = steady_clock::now();
    notifier.Notify("com.kestrum.Pelmora.Nobody", WM_AGENT_EVENTLOG, 0, 3);
    for (const std::string& strName :
         {std::string(), std::string("NoDots"), std::string("com..kestrum"), std::string("com.kestrum.9lives"),
          std::string("com.kestrum/Agent"), std::string(g_szAgentName) + std::string(1, '\0') + "x",
          "com." + std::string(300, 'k')})
        notifier.Notify(strName, WM_AGENT_EVENTLOG, 0, 3);
    EXPECT_LT(Elapsed(tStart), milliseconds(2000));
    EXPECT_TRUE(agent.Calls().empty());
}

TEST_F(DBusAgentNotifierTest, AnAgentThatNeverAnswersHoldsOnlyUntilTheTimeout) {
    CTestAgent agent(m_bus.Address(), g_szAgentName, false);
    ASSERT_TRUE(agent.Owns());
    CDBusAgentNotifier notifier(300);
    auto tStart = steady_clock::now();
    notifier.Notify(g_szAgentName, WM_AGENT_EVENTLOG, 0, 2);
    milliseconds elapsed = Elapsed(tStart);
    EXPECT_GE(elapsed, milliseconds(250));
    EXPECT_LT(elapsed, milliseconds(3000));
    ASSERT_EQ(agent.Calls().size(), 1u) << "the notice was delivered, only the answer never came";
}

TEST_F(DBusAgentNotifierTest, NoBusAtAllIsSilent) {
    CTempDir dir;
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + dir / "no-such-bus").c_str(), 1);
    CDBusAgentNotifier notifier(5000);
    auto tStart = steady_clock::now();
    notifier.Notify(g_szAgentName, WM_AGENT_EVENTLOG, 0, 1);
    EXPECT_LT(Elapsed(tStart), milliseconds(2000));

    // Without the variable only the per-user bus socket counts; nothing is
    // started to find one.
    const char* pszRuntime = getenv("XDG_RUNTIME_DIR");
    std::string strSavedRuntime = pszRuntime ? pszRuntime : "";
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
    EXPECT_EQ(CDBusAgentNotifier::SessionBusAddress(), "");
    ASSERT_TRUE(CTempDir::WriteFile(dir / "bus", "not a socket"));
    EXPECT_EQ(CDBusAgentNotifier::SessionBusAddress(), "");
    unlink((dir / "bus").c_str());
    int nSock = ListenAt(dir / "bus");
    ASSERT_GE(nSock, 0);
    EXPECT_EQ(CDBusAgentNotifier::SessionBusAddress(), "unix:path=" + dir / "bus");
    close(nSock);
    if (pszRuntime)
        setenv("XDG_RUNTIME_DIR", strSavedRuntime.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
}

TEST(DBusSilentBusTest, ABusThatNeverSpeaksHoldsOnlyUntilTheTimeout) {
    // A socket that takes the connection and never answers the handshake.
    CTempDir dir;
    std::string strSock = dir / "mute-bus";
    int nSock = ListenAt(strSock);
    ASSERT_GE(nSock, 0);
    const char* pszOld = getenv("DBUS_SESSION_BUS_ADDRESS");
    std::string strOld = pszOld ? pszOld : "";
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + strSock).c_str(), 1);

    CDBusAgentNotifier notifier(300);
    auto tStart = std::chrono::steady_clock::now();
    notifier.Notify(g_szAgentName, WM_AGENT_EVENTLOG, 0, 1);
    auto elapsed = std::chrono::steady_clock::now() - tStart;
    EXPECT_GE(elapsed, milliseconds(250));
    EXPECT_LT(elapsed, milliseconds(3000));

    close(nSock);
    if (pszOld)
        setenv("DBUS_SESSION_BUS_ADDRESS", strOld.c_str(), 1);
    else
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

TEST_F(DBusAgentNotifierTest, ClosingAScanRecordsTheRowsAndTellsTheAgent) {
    CTempDir dir;
    std::string strInfo = dir / "xdg/Kestrum/Pelmora/Info";
    ASSERT_EQ(system(("mkdir -p '" + strInfo + "'").c_str()), 0);
    ASSERT_TRUE(CTempDir::WriteFile(strInfo + "/AGENT_WinClass", std::string(g_szAgentName) + '\0'));
    CTestAgent agent(m_bus.Address(), g_szAgentName);
    ASSERT_TRUE(agent.Owns());

    CXdgRegistry registry(dir / "config", dir / "xdg");
    CDBusAgentNotifier notifier;
    CSystemClock clock;
    CEventLog log(registry, notifier, clock);
    CResultRows rows;
    rows.AddResultRow(1, "/home/ann/a.exe", "Eicar-Test", STATE_REPAIRABLE);
    rows.AddResultRow(2, "/home/ann/b.doc", "Macro.Nest", STATE_OVERLAPPED);
    rows.AddResultRow(3, "/home/ann/c.com", "Plain", STATE_UNREPAIRABLE);
    ASSERT_TRUE(log.WriteIfAgent(rows, "1.0.0"));
    EXPECT_EQ(log.GetAgentClass(), g_szAgentName);

    std::vector<CTestAgent::SCall> arCalls = agent.Calls();
    ASSERT_EQ(arCalls.size(), 1u);
    EXPECT_EQ(arCalls[0].nLParam, 3);
    for (int i = 0; i < 3; ++i) {
        CReadRecord rec;
        ASSERT_TRUE(ReadEventRecord(CTempDir::ReadFile(dir / "config/Kestrum/Pelmora/Client/EventLog/" +
                                                       EventValueName(i)),
                                    &rec))
            << i;
        EXPECT_EQ(rec.strPath, rows.GetItemText(i, RESULT_COL_PATH));
        EXPECT_GE(rec.arHead[1], 2024);
        EXPECT_TRUE(rec.arHead[2] >= 1 && rec.arHead[2] <= 12);
    }
}

}  // namespace
