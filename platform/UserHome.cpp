#include "platform/UserHome.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

std::string UserHomeFolder() {
    const char* pszHome = getenv("HOME");
    if (pszHome && pszHome[0] == '/')
        return pszHome;
    std::vector<char> arBuf(16384);
    passwd pw;
    passwd* pFound = nullptr;
    if (getpwuid_r(getuid(), &pw, arBuf.data(), arBuf.size(), &pFound) == 0 && pFound && pFound->pw_dir &&
        pFound->pw_dir[0] == '/')
        return pFound->pw_dir;
    return std::string();
}
