// The agent's class name, the records of a scan's rows and the notice, over
// an in-memory registry and agent.

#include <gtest/gtest.h>

#include "eventlog/RecordReader.h"
#include "fakes/FakeEventLog.h"
#include "scan/EventLog.h"
#include "scan/ResultRows.h"
#include "scan/ScanTypes.h"

namespace {

class EventLogTest : public ::testing::Test {
protected:
    CFakeRegistry m_registry;
    CFakeAgentNotifier m_agent;
    CFakeClock m_clock;
    CEventLog m_log{m_registry, m_agent, m_clock};

    void SetAgentClass(const std::string& strData) {
        m_registry.Put(HIVE_LOCAL_MACHINE, "Software\\Kestrum\\Pelmora\\Info", "AGENT_WinClass", strData);
    }
    bool HasRecord(int nIndex) const {
        return m_registry.Has(HIVE_CURRENT_USER, "Software\\Kestrum\\Pelmora\\Client\\EventLog",
                              EventValueName(nIndex));
    }
    CReadRecord Record(int nIndex) const {
        CReadRecord rec{};
        EXPECT_TRUE(ReadEventRecord(m_registry.Get(HIVE_CURRENT_USER, "Software\\Kestrum\\Pelmora\\Client\\EventLog",
                                                   EventValueName(nIndex)),
                                    &rec))
            << nIndex;
        return rec;
    }
    static CResultRows Rows(int nCount, const std::string& strTag) {
        CResultRows rows;
        for (int i = 0; i < nCount; ++i)
            rows.AddResultRow(i + 1, "/scan/" + strTag + std::to_string(i), "Virus." + strTag,
                              static_cast<EResultState>(i % 13));
        return rows;
    }
};

TEST_F(EventLogTest, AgentClassIsReadFromTheMachineInfoKey) {
    EXPECT_FALSE(m_log.ReadAgentClass());
    m_registry.Put(HIVE_CURRENT_USER, "Software\\Kestrum\\Pelmora\\Info", "AGENT_WinClass", "com.kestrum.Agent");
    EXPECT_FALSE(m_log.ReadAgentClass()) << "only the machine's key names the agent";

    SetAgentClass("com.kestrum.Agent");
    EXPECT_TRUE(m_log.ReadAgentClass());
    EXPECT_EQ(m_log.GetAgentClass(), "com.kestrum.Agent");

    // Text up to its first NUL, as a terminated string is stored.
    SetAgentClass(std::string("com.kestrum.Agent\0trailing", 26));
    EXPECT_TRUE(m_log.ReadAgentClass());
    EXPECT_EQ(m_log.GetAgentClass(), "com.kestrum.Agent");
    // As a text editor saves it.
    SetAgentClass("com.kestrum.Agent \r\n");
    EXPECT_TRUE(m_log.ReadAgentClass());
    EXPECT_EQ(m_log.GetAgentClass(), "com.kestrum.Agent");

    for (const std::string& strEmpty : {std::string(), std::string("\0com.kestrum.Agent", 18)}) {
        SetAgentClass(strEmpty);
        EXPECT_FALSE(m_log.ReadAgentClass());
        EXPECT_EQ(m_log.GetAgentClass(), "") << "a failed read forgets the old name";
    }
}

TEST_F(EventLogTest, AgentClassMustFitTheBufferOffered) {
    SetAgentClass(std::string(128, 'a'));
    EXPECT_TRUE(m_log.ReadAgentClass());
    EXPECT_EQ(m_log.GetAgentClass(), std::string(128, 'a'));

    // A longer value is not cut to some other name; it names no agent,
    // even when a NUL early on would make a short one.
    SetAgentClass(std::string(129, 'a'));
    EXPECT_FALSE(m_log.ReadAgentClass());
    SetAgentClass(std::string(127, 'a') + "\n");
    EXPECT_TRUE(m_log.ReadAgentClass());
    SetAgentClass("short" + std::string(1, '\0') + std::string(500, 'x'));
    EXPECT_FALSE(m_log.ReadAgentClass());
    for (size_t nMax : m_registry.m_arQueryMax)
        EXPECT_LE(nMax, 129u);
}

TEST_F(EventLogTest, NoRowsWriteNothingAndSendNothing) {
    SetAgentClass("com.kestrum.Agent");
    CResultRows rows;
    EXPECT_TRUE(m_log.WriteIfAgent(rows, "1.0"));
    EXPECT_TRUE(m_registry.m_arWrites.empty());
    EXPECT_TRUE(m_agent.m_arNotices.empty());
}

TEST_F(EventLogTest, WithoutAnAgentClosingWritesNothing) {
    CResultRows rows = Rows(3, "a");
    EXPECT_FALSE(m_log.WriteIfAgent(rows, "1.0"));
    SetAgentClass("");
    EXPECT_FALSE(m_log.WriteIfAgent(rows, "1.0"));
    EXPECT_TRUE(m_registry.m_arWrites.empty());
    EXPECT_TRUE(m_agent.m_arNotices.empty());
}

TEST_F(EventLogTest, OneRecordPerRowThenTheCount) {
    SetAgentClass("com.kestrum.Agent");
    CResultRows rows;
    rows.AddResultRow(1, "/home/ann/a.exe", "Eicar", STATE_REPAIRABLE);
    rows.AddResultRow(2, "/home/ann/b.doc", "Macro.X", STATE_REPAIRABLE);
    rows.SetState(1, STATE_REPAIRED);
    rows.AddResultRow(3, "/home/ann/c.exe", "Nest.A", STATE_OVERLAPPED);
    rows.AddResultRow(4, "/home/ann/d.exe", "Q", STATE_REPAIRABLE);
    rows.SetState(3, STATE_QUARANTINED);
    ASSERT_TRUE(m_log.WriteIfAgent(rows, "9.9"));

    EXPECT_EQ(m_registry.m_arWrites, (std::vector<std::string>{"0000000", "0000001", "0000002", "0000003"}));
    const int arStates[] = {STATE_REPAIRABLE, STATE_REPAIRED, STATE_OVERLAPPED, STATE_REPAIRABLE};
    for (int i = 0; i < 4; ++i) {
        CReadRecord rec = Record(i);
        EXPECT_EQ(rec.strPath, rows.GetItemText(i, RESULT_COL_PATH));
        EXPECT_EQ(rec.strVirus, rows.GetItemText(i, RESULT_COL_VIRUS));
        EXPECT_EQ(rec.State(), arStates[i]) << i;
        EXPECT_EQ(rec.strVersion, "9.9");
        // One clock reading per record, taken when it was built.
        EXPECT_EQ(rec.arHead[6], i);
        EXPECT_EQ(rec.arHead[1], 2026);
    }
    EXPECT_EQ(m_clock.m_nReads, 4);
    ASSERT_EQ(m_agent.m_arNotices.size(), 1u);
    EXPECT_EQ(m_agent.m_arNotices[0], (CFakeAgentNotifier::SNotice{"com.kestrum.Agent", 0x0BD0, 0, 4}));
}

TEST_F(EventLogTest, ShorterLaterRunLeavesTheEarlierTail) {
    SetAgentClass("com.kestrum.Agent");
    m_log.WriteIfAgent(Rows(5, "first"), "1.0");
    m_log.WriteIfAgent(Rows(2, "second"), "1.0");

    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(Record(i).strPath, "/scan/second" + std::to_string(i));
    for (int i = 2; i < 5; ++i)
        EXPECT_EQ(Record(i).strPath, "/scan/first" + std::to_string(i));
    EXPECT_FALSE(HasRecord(5));
    ASSERT_EQ(m_agent.m_arNotices.size(), 2u);
    EXPECT_EQ(m_agent.m_arNotices[0].nLParam, 5);
    EXPECT_EQ(m_agent.m_arNotices[1].nLParam, 2);
}

TEST_F(EventLogTest, FailedWritesAreSilentAndTheAgentIsStillTold) {
    SetAgentClass("com.kestrum.Agent");
    m_registry.m_bFailWrites = true;
    m_log.WriteIfAgent(Rows(3, "a"), "1.0");
    EXPECT_EQ(m_registry.m_arWrites.size(), 3u);
    EXPECT_FALSE(HasRecord(0));
    ASSERT_EQ(m_agent.m_arNotices.size(), 1u);
    EXPECT_EQ(m_agent.m_arNotices[0].nLParam, 3);
}

}  // namespace
