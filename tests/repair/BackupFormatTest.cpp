// Backup names, the header, the content transform and the start number.

#include <gtest/gtest.h>

#include "base/PathParts.h"
#include "repair/BackupFormat.h"

namespace {

TEST(BackupFormatTest, ExtensionsAndNames) {
    EXPECT_EQ(MakeBackupExtension("setup.exe"), "Vxe");
    EXPECT_EQ(MakeBackupExtension("report.doc"), "Voc");
    EXPECT_EQ(MakeBackupExtension("x.y.z"), "V");
    EXPECT_EQ(MakeBackupExtension("README"), "VADME");
    EXPECT_EQ(MakeBackupExtension(".login"), "Vogin");
    EXPECT_EQ(MakeBackupExtension("a."), "V");
    EXPECT_EQ(MakeBackupExtension("x"), "V");
    EXPECT_EQ(MakeBackupFileName(8, "setup.exe"), "00000008.Vxe");
    EXPECT_EQ(MakeBackupFileName(123456789, "a.doc"), "123456789.Voc");
    EXPECT_EQ(MakeBackupFileName(4294967295u, "a.doc"), "4294967295.Voc");
}

TEST(BackupFormatTest, HeaderBytesAndTheirLimits) {
    unsigned char arHeader[BACKUP_HEADER_SIZE];
    ASSERT_TRUE(BuildBackupHeader("/work/temp", "setup.exe", arHeader));
    const unsigned char arMagic[] = {'T', 'V', 'B', 'a', 'k', 0x1A, 1, 2, 3, 4};
    EXPECT_EQ(memcmp(arHeader, arMagic, 10), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(arHeader + 10)), "/work/temp");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(arHeader + 256)), "setup.exe");
    for (size_t i = 10 + 10; i < 256; ++i)
        ASSERT_EQ(arHeader[i], 0) << i;
    for (size_t i = 256 + 9; i < 512; ++i)
        ASSERT_EQ(arHeader[i], 0) << i;

    CBackupInfo info;
    ASSERT_TRUE(ParseBackupHeader(arHeader, sizeof arHeader, &info));
    EXPECT_EQ(info.strFolder, "/work/temp");
    EXPECT_EQ(info.strName, "setup.exe");
    EXPECT_FALSE(ParseBackupHeader(arHeader, 511, &info));

    // 245 bytes of folder and 255 of name fit with their NULs; one more does not.
    EXPECT_TRUE(BuildBackupHeader(std::string(245, 'f'), std::string(255, 'n'), arHeader));
    ASSERT_TRUE(ParseBackupHeader(arHeader, sizeof arHeader, &info));
    EXPECT_EQ(info.strFolder.size(), 245u);
    EXPECT_EQ(info.strName.size(), 255u);
    EXPECT_FALSE(BuildBackupHeader(std::string(246, 'f'), "n", arHeader));
    EXPECT_FALSE(BuildBackupHeader("/f", std::string(256, 'n'), arHeader));
    EXPECT_FALSE(BuildBackupHeader(std::string("/f\0g", 4), "n", arHeader));

    // Fields without their NUL, or a wrong magic, are not a backup header.
    ASSERT_TRUE(BuildBackupHeader("/f", "n", arHeader));
    unsigned char arBad[BACKUP_HEADER_SIZE];
    memcpy(arBad, arHeader, sizeof arBad);
    memset(arBad + 10, 'x', 246);
    EXPECT_FALSE(ParseBackupHeader(arBad, sizeof arBad, &info));
    memcpy(arBad, arHeader, sizeof arBad);
    memset(arBad + 256, 'x', 256);
    EXPECT_FALSE(ParseBackupHeader(arBad, sizeof arBad, &info));
    memcpy(arBad, arHeader, sizeof arBad);
    arBad[9] = 5;
    EXPECT_FALSE(ParseBackupHeader(arBad, sizeof arBad, &info));
}

TEST(BackupFormatTest, ContentRotatesByOneBit) {
    unsigned char ar[] = {0x01, 0x80, 0x03, 0xFF, 0x00, 0x42};
    RotateRight(ar, sizeof ar);
    const unsigned char arStored[] = {0x80, 0x40, 0x81, 0xFF, 0x00, 0x21};
    EXPECT_EQ(memcmp(ar, arStored, sizeof ar), 0);
    RotateLeft(ar, sizeof ar);
    const unsigned char arBack[] = {0x01, 0x80, 0x03, 0xFF, 0x00, 0x42};
    EXPECT_EQ(memcmp(ar, arBack, sizeof ar), 0);
    for (int b = 0; b < 256; ++b) {
        unsigned char c = static_cast<unsigned char>(b);
        RotateRight(&c, 1);
        RotateLeft(&c, 1);
        ASSERT_EQ(c, b);
    }
}

TEST(BackupFormatTest, StartNumberFollowsAtolAndUnsignedComparison) {
    uint32_t n = 0;
    EXPECT_TRUE(BackupNumberFromName("00000012.Vxe", &n));
    EXPECT_EQ(n, 12u);
    EXPECT_TRUE(BackupNumberFromName("  +7x.V", &n));
    EXPECT_EQ(n, 7u);
    EXPECT_TRUE(BackupNumberFromName("abc.V", &n));
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(BackupNumberFromName("x.12.b", &n));  // cut at the last '.'
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(BackupNumberFromName("12.a.b", &n));
    EXPECT_EQ(n, 12u);
    EXPECT_FALSE(BackupNumberFromName("README", &n));
    EXPECT_FALSE(BackupNumberFromName(".5", &n));  // the first character is never examined
    EXPECT_TRUE(BackupNumberFromName("-1.V", &n));
    EXPECT_EQ(n, 0xFFFFFFFFu);
    EXPECT_TRUE(BackupNumberFromName("99999999999999999999999.V", &n));
    EXPECT_EQ(n, 0xFFFFFFFFu);  // saturated, then its low 32 bits

    EXPECT_EQ(HighestBackupNumber({}), 0u);
    EXPECT_EQ(HighestBackupNumber({"00000003.Vxe", "00000012.Voc", "README", "9.x"}), 12u);
    EXPECT_EQ(HighestBackupNumber({"00000003.Vxe", "4000000000.V"}), 4000000000u);
}

TEST(BackupFormatTest, PathsSplitAtTheLastSlash) {
    std::string strFolder, strName;
    SplitPath("/work/temp/setup.exe", &strFolder, &strName);
    EXPECT_EQ(strFolder, "/work/temp");
    EXPECT_EQ(strName, "setup.exe");
    SplitPath("/setup.exe", &strFolder, &strName);
    EXPECT_EQ(strFolder, "");
    EXPECT_EQ(JoinPath(strFolder, strName), "/setup.exe");
    EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
}

}  // namespace
