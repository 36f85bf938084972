// Folder names in the order a file manager lists them.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tree/NameOrder.h"

TEST(NameOrderTest, NaturalCaseInsensitiveAndTotal) {
    const std::vector<std::string> arExpected = {
        "9", "10", "_x", "apple", "a\xc3\xa9", "a\xff", "B", "b", "file1", "File2", "file10",
        "x1", "x01", "x001", "Zebra", "zz", "\xc3\x84pfel", "\xc3\xa4pfel", "\xd0\xaf", "\xd1\x8f\xd0\xb0"};
    std::vector<std::string> arNames = arExpected;
    std::reverse(arNames.begin(), arNames.end());
    std::sort(arNames.begin(), arNames.end(),
              [](const std::string& s1, const std::string& s2) { return CompareNames(s1, s2) < 0; });
    EXPECT_EQ(arNames, arExpected);

    // A total order: antisymmetric, 0 only for the same bytes.
    for (const std::string& s1 : arExpected) {
        for (const std::string& s2 : arExpected) {
            EXPECT_EQ(CompareNames(s1, s2), -CompareNames(s2, s1)) << s1 << " " << s2;
            EXPECT_EQ(CompareNames(s1, s2) == 0, s1 == s2) << s1 << " " << s2;
        }
    }
}
