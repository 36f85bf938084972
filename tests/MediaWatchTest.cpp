// What `quillet --watch-media` offers, over fake mount tables and a fake
// clock; the power supplies and the autostart entry on temporary folders.

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fakes/TempDir.h"
#include "platform/MediaWatchService.h"
#include "scan/MediaWatch.h"

namespace {

CMount Drive(const std::string& strPath, int nType, uint32_t nMountId) {
    CMount mount{strPath, nType};
    mount.nMountId = nMountId;
    return mount;
}

}  // namespace

TEST(MediaWatchTest, ADriveIsOfferedOnceItHasHeldAndOncePerAppearance) {
    const CMount root = Drive("/", DRIVE_TYPE_FIXED, 1);
    const CMount share = Drive("/mnt/share", DRIVE_TYPE_REMOTE, 2);
    CMediaWatch watch;
    watch.Start({root, share});
    int64_t nNow = 0;

    // Mounted and unmounted 100 times a second for 3 s, each time a new
    // mount: never offered. A fixed disk and a RAM disk never are.
    uint32_t nId = 10;
    for (; nNow < 3000; nNow += 10) {
        std::vector<CMount> arTable = {root, share, Drive("/mnt/data", DRIVE_TYPE_FIXED, 3),
                                       Drive("/mnt/ram", DRIVE_TYPE_RAMDISK, 4)};
        if (nNow % 20 == 0)
            arTable.push_back(Drive("/run/media/u/STICK", DRIVE_TYPE_REMOVABLE, ++nId));
        EXPECT_TRUE(watch.Look(arTable, nNow).empty()) << nNow;
    }

    // Then it stays: offered once, when it has held for the whole time, and
    // the share there since the start never.
    const std::vector<CMount> arHeld = {root, share, Drive("/run/media/u/STICK", DRIVE_TYPE_REMOVABLE, ++nId)};
    EXPECT_TRUE(watch.Look(arHeld, nNow).empty());
    EXPECT_EQ(watch.MsUntilDue(nNow), MEDIA_SETTLE_MS);
    EXPECT_TRUE(watch.Look(arHeld, nNow + MEDIA_SETTLE_MS - 1).empty());
    const std::vector<CMount> arDue = watch.Look(arHeld, nNow + MEDIA_SETTLE_MS);
    ASSERT_EQ(arDue.size(), 1u);
    EXPECT_EQ(arDue[0].strPath, "/run/media/u/STICK");
    EXPECT_EQ(watch.MsUntilDue(nNow + MEDIA_SETTLE_MS), -1);
    for (int i = 1; i <= 5; ++i)
        EXPECT_TRUE(watch.Look(arHeld, nNow + MEDIA_SETTLE_MS * (1 + i)).empty());

    // Taken out and put in again: a new appearance, offered again.
    nNow += 20000;
    EXPECT_TRUE(watch.Look({root, share}, nNow).empty());
    const std::vector<CMount> arAgain = {root, share, Drive("/run/media/u/STICK", DRIVE_TYPE_REMOVABLE, ++nId)};
    EXPECT_TRUE(watch.Look(arAgain, nNow).empty());
    EXPECT_EQ(watch.Look(arAgain, nNow + MEDIA_SETTLE_MS).size(), 1u);
}

TEST(MediaWatchTest, SettingsSizesAndPower) {
    SMediaSettings settings;
    int nBad = 0;
    ASSERT_TRUE(ParseMediaSettings("# mine\nscan-below = 4G\nskip-on-battery = yes  # laptop\n", &settings, &nBad));
    EXPECT_EQ(settings.nScanBelow, 4ull << 30);
    EXPECT_TRUE(settings.bSkipOnBattery);
    for (const char* psz : {"scan-below = 4X\n", "scan-below = 4GB\n", "scan-below = 99999999999999999999\n",
                            "scan-below = 17179869184G\n", "skip-on-battery = maybe\n", "\nscan_below = 1\n"}) {
        SMediaSettings other;
        nBad = 0;
        EXPECT_FALSE(ParseMediaSettings(psz, &other, &nBad)) << psz;
        EXPECT_EQ(nBad, psz[0] == '\n' ? 2 : 1) << psz;
    }

    // Below the size, scanned at once; a size not known is asked about; on
    // battery nothing happens.
    EXPECT_EQ(DecideMediaStep(settings, (4ull << 30) - 1, false), MEDIA_SCAN_NOW);
    EXPECT_EQ(DecideMediaStep(settings, 4ull << 30, false), MEDIA_ASK);
    EXPECT_EQ(DecideMediaStep(settings, 0, false), MEDIA_ASK);
    EXPECT_EQ(DecideMediaStep(settings, 1, true), MEDIA_SKIP);
    EXPECT_EQ(DecideMediaStep(SMediaSettings{}, 1, true), MEDIA_ASK);

    // The name is the drive's, whatever it holds.
    EXPECT_EQ(MediaOfferText("/run/media/u/50% %s %n", 3ull << 30), "Scan 50% %s %n (3.0 GiB)?");
    EXPECT_EQ(MediaOfferText("/mnt/big/", 16ull << 40), "Scan big (16 TiB)?");

    // An AC adapter that is offline means battery; none, or none that
    // says, means AC.
    CTempDir dir;
    auto supply = [&](const char* pszName, const char* pszType, const char* pszOnline) {
        ASSERT_EQ(mkdir((dir / pszName).c_str(), 0700), 0);
        ASSERT_TRUE(CTempDir::WriteFile(dir / pszName + "/type", std::string(pszType) + "\n"));
        if (pszOnline)
            ASSERT_TRUE(CTempDir::WriteFile(dir / pszName + "/online", std::string(pszOnline) + "\n"));
    };
    EXPECT_FALSE(ReadOnBattery(dir / "none"));
    supply("BAT0", "Battery", nullptr);
    supply("ucsi-source-psy-1", "USB", "0");
    EXPECT_FALSE(ReadOnBattery(dir.Path()));
    supply("AC", "Mains", "0");
    EXPECT_TRUE(ReadOnBattery(dir.Path()));
    supply("ADP2", "Mains", "1");
    EXPECT_FALSE(ReadOnBattery(dir.Path()));
}

