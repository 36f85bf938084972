// What the lists show and in what order: a path fitted by its middle, the
// header's three-click cycle; the colours chosen against a theme; the
// windows' kept sizes and how controls follow a new size.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "base/Utf8.h"
#include "controls/ListText.h"
#include "controls/ThemeColours.h"
#include "controls/WindowSizes.h"
#include "fakes/TempDir.h"
#include "platform/WindowSizesFile.h"

namespace {

// Every character is 10 pixels wide.
int Measure(const std::string& str) {
    int nChars = 0;
    for (size_t i = 0; i < str.size(); i = NextCharEnd(str, i))
        ++nChars;
    return nChars * 10;
}

bool IsWholeUtf8(const std::string& str) {
    for (size_t i = 0; i < str.size();) {
        const CUtf8Char c = DecodeUtf8(reinterpret_cast<const unsigned char*>(str.data()) + i, str.size() - i);
        if (!c.bValid)
            return false;
        i += c.nLen;
    }
    return true;
}

std::string Fit(const std::string& strPath, int nChars) { return ShortenPathMiddle(strPath, nChars * 10, Measure); }

}  // namespace

TEST(ListTextTest, APathGivesUpItsMiddleNeverItsName) {
    EXPECT_EQ(Fit("/home/ann/a.exe", 15), "/home/ann/a.exe");
    // The folder loses its middle; the name stays whole at the end.
    EXPECT_EQ(Fit("/home/annabel/Downloads/setup.exe", 20), "/home\xE2\x80\xA6oads/setup.exe");
    EXPECT_EQ(Fit("/home/annabel/Downloads/setup.exe", 11), "\xE2\x80\xA6/setup.exe");
    // A name too long for the column keeps its start and its extension.
    EXPECT_EQ(Fit("/home/ann/a-very-long-name.exe", 11), "a-ver\xE2\x80\xA6" "e.exe");
    EXPECT_EQ(Fit("/a", 0), "\xE2\x80\xA6");
    // Never half a character: each side ends on a boundary.
    const std::string strFitted = Fit("/h\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9/x", 6);
    EXPECT_TRUE(IsWholeUtf8(strFitted)) << strFitted;
    EXPECT_LE(Measure(strFitted), 60);
    EXPECT_EQ(strFitted.substr(strFitted.size() - 2), "/x");
}

TEST(ListTextTest, HeaderClicksSortReverseAndGiveBackTheOwnOrder) {
    CListSort sort;
    sort.Click(2);
    EXPECT_TRUE(sort.IsSorted());
    EXPECT_FALSE(sort.IsDescending());
    sort.Click(2);
    EXPECT_TRUE(sort.IsDescending());
    sort.Click(2);
    EXPECT_FALSE(sort.IsSorted());
    sort.Click(2);
    sort.Click(3);  // another column starts ascending
    EXPECT_EQ(sort.GetColumn(), 3);
    EXPECT_FALSE(sort.IsDescending());
    // Equal keys keep their own order, reversed or not.
    const std::vector<int> arKeys = {2, 1, 2, 1};
    auto Compare = [&](int a, int b) { return arKeys[a] - arKeys[b]; };
    EXPECT_EQ(SortedOrder(4, Compare, false), (std::vector<int>{1, 3, 0, 2}));
    EXPECT_EQ(SortedOrder(4, Compare, true), (std::vector<int>{0, 2, 1, 3}));
}

TEST(ThemeColoursTest, NoForcedColourWithoutItsReadablePartner) {
    const CRgb clrPale{251, 254, 226};
    // A dark theme's white text on pale yellow: the theme keeps both.
    EXPECT_FALSE(ChooseListColours(clrPale, CRgb{255, 255, 255}).bForced);
    const CListColours light = ChooseListColours(clrPale, CRgb{0, 0, 0});
    EXPECT_TRUE(light.bForced);
    EXPECT_EQ(light.clrBack, clrPale);
    EXPECT_EQ(light.clrText, (CRgb{0, 0, 0}));
    // The theme's link colour where it reads on the face, else its text.
    const CRgb clrDarkFace{51, 51, 51}, clrWhite{255, 255, 255};
    EXPECT_EQ(ChooseLinkColour(true, CRgb{53, 132, 228}, clrWhite, clrDarkFace), (CRgb{53, 132, 228}));
    EXPECT_EQ(ChooseLinkColour(true, CRgb{0, 0, 255}, clrWhite, clrDarkFace), clrWhite);
    EXPECT_EQ(ChooseLinkColour(false, CRgb{}, clrWhite, clrDarkFace), clrWhite);
}

