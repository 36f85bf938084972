// Where the built programs and engines are: beside the test executable.
#pragma once

#include <unistd.h>

#include <climits>
#include <string>

inline std::string BinDir() {
    char szBuf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", szBuf, sizeof szBuf - 1);
    if (n <= 0)
        return ".";
    std::string strExe(szBuf, static_cast<size_t>(n));
    return strExe.substr(0, strExe.rfind('/'));
}
