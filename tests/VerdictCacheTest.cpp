// Remembered clean verdicts: what a record must be to count, and which
// engine answers may be remembered at all.

#include <gtest/gtest.h>

#include "scan/VerdictCache.h"

namespace {

constexpr uint64_t EXT4 = 0xEF53;
constexpr uint64_t VFAT = 0x4d44;

SVerdictKey Key(uint64_t nIno, int64_t nCtimeNs = 1000) {
    SVerdictKey key;
    key.nDev = 2049;
    key.nIno = nIno;
    key.nSize = 68;
    key.nMtimeNs = 500;
    key.nCtimeNs = nCtimeNs;
    key.nFsType = EXT4;
    return key;
}

TEST(VerdictCacheTest, OnlyWholeRecordsOfTheSameIdentityCount) {
    CVerdictSet set("engine A");
    for (uint64_t n = 1; n <= 3; ++n)
        set.Add(Key(n));
    // A newer key of the same file replaces the older one.
    set.Add(Key(2, 2000));
    const std::string strBytes = set.Serialize();

    CVerdictSet read("engine A");
    ASSERT_TRUE(read.Parse(strBytes));
    EXPECT_EQ(read.GetCount(), 3u);
    EXPECT_TRUE(read.Contains(Key(1)));
    EXPECT_TRUE(read.Contains(Key(2, 2000)));
    EXPECT_FALSE(read.Contains(Key(2)));
    EXPECT_FALSE(read.Contains(Key(4)));

    // Another engine, new signatures or other settings: nothing is known.
    CVerdictSet other("engine B");
    EXPECT_FALSE(other.Parse(strBytes));
    EXPECT_EQ(other.GetCount(), 0u);

    // A write torn by a crash: the last record reads as absent.
    CVerdictSet torn("engine A");
    ASSERT_TRUE(torn.Parse(std::string_view(strBytes).substr(0, strBytes.size() - 5)));
    EXPECT_EQ(torn.GetCount(), 2u);
    EXPECT_FALSE(torn.Contains(Key(2, 2000)));

    // A record changed in place (its ctime set back) no longer counts.
    std::string strChanged = strBytes;
    const size_t nFirst = strChanged.size() - 3 * 56;
    strChanged[nFirst + 32] ^= 1;
    CVerdictSet changed("engine A");
    ASSERT_TRUE(changed.Parse(strChanged));
    EXPECT_EQ(changed.GetCount(), 2u);
    EXPECT_FALSE(changed.Contains(Key(1)));
    EXPECT_FALSE(changed.Contains(Key(1, 1001)));
}

TEST(VerdictCacheTest, OnlyAFileSettledOnATrustedFileSystemIsRemembered) {
    SScannedFile file;
    file.arValue[SCANNED_DEV] = 2049;
    file.arValue[SCANNED_INO] = 7;
    file.arValue[SCANNED_CTIME_NS] = 10 * 1000000000LL;
    file.arValue[SCANNED_FS_TYPE] = EXT4;
    file.nAskedNs = 13 * 1000000000LL;
    SVerdictKey key;
    ASSERT_TRUE(RememberableKey(file, VERDICT_SETTLE_NS, &key));
    EXPECT_EQ(key.nIno, 7u);
    // Changed within the tick before the engine read it: could change again
    // without the change time moving.
    file.nAskedNs = 11 * 1000000000LL;
    EXPECT_FALSE(RememberableKey(file, VERDICT_SETTLE_NS, &key));
    // FAT's "change time" is a creation time another system can write.
    file.nAskedNs = 13 * 1000000000LL;
    file.arValue[SCANNED_FS_TYPE] = VFAT;
    EXPECT_FALSE(RememberableKey(file, VERDICT_SETTLE_NS, &key));
}

}  // namespace