TEST(WindowSizesTest, KeptSizesReadBackAndGarbageIsPassedOver) {
    const auto mapSizes = ParseWindowSizes(
        "results = 800x600\n"
        "backup-bin=640x480\r\n"
        "garbage\n"
        "big = 999999x10\n"
        "neg = -5x10\n"
        "bad name = 5x5\n"
        "half = 5x\n");
    ASSERT_EQ(mapSizes.size(), 2u);
    EXPECT_EQ(mapSizes.at("results"), (CWindowSize{800, 600}));
    EXPECT_EQ(mapSizes.at("backup-bin"), (CWindowSize{640, 480}));
    EXPECT_EQ(ParseWindowSizes(FormatWindowSizes(mapSizes)), mapSizes);
    // Never below the template, never beyond the screen.
    EXPECT_EQ(ChooseOpeningSize(true, {100, 5000}, {400, 300}, {1280, 1024}), (CWindowSize{400, 1024}));
    EXPECT_EQ(ChooseOpeningSize(false, {900, 900}, {400, 300}, {1280, 1024}), (CWindowSize{400, 300}));
}

TEST(WindowSizesTest, ControlsFollowTheEdgesTheySitAt) {
    const CPixelRect rc = MakePixelRect(10, 20, 100, 50);
    EXPECT_EQ(FollowSize(rc, ANCHOR_ALL, 30, 40), MakePixelRect(10, 20, 130, 90));
    EXPECT_EQ(FollowSize(rc, ANCHOR_RIGHT | ANCHOR_BOTTOM, 30, 40), MakePixelRect(40, 60, 100, 50));
    EXPECT_EQ(FollowSize(rc, ANCHOR_LEFT | ANCHOR_BOTTOM, 30, 40), MakePixelRect(10, 60, 100, 50));
    EXPECT_EQ(FollowSize(rc, ANCHOR_LEFT | ANCHOR_RIGHT | ANCHOR_TOP, 30, 40), MakePixelRect(10, 20, 130, 50));
}

TEST(WindowSizesTest, TheFileIsReplacedWholeNeverWrittenThroughALink) {
    CTempDir dir;
    const std::string strPath = dir / "state/quillet/windows";
    CWindowSizesFile file(strPath);
    CWindowSize size;
    EXPECT_FALSE(file.Load("results", &size));
    ASSERT_TRUE(file.Save("results", {800, 600}));
    ASSERT_TRUE(file.Save("backup-bin", {500, 400}));
    ASSERT_TRUE(file.Load("results", &size));
    EXPECT_EQ(size, (CWindowSize{800, 600}));
    // A link in its place is replaced; what it pointed at stays as it was.
    const std::string strElsewhere = dir / "elsewhere";
    ASSERT_TRUE(CTempDir::WriteFile(strElsewhere, "results = 1x1\n"));
    ASSERT_EQ(unlink(strPath.c_str()), 0);
    ASSERT_EQ(symlink(strElsewhere.c_str(), strPath.c_str()), 0);
    EXPECT_FALSE(file.Load("results", &size));
    ASSERT_TRUE(file.Save("results", {700, 500}));
    EXPECT_EQ(CTempDir::ReadFile(strElsewhere), "results = 1x1\n");
    struct stat st;
    ASSERT_EQ(lstat(strPath.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    ASSERT_TRUE(file.Load("results", &size));
    EXPECT_EQ(size, (CWindowSize{700, 500}));
}
