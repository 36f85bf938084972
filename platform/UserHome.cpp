#include "platform/UserHome.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

namespace {

// An absolute folder other than the root itself ("/", "//").
bool IsHome(const char* psz) {
    if (!psz || psz[0] != '/')
        return false;
    for (const char* p = psz; *p; ++p)
        if (*p != '/')
            return true;
    return false;
}

}  // namespace

std::string UserHomeFolder() {
    const char* pszHome = getenv("HOME");
    if (IsHome(pszHome))
        return pszHome;
    std::vector<char> arBuf(16384);
    passwd pw;
    passwd* pFound = nullptr;
    if (getpwuid_r(getuid(), &pw, arBuf.data(), arBuf.size(), &pFound) == 0 && pFound && IsHome(pFound->pw_dir))
        return pFound->pw_dir;
    return std::string();
}
