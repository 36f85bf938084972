// The event record's bytes, the cuts of long texts and the state index.

#include <gtest/gtest.h>

#include "eventlog/RecordReader.h"
#include "fakes/FakeEventLog.h"
#include "base/Utf8.h"
#include "scan/EventLog.h"
#include "scan/ResultRows.h"
#include "scan/ScanTypes.h"

namespace {

const CLocalTime g_time{2026, 12, 8, 17, 30, 5};

TEST(EventRecordTest, SixtyTwoByteRecordMatchesTheAgentsBytes) {
    std::string strRecord = BuildEventRecord(g_time, "2026.12.08", STATE_OVERLAPPED, "Abc", "/a/X.EXE");
    const std::string strGolden(
        "\x01\x00" "\xEA\x07" "\x0C\x00" "\x08\x00" "\x11\x00" "\x1E\x00" "\x05\x00"
        "\x0A\x00" "2026.12.08"
        "\x0B\x00" "Quillet.exe"
        "\x00\x00" "\x0B\x00" "\x01\x00" "\x00\x00"
        "\x03\x00" "Abc"
        "\x08\x00" "/a/X.EXE",
        62);
    EXPECT_EQ(strRecord, strGolden);
    ASSERT_EQ(strRecord.size(), 62u);
    EXPECT_EQ(strRecord[41], STATE_OVERLAPPED);
    EXPECT_EQ(strRecord[42], 0);
}

TEST(EventRecordTest, EmptyTextsAndStatesOutsideTheTable) {
    CReadRecord rec;
    std::string strRecord = BuildEventRecord(g_time, "", STATE_AFTER_DECRYPTION, "", "");
    ASSERT_EQ(strRecord.size(), 30u + 11u);
    ASSERT_TRUE(ReadEventRecord(strRecord, &rec));
    EXPECT_EQ(rec.State(), STATE_AFTER_DECRYPTION);
    EXPECT_EQ(rec.strProgram, "Quillet.exe");

    // The agent knows 0 to 12 only.
    for (int nState : {-1, int(STATE_QUARANTINED), 0x10000 + STATE_REPAIRED}) {
        ASSERT_TRUE(ReadEventRecord(BuildEventRecord(g_time, "1", nState, "v", "/p"), &rec));
        EXPECT_EQ(rec.State(), STATE_REPAIRABLE) << nState;
    }
}

TEST(EventRecordTest, LongTextsAreCutToTheirDesignOnCharacterBoundaries) {
    const std::string strE = "\xC3\xA9";            // 2 bytes
    const std::string strEuro = "\xE2\x82\xAC";     // 3 bytes
    const std::string strFace = "\xF0\x9F\x98\x80"; // 4 bytes
    auto fnRepeat = [](const std::string& s, int n) {
        std::string r;
        for (int i = 0; i < n; ++i)
            r += s;
        return r;
    };
    // Exactly at the limit nothing moves; one byte over moves back to the
    // start of the character that would be split.
    EXPECT_EQ(CutUtf8(fnRepeat(strE, 20), 40), fnRepeat(strE, 20));
    EXPECT_EQ(CutUtf8("a" + fnRepeat(strE, 20), 40), "a" + fnRepeat(strE, 19));
    EXPECT_EQ(CutUtf8(fnRepeat(strEuro, 20), 40), fnRepeat(strEuro, 13));
    EXPECT_EQ(CutUtf8("a" + fnRepeat(strEuro, 20), 40), "a" + fnRepeat(strEuro, 13));
    EXPECT_EQ(CutUtf8("ab" + fnRepeat(strEuro, 20), 40), "ab" + fnRepeat(strEuro, 12) + "");
    EXPECT_EQ(CutUtf8(fnRepeat(strFace, 11), 40), fnRepeat(strFace, 10));
    EXPECT_EQ(CutUtf8("abc" + fnRepeat(strFace, 11), 40), "abc" + fnRepeat(strFace, 9));
    EXPECT_EQ(CutUtf8("12345678901", 10), "1234567890");
    EXPECT_EQ(CutUtf8(strEuro, 0), "");

    // Bytes that form no character are cut at the limit itself.
    EXPECT_EQ(CutUtf8(std::string(300, '\xFF'), 260), std::string(260, '\xFF'));
    EXPECT_EQ(CutUtf8(std::string(300, '\x80'), 260), std::string(260, '\x80'));
    std::string strBroken = std::string(259, 'a') + "\xE2\x82" + "b";  // lead whose sequence is cut short
    EXPECT_EQ(CutUtf8(strBroken, 260), strBroken.substr(0, 260));
    std::string strOverlong = std::string(259, 'a') + "\xC0\x80";  // never a lead byte
    EXPECT_EQ(CutUtf8(strOverlong, 260), strOverlong.substr(0, 260));
}

TEST(EventRecordTest, RecordOfOverlongTextsStaysWithinItsCeiling) {
    std::string strPath = "/" + std::string(400, 'p');
    std::string strVirus = std::string(39, 'v') + "\xE2\x82\xAC";
    std::string strRecord = BuildEventRecord(g_time, "10.20.30.40.50", STATE_REPAIRED, strVirus, strPath);
    CReadRecord rec;
    ASSERT_TRUE(ReadEventRecord(strRecord, &rec));
    EXPECT_EQ(rec.strVersion, "10.20.30.4");
    EXPECT_EQ(rec.strVirus, std::string(39, 'v'));
    EXPECT_EQ(rec.strPath, strPath.substr(0, 260));
    EXPECT_EQ(rec.State(), STATE_REPAIRED);
    EXPECT_EQ(strRecord.size(), 30u + 10u + 11u + 39u + 260u);
    EXPECT_LE(strRecord.size(), EVENT_RECORD_MAX);
}

TEST(EventRecordTest, StateIndexComesFromTheRowsState) {
    CResultRows rows;
    for (int i = 0; i <= STATE_QUARANTINED; ++i)
        rows.AddResultRow(i + 1, "/p", "v", static_cast<EResultState>(i));
    rows.AddResultRow(15, "/p", "v", StateFromReport(99));
    rows.AddResultRow(16, "/p", "v", StateFromReport(-1));
    CFakeRegistry registry;
    CFakeAgentNotifier agent;
    CFakeClock clock;
    registry.Put(HIVE_LOCAL_MACHINE, g_szAgentInfoKey, g_szAgentClassValue, "com.kestrum.Agent");
    CEventLog log(registry, agent, clock);
    ASSERT_TRUE(log.WriteIfAgent(rows, "1"));
    // 0 to 12 as they are; "Quarantined" and codes the agent does not know are 0.
    for (int i = 0; i < rows.GetItemCount(); ++i) {
        CReadRecord rec;
        ASSERT_TRUE(ReadEventRecord(registry.Get(HIVE_CURRENT_USER, g_szEventLogKey, EventValueName(i)), &rec));
        EXPECT_EQ(rec.State(), i <= STATE_AFTER_DECRYPTION ? i : 0) << rows.GetItemText(i, RESULT_COL_STATUS);
    }
}

}  // namespace
