// Small pieces of text handling that several settings files share.
#pragma once

#include <sstream>
#include <string>

// str without the blanks (spaces, tabs, a carriage return) at either end.
inline std::string TrimBlanks(const std::string& str) {
    const size_t nStart = str.find_first_not_of(" \t\r");
    if (nStart == std::string::npos)
        return std::string();
    return str.substr(nStart, str.find_last_not_of(" \t\r") - nStart + 1);
}

// Each "name = value" line of a settings text, a '#' starting a comment,
// blank lines passed over: fn(name, value) is false for a line it does not
// take, which ends the reading with that line's number in *pnBadLine.
template <typename Fn>
bool ForEachSetting(const std::string& strText, Fn fnSetting, int* pnBadLine) {
    std::istringstream in(strText);
    std::string strLine;
    for (int nLine = 1; std::getline(in, strLine); ++nLine) {
        strLine = TrimBlanks(strLine.substr(0, strLine.find('#')));
        if (strLine.empty())
            continue;
        const size_t nEq = strLine.find('=');
        const std::string strName = nEq == std::string::npos ? std::string() : TrimBlanks(strLine.substr(0, nEq));
        const std::string strValue = nEq == std::string::npos ? std::string() : TrimBlanks(strLine.substr(nEq + 1));
        if (!fnSetting(strName, strValue)) {
            if (pnBadLine)
                *pnBadLine = nLine;
            return false;
        }
    }
    return true;
}

// A hexadecimal digit's value; -1 for any other character.
inline int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