TEST(MediaWatchTest, TheAutostartEntryIsWrittenWholeAndNeverThroughALink) {
    CTempDir dir;
    const char* pszOld = getenv("XDG_CONFIG_HOME");
    const std::string strOld = pszOld ? pszOld : "";
    setenv("XDG_CONFIG_HOME", (dir / "cfg").c_str(), 1);
    const std::string strEntry = dir / "cfg/autostart/quillet-watch-media.desktop";
    ASSERT_EQ(MediaAutostartPath(), strEntry);

    std::string strWhy;
    EXPECT_FALSE(IsMediaWatchEnabled());
    ASSERT_TRUE(EnableMediaWatch(true, &strWhy)) << strWhy;
    EXPECT_TRUE(IsMediaWatchEnabled());
    struct stat st;
    ASSERT_EQ(stat((dir / "cfg/autostart").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(CTempDir::Entries(dir / "cfg/autostart"), std::vector<std::string>{"quillet-watch-media.desktop"});

    // A link in the entry's place is replaced; the file it named stays.
    ASSERT_EQ(unlink(strEntry.c_str()), 0);
    ASSERT_TRUE(CTempDir::WriteFile(dir / "other", "mine"));
    ASSERT_EQ(symlink((dir / "other").c_str(), strEntry.c_str()), 0);
    EXPECT_FALSE(IsMediaWatchEnabled());
    ASSERT_TRUE(EnableMediaWatch(true, &strWhy)) << strWhy;
    EXPECT_EQ(CTempDir::ReadFile(dir / "other"), "mine");
    ASSERT_EQ(lstat(strEntry.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));

    // The entry validates, also for a program whose path needs quoting.
    const std::string strOdd = dir / "odd.desktop";
    ASSERT_TRUE(CTempDir::WriteFile(strOdd, MediaAutostartEntry("/opt/my apps/$HOME/50%\\\"q\"/quillet")));
    EXPECT_NE(CTempDir::ReadFile(strOdd).find("Exec=\"/opt/my apps/\\\\$HOME/50%%\\\\\\\\\\\\\"q\\\\\"/quillet\" "
                                              "--watch-media\n"),
              std::string::npos)
        << CTempDir::ReadFile(strOdd);
    for (const std::string& strFile : {strEntry, strOdd})
        EXPECT_EQ(system(("desktop-file-validate '" + strFile + "'").c_str()), 0) << CTempDir::ReadFile(strFile);

    // Disabling removes it, and is done when it is gone already; through a
    // linked folder nothing is written or removed.
    ASSERT_TRUE(EnableMediaWatch(false, &strWhy)) << strWhy;
    EXPECT_FALSE(IsMediaWatchEnabled());
    EXPECT_TRUE(EnableMediaWatch(false, &strWhy));
    ASSERT_EQ(rmdir((dir / "cfg/autostart").c_str()), 0);
    ASSERT_EQ(mkdir((dir / "elsewhere").c_str(), 0700), 0);
    ASSERT_EQ(symlink((dir / "elsewhere").c_str(), (dir / "cfg/autostart").c_str()), 0);
    EXPECT_FALSE(EnableMediaWatch(true, &strWhy));
    EXPECT_TRUE(CTempDir::Entries(dir / "elsewhere").empty());

    if (pszOld)
        setenv("XDG_CONFIG_HOME", strOld.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}
