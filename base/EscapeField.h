// What the command-line tools print for a path or name: one field is always
// one line, so control bytes, DEL and the backslash are escaped and every
// other byte goes out as it is.
#pragma once

#include <stdio.h>

#include <string>
#include <string_view>

inline std::string EscapeField(std::string_view str) {
    std::string strOut;
    for (unsigned char c : str) {
        if (c == '\\') {
            strOut += "\\\\";
        } else if (c == '\n') {
            strOut += "\\n";
        } else if (c == '\t') {
            strOut += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char sz[5];
            snprintf(sz, sizeof sz, "\\x%02x", c);
            strOut += sz;
        } else {
            strOut += static_cast<char>(c);
        }
    }
    return strOut;
}
