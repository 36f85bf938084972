// Names in any encoding show as something, and valid UTF-8 shows as itself.

#include <gtest/gtest.h>

#include "ui/DisplayText.h"

TEST(DisplayTextTest, ValidAndInvalidBytes) {
    EXPECT_EQ(ToDisplay("plain.exe"), wxString("plain.exe"));
    EXPECT_EQ(ToDisplay("caf\xc3\xa9"), wxString::FromUTF8("caf\xc3\xa9"));
    EXPECT_EQ(ToDisplay(""), wxString());
    wxString str = ToDisplay("caf\xe9.exe");
    EXPECT_EQ(str.length(), 8u);
    EXPECT_EQ(str[3], wxUniChar(0xFFFD));
    EXPECT_EQ(str.Mid(4), wxString(".exe"));
    // Overlong slash, lone surrogate, truncated sequence.
    EXPECT_EQ(ToDisplay("a\xc0\xaf" "b"), wxString::FromUTF8("a\xef\xbf\xbd\xef\xbf\xbd" "b"));
    EXPECT_EQ(ToDisplay("\xed\xa0\x80"), wxString::FromUTF8("\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"));
    EXPECT_EQ(ToDisplay("x\xe2\x82"), wxString::FromUTF8("x\xef\xbf\xbd\xef\xbf\xbd"));
}
