// What a link label opens when clicked, and how it paints.

#include <gtest/gtest.h>

#include "controls/LinkLabelLogic.h"

TEST(LinkTargetTest, AddressesGoToTheBrowser) {
    struct {
        const char* pszText;
        const char* pszTarget;
    } arCases[] = {
        {"http://www.kestrum.com", "http://www.kestrum.com"},
        {"HTTPS://kestrum.com/quillet", "HTTPS://kestrum.com/quillet"},
        {"  http://kestrum.com  ", "http://kestrum.com"},
        {"www.kestrum.com", "http://www.kestrum.com"},
        {"mailto:support@kestrum.com", "mailto:support@kestrum.com"},
    };
    for (const auto& c : arCases) {
        CLinkTarget target = ResolveLinkTarget(c.pszText);
        EXPECT_EQ(target.eOpen, LINK_OPEN_BROWSER) << c.pszText;
        EXPECT_EQ(target.strTarget, c.pszTarget);
    }
}

TEST(LinkTargetTest, OnlyAbsolutePathsOpenAsDocuments) {
    CLinkTarget target = ResolveLinkTarget("/usr/share/doc/quillet/README");
    EXPECT_EQ(target.eOpen, LINK_OPEN_DOCUMENT);
    EXPECT_EQ(target.strTarget, "/usr/share/doc/quillet/README");
    EXPECT_EQ(ResolveLinkTarget("/home/me/My Files/read me.txt").eOpen, LINK_OPEN_DOCUMENT);
    // Texts that name nothing open nothing; nor does a name that would be
    // looked up in whatever the current folder happens to be.
    for (const char* psz : {"Kestrum Inc. Homepage", "tavin", "File name :", "", "   ", "http://", "www.",
                            "notes.txt", "http://kestrum.com and more"})
        EXPECT_EQ(ResolveLinkTarget(psz).eOpen, LINK_OPEN_NOTHING) << psz;
}

TEST(LinkLookTest, FlashBrushOnlyInTheOffPhaseOfABackgroundFlash) {
    EXPECT_EQ(ChooseLinkBrush(LINK_FLASH_NONE, false), LINK_BRUSH_BACK);
    EXPECT_EQ(ChooseLinkBrush(LINK_FLASH_TEXT, false), LINK_BRUSH_BACK);
    EXPECT_EQ(ChooseLinkBrush(LINK_FLASH_BACK, true), LINK_BRUSH_BACK);
    EXPECT_EQ(ChooseLinkBrush(LINK_FLASH_BACK, false), LINK_BRUSH_FLASH);
}
