// The skin button's frames and its hover, press and capture behaviour.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/SkinButtonLogic.h"

namespace {

// The frame's border as a picture: L light, S shadow, . untouched.
std::vector<std::string> Picture(const CSkinFrameLayout& frame, int nWidth, int nHeight) {
    std::vector<std::string> arRows(nHeight, std::string(nWidth, '.'));
    for (const CSkinRun& run : frame.arRuns)
        for (int y = run.rcPixels.nTop; y < run.rcPixels.nBottom; ++y)
            for (int x = run.rcPixels.nLeft; x < run.rcPixels.nRight; ++x) {
                EXPECT_TRUE(x >= 0 && x < nWidth && y >= 0 && y < nHeight) << x << "," << y;
                if (x >= 0 && x < nWidth && y >= 0 && y < nHeight)
                    arRows[y][x] = run.ePen == SKIN_PEN_LIGHT ? 'L' : 'S';
            }
    return arRows;
}

CSkinFrameInput Input(int nWidth, int nHeight, bool bHot, bool bPressed) {
    CSkinFrameInput in;
    in.rcItem = MakePixelRect(0, 0, nWidth, nHeight);
    in.bHot = bHot;
    in.bPressed = bPressed;
    return in;
}

// The window side: owns the capture, answers every release with
// OnCaptureChanged as the toolkit does, and counts clicks.
struct CFakeHost {
    CSkinButtonState state;
    bool bCapture = false;
    int nClicks = 0;

    void Apply(unsigned nActions) {
        if (nActions & SKIN_TAKE_CAPTURE)
            bCapture = true;
        if ((nActions & SKIN_RELEASE_CAPTURE) && bCapture) {
            bCapture = false;
            Apply(state.OnCaptureChanged());
        }
        if (nActions & SKIN_CLICK)
            ++nClicks;
    }
    void Move(bool bInside, bool bLeftDown = false) {
        Apply(state.OnMouseMove(bInside, bLeftDown, bCapture, true));
    }
    void Down(bool bInside = true) { Apply(state.OnLeftDown(bInside, bCapture)); }
    void Up(bool bInside = true) { Apply(state.OnLeftUp(bInside)); }
    void OtherWindowTakesCapture() {
        bCapture = false;
        Apply(state.OnCaptureChanged());
    }
};

}  // namespace

TEST(SkinFrameTest, BorderRaisedWhenHotSunkenWhenPressed) {
    CSkinButtonOptions opt;
    // Each stroke leaves out its end point, and the second stroke owns the
    // two corners both touch.
    EXPECT_EQ(Picture(LayoutSkinFrame(opt, Input(5, 4, true, false)), 5, 4),
              (std::vector<std::string>{"LLLLS", "L...S", "L...S", "SSSSS"}));
    EXPECT_EQ(Picture(LayoutSkinFrame(opt, Input(5, 4, false, true)), 5, 4),
              (std::vector<std::string>{"SSSSL", "S...L", "S...L", "LLLLL"}));
    EXPECT_TRUE(LayoutSkinFrame(opt, Input(5, 4, false, false)).arRuns.empty());
    // A one-pixel-high button paints inside itself only.
    Picture(LayoutSkinFrame(opt, Input(3, 1, true, false)), 3, 1);
    opt.bDrawBorder = false;
    EXPECT_TRUE(LayoutSkinFrame(opt, Input(5, 4, true, true)).arRuns.empty());
}

TEST(SkinFrameTest, IconAndCaptionPlacement) {
    CSkinButtonOptions opt;
    // No caption: the icon box is centred both ways; a box larger than the
    // button starts before its edge, the offset truncated toward zero.
    CSkinFrameInput in = Input(25, 21, false, false);
    in.bHasIcon = true;
    in.nIconWidth = 32;
    in.nIconHeight = 32;
    CSkinFrameLayout frame = LayoutSkinFrame(opt, in);
    ASSERT_TRUE(frame.bDrawIcon);
    EXPECT_FALSE(frame.bDrawCaption);
    EXPECT_EQ(frame.rcIcon.nLeft, -3);
    EXPECT_EQ(frame.rcIcon.nTop, -5);
    in.bPressed = true;
    frame = LayoutSkinFrame(opt, in);
    EXPECT_EQ(frame.rcIcon.nLeft, -2);
    EXPECT_EQ(frame.rcIcon.nTop, -4);

    // With a caption the icon stands 3 pixels in and the caption starts 3
    // pixels after the icon box.
    in = Input(100, 40, false, false);
    in.bHasIcon = true;
    in.nIconWidth = 16;
    in.nIconHeight = 16;
    in.bHasCaption = true;
    frame = LayoutSkinFrame(opt, in);
    EXPECT_EQ(frame.rcIcon, (CPixelRect{3, 12, 100, 40}));
    EXPECT_EQ(frame.rcCaptionArea, (CPixelRect{19, 0, 100, 40}));
    EXPECT_EQ(PlaceCaption(frame.rcCaptionArea, 40, 13), MakePixelRect(19 + 20, 13, 40, 13));
    in.bPressed = true;
    frame = LayoutSkinFrame(opt, in);
    EXPECT_EQ(frame.rcIcon.nLeft, 4);
    EXPECT_EQ(frame.rcCaptionArea, (CPixelRect{20, 1, 101, 41}));

    // No icon loaded: no icon, the caption has the whole face.
    in = Input(100, 40, false, false);
    in.bHasCaption = true;
    in.nIconWidth = 16;
    frame = LayoutSkinFrame(opt, in);
    EXPECT_FALSE(frame.bDrawIcon);
    EXPECT_EQ(frame.rcCaptionArea, (CPixelRect{0, 0, 100, 40}));
    // A caption wider than its area is centred with a negative offset.
    EXPECT_EQ(PlaceCaption(MakePixelRect(0, 0, 20, 10), 41, 13).nLeft, -10);
    EXPECT_EQ(PlaceCaption(MakePixelRect(0, 0, 20, 10), 41, 13).nTop, -1);
}

