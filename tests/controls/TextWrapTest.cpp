// Wrapping a notice's text: kept line breaks, blanks, long paths.

#include <gtest/gtest.h>

#include "base/Utf8.h"
#include "controls/TextWrap.h"

namespace {

// Every character is 10 pixels wide.
int Measure(const std::string& str) {
    int nChars = 0;
    for (size_t i = 0; i < str.size(); i = NextCharEnd(str, i))
        ++nChars;
    return nChars * 10;
}

std::vector<std::string> Wrap(const std::string& str, int nWidth) { return WrapText(str, nWidth, Measure); }

using Lines = std::vector<std::string>;

}  // namespace

TEST(TextWrapTest, KeepsLineBreaksAndBreaksAtBlanks) {
    EXPECT_EQ(Wrap("/tmp/a.exe\nRepair is done.", 200), (Lines{"/tmp/a.exe", "Repair is done."}));
    EXPECT_EQ(Wrap("/tmp/a.exe\r\nRepair is done.", 200), (Lines{"/tmp/a.exe", "Repair is done."}));
    EXPECT_EQ(Wrap("This file is encrypted.\nRepair the virus after decryption.", 120),
              (Lines{"This file is", "encrypted.", "Repair the", "virus after", "decryption."}));
    EXPECT_EQ(Wrap("", 100), (Lines{""}));
    EXPECT_EQ(Wrap("a\n\nb", 100), (Lines{"a", "", "b"}));
}

TEST(TextWrapTest, LongWordsBreakInsideTheBox) {
    // A path without blanks breaks after a '/' where one fits.
    EXPECT_EQ(Wrap("/home/user/Downloads/setup.exe", 120), (Lines{"/home/user/", "Downloads/", "setup.exe"}));
    // Without a '/' it breaks between characters, and never inside one.
    EXPECT_EQ(Wrap("abcdefghij", 40), (Lines{"abcd", "efgh", "ij"}));
    EXPECT_EQ(Wrap("\xc3\xa9\xc3\xa9\xc3\xa9", 20), (Lines{"\xc3\xa9\xc3\xa9", "\xc3\xa9"}));
    // A box narrower than one character still takes one per line.
    EXPECT_EQ(Wrap("abc", 5), (Lines{"a", "b", "c"}));
    // Every line fits.
    for (const std::string& str : Wrap("/very/long/folder/name/without/any/blank/at/all/and/a/file.exe now", 90))
        EXPECT_LE(Measure(str), 90) << str;
}
