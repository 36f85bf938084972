#include "platform/WindowSizesFile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <glib.h>

#include "platform/UserHome.h"

namespace {

// A few lines; anything larger is not ours.
constexpr size_t kMaxBytes = 16 * 1024;

}  // namespace

std::string CWindowSizesFile::PathFromEnv() {
    const char* pszState = getenv("XDG_STATE_HOME");
    if (pszState && pszState[0] == '/')
        return std::string(pszState) + "/quillet/windows";
    const std::string strHome = UserHomeFolder();
    return strHome.empty() ? std::string() : strHome + "/.local/state/quillet/windows";
}

std::string CWindowSizesFile::ReadText() const {
    if (m_strPath.empty())
        return std::string();
    // Never through a link, never waiting on a FIFO.
    const int nFd = open(m_strPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (nFd < 0)
        return std::string();
    struct stat st {};
    std::string strText;
    if (fstat(nFd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<size_t>(st.st_size) <= kMaxBytes) {
        char buf[4096];
        ssize_t n;
        while (strText.size() <= kMaxBytes && (n = read(nFd, buf, sizeof buf)) > 0)
            strText.append(buf, static_cast<size_t>(n));
    }
    close(nFd);
    return strText.size() <= kMaxBytes ? strText : std::string();
}

bool CWindowSizesFile::Load(const std::string& strName, CWindowSize* pSize) {
    const auto mapSizes = ParseWindowSizes(ReadText());
    const auto it = mapSizes.find(strName);
    if (it == mapSizes.end())
        return false;
    *pSize = it->second;
    return true;
}

bool CWindowSizesFile::Save(const std::string& strName, const CWindowSize& size) {
    if (m_strPath.empty())
        return false;
    auto mapSizes = ParseWindowSizes(ReadText());
    mapSizes[strName] = size;
    const std::string strText = FormatWindowSizes(mapSizes);
    const std::string strFolder = m_strPath.substr(0, m_strPath.rfind('/'));
    if (g_mkdir_with_parents(strFolder.c_str(), 0700) != 0)
        return false;
    std::string strTemp = m_strPath + ".XXXXXX";
    const int nFd = mkostemp(strTemp.data(), O_CLOEXEC);
    if (nFd < 0)
        return false;
    bool bOk = write(nFd, strText.data(), strText.size()) == static_cast<ssize_t>(strText.size());
    bOk = close(nFd) == 0 && bOk;
    // The rename replaces whatever holds the name, a link included, and
    // never writes through it.
    if (!bOk || rename(strTemp.c_str(), m_strPath.c_str()) != 0) {
        unlink(strTemp.c_str());
        return false;
    }
    return true;
}