TEST(SkinFrameTest, FlatButtonShowsNoFocusMark) {
    CSkinFrameInput in = Input(40, 20, false, false);
    in.bFocused = true;
    EXPECT_FALSE(LayoutSkinFrame(CSkinButtonOptions(), in).bDrawFocus);
}

TEST(SkinStateTest, HoverTakesAndGivesUpTheCapture) {
    CFakeHost host;
    // A drag that enters with the left button held does not light it.
    host.Move(true, true);
    EXPECT_FALSE(host.state.IsHot());
    EXPECT_FALSE(host.bCapture);
    // Moving on with the button up lights it at once.
    host.Move(true);
    EXPECT_TRUE(host.state.IsHot());
    EXPECT_TRUE(host.bCapture);
    host.Move(true);
    EXPECT_TRUE(host.state.IsHot());
    // Off the button: cleared and the capture given back.
    host.Move(false);
    EXPECT_FALSE(host.state.IsHot());
    EXPECT_FALSE(host.bCapture);
    EXPECT_EQ(host.nClicks, 0);
}

TEST(SkinStateTest, ClickLeavesItHotWithoutCapture) {
    CFakeHost host;
    host.Move(true);
    host.Down();
    EXPECT_TRUE(host.state.IsPressed());
    host.Up();
    EXPECT_EQ(host.nClicks, 1);
    EXPECT_FALSE(host.state.IsPressed());
    EXPECT_TRUE(host.state.IsHot());
    EXPECT_FALSE(host.bCapture);
    // The next move over it takes the capture again; leaving clears it.
    host.Move(true);
    EXPECT_TRUE(host.bCapture);
    host.Move(false);
    EXPECT_FALSE(host.state.IsHot());
    EXPECT_FALSE(host.bCapture);
    // Losing the focus while hot ends the hot look too.
    host.Move(true);
    host.Apply(host.state.OnKillFocus());
    EXPECT_FALSE(host.state.IsHot());
}

TEST(SkinStateTest, PressDraggedOffKeepsCaptureAndDoesNotClick) {
    CFakeHost host;
    host.Move(true);
    host.Down();
    // Off the button with the left button held: not hot, not drawn pressed,
    // the capture stays so the press can end.
    host.Move(false, true);
    EXPECT_FALSE(host.state.IsHot());
    EXPECT_FALSE(host.state.IsPressed());
    EXPECT_TRUE(host.bCapture);
    // Back on it: pressed again, but a held button does not light it.
    host.Move(true, true);
    EXPECT_TRUE(host.state.IsPressed());
    EXPECT_FALSE(host.state.IsHot());
    host.Move(false, true);
    host.Up(false);
    EXPECT_EQ(host.nClicks, 0);
    EXPECT_FALSE(host.bCapture);
}

TEST(SkinStateTest, LostCaptureOrFocusEndsAPress) {
    CFakeHost host;
    host.Move(true);
    host.Down();
    host.OtherWindowTakesCapture();
    EXPECT_FALSE(host.state.IsPressed());
    EXPECT_TRUE(host.state.IsHot());
    host.Up();
    EXPECT_EQ(host.nClicks, 0);

    CFakeHost host2;
    host2.Move(true);
    host2.Down();
    host2.Apply(host2.state.OnKillFocus());
    EXPECT_FALSE(host2.state.IsPressed());
    EXPECT_FALSE(host2.state.IsHot());
    EXPECT_FALSE(host2.bCapture);
    host2.Up();
    EXPECT_EQ(host2.nClicks, 0);
}

TEST(SkinStateTest, KeyboardAndRaisedFace) {
    CFakeHost host;
    host.Apply(host.state.OnSpaceDown());
    EXPECT_TRUE(host.state.IsPressed());
    EXPECT_EQ(host.nClicks, 0);
    host.Apply(host.state.OnSpaceUp());
    EXPECT_EQ(host.nClicks, 1);
    EXPECT_FALSE(host.state.IsPressed());
    host.Apply(host.state.OnSpaceUp());
    host.Apply(host.state.OnEnter());
    EXPECT_EQ(host.nClicks, 2);

    // A raised face is never hot and never takes the capture on hover.
    CFakeHost raised;
    raised.state = CSkinButtonState(false);
    raised.Move(true);
    EXPECT_FALSE(raised.state.IsHot());
    EXPECT_FALSE(raised.bCapture);
}

TEST(MnemonicTest, AmpersandMarksTheNextCharacter) {
    CMnemonicText text = ParseMnemonic("&Info");
    EXPECT_EQ(text.strText, "Info");
    EXPECT_EQ(text.nUnderline, 0);
    EXPECT_EQ(text.nUnderlineLen, 1);
    text = ParseMnemonic("Save &As");
    EXPECT_EQ(text.strText, "Save As");
    EXPECT_EQ(text.nUnderline, 5);
    text = ParseMnemonic("A&&B&");
    EXPECT_EQ(text.strText, "A&B");
    EXPECT_EQ(text.nUnderline, -1);
    text = ParseMnemonic("&\xc3\xa9t\xc3\xa9 &x");
    EXPECT_EQ(text.strText, "\xc3\xa9t\xc3\xa9 x");
    EXPECT_EQ(text.nUnderline, 0);
    EXPECT_EQ(text.nUnderlineLen, 2);
}
