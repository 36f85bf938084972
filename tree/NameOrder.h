// The order a desktop file manager shows folder names in: digit runs by
// their value ("disk2" before "disk10"), letters without regard to case,
// and a fixed order for names that are not valid UTF-8.
#pragma once

#include <string_view>

// Negative, 0 or positive. 0 only for equal bytes: names that differ only in
// case or leading zeros still get a fixed order, so sorting is stable across
// runs.
int CompareNames(std::string_view strName1, std::string_view strName2);
