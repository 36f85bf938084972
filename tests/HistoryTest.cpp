// The history of scans: its records, and its file as scans append to it and
// readers list it, whatever is found in its place.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include "fakes/TempDir.h"
#include "engine/RegularFile.h"
#include "platform/HistoryFile.h"

namespace {

SHISTORYRECORD MakeRecord(const std::string& strId, int64_t nTime, size_t nPadding = 0) {
    SHISTORYRECORD rec;
    rec.strId = strId;
    rec.nStart = nTime;
    rec.nEnd = nTime + 5;
    rec.arTargets = {"/home/ann", ""};
    rec.strEngine = "reference";
    rec.nScanned = 3;
    rec.arFindings.push_back(SHISTORYFINDING{"/home/ann/a\nb\xff.com", STATE_REPAIRED, "EICAR\tTest"});
    rec.arErrors.push_back(std::string(nPadding, 'e'));
    CScanHistory::CountActions(&rec);
    return rec;
}

std::vector<std::string> Ids(CHistoryFile& file) {
    std::vector<SHISTORYRECORD> arRecords;
    std::string strWhy;
    EXPECT_TRUE(file.Read(&arRecords, &strWhy)) << strWhy;
    std::vector<std::string> arIds;
    for (const SHISTORYRECORD& rec : arRecords)
        arIds.push_back(rec.strId);
    return arIds;
}

int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

TEST(HistoryTest, TornAndDamagedRecordsAreSkippedAndTheNextOneRead) {
    const std::string strA = CScanHistory::Format(MakeRecord("a", 100));
    std::string strDamaged = CScanHistory::Format(MakeRecord("damaged", 200));
    strDamaged[strDamaged.find("scanned 3") + 8] = '9';
    const std::string strTorn = CScanHistory::Format(MakeRecord("torn", 300));
    const std::string strD = CScanHistory::Format(MakeRecord("d", 400));
    CTempDir dir;
    ASSERT_TRUE(CTempDir::WriteFile(dir / "history", strA + strDamaged + strTorn.substr(0, strTorn.size() - 5) + strD));

    CHistoryFile file(dir / "history");
    std::vector<SHISTORYRECORD> arRecords;
    std::string strWhy;
    ASSERT_TRUE(file.Read(&arRecords, &strWhy));
    ASSERT_EQ(arRecords.size(), 2u);
    EXPECT_EQ(arRecords[0].strId, "a");
    EXPECT_EQ(arRecords[1].strId, "d");
    // Names are bytes: a newline or invalid UTF-8 comes back as it was.
    ASSERT_EQ(arRecords[1].arFindings.size(), 1u);
    EXPECT_EQ(arRecords[1].arFindings[0].strPath, "/home/ann/a\nb\xff.com");
    EXPECT_EQ(arRecords[1].arFindings[0].strVirus, "EICAR\tTest");
    EXPECT_EQ(arRecords[1].arTargets, (std::vector<std::string>{"/home/ann", ""}));
}

TEST(HistoryTest, AHugeFileIsReadOnlyAtItsEndAndPrunedToHalfItsBound) {
    CTempDir dir;
    const std::string strPath = dir / "history";
    // 100 MB of nothing (sparse), then one record.
    const int nFd = open(strPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(nFd, 0);
    const std::string strRecord = CScanHistory::Format(MakeRecord("end", Now()));
    ASSERT_EQ(pwrite(nFd, strRecord.data(), strRecord.size(), 100 << 20), static_cast<ssize_t>(strRecord.size()));
    close(nFd);
    CHistoryFile file(strPath);
    EXPECT_EQ(Ids(file), std::vector<std::string>{"end"});
    EXPECT_LE(file.m_nLastReadBytes, HISTORY_READ_BYTES);

    std::string strWhy;
    ASSERT_TRUE(file.Append(MakeRecord("after", Now()), Now(), &strWhy)) << strWhy;
    EXPECT_EQ(Ids(file), (std::vector<std::string>{"end", "after"}));
    struct stat st {};
    ASSERT_EQ(stat(strPath.c_str(), &st), 0);
    EXPECT_LE(static_cast<uint64_t>(st.st_size), file.m_limits.nMaxBytes / 2);
}

TEST(HistoryTest, ALinkOrAFifoInItsPlaceIsNeitherFollowedNorWaitedOn) {
    CTempDir dir;
    ASSERT_TRUE(CTempDir::WriteFile(dir / "elsewhere", "mine\n"));
    ASSERT_EQ(symlink((dir / "elsewhere").c_str(), (dir / "link").c_str()), 0);
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    for (const char* pszName : {"link", "fifo"}) {
        CHistoryFile file(dir / pszName);
        std::vector<SHISTORYRECORD> arRecords;
        std::string strWhy;
        EXPECT_FALSE(file.Read(&arRecords, &strWhy)) << pszName;
        EXPECT_FALSE(strWhy.empty());
        EXPECT_FALSE(file.Append(MakeRecord("x", 1), 1, &strWhy)) << pszName;
    }
    std::string strText;
    int nErr = 0;
    ASSERT_TRUE(ReadRegularFile(dir / "elsewhere", &strText, &nErr));
    EXPECT_EQ(strText, "mine\n");
}

TEST(HistoryTest, AnAppendWhileAnotherPrunesWaitsAndIsKept) {
    CTempDir dir;
    CHistoryFile first(dir / "history");
    first.m_limits.nMaxBytes = 4096;
    std::string strWhy;
    ASSERT_TRUE(first.Append(MakeRecord("old", Now(), 3000), Now(), &strWhy));
    std::future<bool> second;
    first.m_fnTestHook = [&](const char* pszStage) {
        if (strcmp(pszStage, "prune") != 0)
            return;
        // Another scan ends now; it must wait for the new file.
        second = std::async(std::launch::async, [&] {
            CHistoryFile other(dir / "history");
            std::string strWhyOther;
            return other.Append(MakeRecord("second", Now()), Now(), &strWhyOther);
        });
        second.wait_for(std::chrono::milliseconds(500));
    };
    ASSERT_TRUE(first.Append(MakeRecord("first", Now(), 2000), Now(), &strWhy));
    ASSERT_TRUE(second.valid());
    EXPECT_TRUE(second.get());
    EXPECT_EQ(Ids(first), (std::vector<std::string>{"first", "second"}));
}

TEST(HistoryTest, AClockSetBackNeitherPrunesNorReordersTheNewest) {
    CTempDir dir;
    CHistoryFile file(dir / "history");
    std::string strWhy;
    // Each scan's clock reads a year earlier than the last one's.
    const int64_t nYear = 365LL * 24 * 3600;
    const int64_t nNow = Now();
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(file.Append(MakeRecord("r" + std::to_string(i), nNow - i * nYear, 1500), nNow - i * nYear, &strWhy));
    EXPECT_EQ(Ids(file), (std::vector<std::string>{"r0", "r1", "r2", "r3"}));

    // Over the size bound: the newest by position stay, not by time.
    file.m_limits.nMaxBytes = 8192;
    ASSERT_TRUE(file.Append(MakeRecord("r4", nNow - 4 * nYear, 1500), nNow - 4 * nYear, &strWhy));
    EXPECT_EQ(Ids(file), (std::vector<std::string>{"r3", "r4"}));
}
