// Small pieces of text handling that several settings files share.
#pragma once

#include <string>

// str without the blanks (spaces, tabs, a carriage return) at either end.
inline std::string TrimBlanks(const std::string& str) {
    const size_t nStart = str.find_first_not_of(" \t\r");
    if (nStart == std::string::npos)
        return std::string();
    return str.substr(nStart, str.find_last_not_of(" \t\r") - nStart + 1);
}
