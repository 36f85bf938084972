#include "ProgressLine.h"

#include <stdio.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

#include "base/EscapeField.h"
#include "res/Strings.h"

namespace {

constexpr auto REDRAW_EVERY = std::chrono::milliseconds(100);
constexpr int DEFAULT_COLUMNS = 80;

// Columns a text of escaped bytes takes: one per character, whatever its
// UTF-8 length.
size_t Columns(const std::string& str) {
    size_t n = 0;
    for (unsigned char c : str)
        n += (c & 0xC0) != 0x80;
    return n;
}

// The first (or, from the end, last) nColumns characters of str.
std::string Take(const std::string& str, size_t nColumns, bool bFromEnd) {
    size_t nCount = 0;
    if (!bFromEnd) {
        size_t i = 0;
        for (; i < str.size(); ++i)
            if ((static_cast<unsigned char>(str[i]) & 0xC0) != 0x80 && nCount++ == nColumns)
                break;
        return str.substr(0, i);
    }
    size_t i = str.size();
    while (i > 0 && nCount < nColumns) {
        --i;
        if ((static_cast<unsigned char>(str[i]) & 0xC0) != 0x80)
            ++nCount;
    }
    return str.substr(i);
}

void WriteAll(int nFd, const std::string& str) {
    size_t nDone = 0;
    while (nDone < str.size()) {
        const ssize_t n = write(nFd, str.data() + nDone, str.size() - nDone);
        if (n <= 0)
            return;  // a closed terminal: the scan goes on without it
        nDone += static_cast<size_t>(n);
    }
}

}  // namespace

CProgressLine::CProgressLine(int nFd) : m_nFd(nFd), m_tStart(std::chrono::steady_clock::now()) {}

void CProgressLine::SetFile(const std::string& strPath) {
    const size_t nSlash = strPath.rfind('/');
    m_strFolder = nSlash == std::string::npos ? std::string() : strPath.substr(0, nSlash == 0 ? 1 : nSlash);
}

std::string CProgressLine::Format(int nScanned, int nFound, double dElapsed, const std::string& strFolder,
                                  int nColumns) {
    const int nSeconds = static_cast<int>(dElapsed);
    char szElapsed[32];
    if (nSeconds >= 3600)
        snprintf(szElapsed, sizeof szElapsed, "%d:%02d:%02d", nSeconds / 3600, nSeconds / 60 % 60, nSeconds % 60);
    else
        snprintf(szElapsed, sizeof szElapsed, "%d:%02d", nSeconds / 60, nSeconds % 60);
    const int nRate = dElapsed > 0.05 ? static_cast<int>(nScanned / dElapsed) : 0;
    // The folder's name comes from the disk: escaped, it cannot move the
    // cursor or change the terminal.
    std::string strShown = EscapeField(strFolder);
    char szLine[1024];
    snprintf(szLine, sizeof szLine, LoadText(IDS_SCAN_TOOL_PROGRESS), nScanned, nFound, nRate, "", szElapsed);
    const size_t nFixed = Columns(szLine);
    const size_t nRoom = nColumns > 1 && static_cast<size_t>(nColumns - 1) > nFixed ? nColumns - 1 - nFixed : 0;
    if (Columns(strShown) > nRoom) {
        // Its start and its end say most: the middle goes.
        const size_t nKeep = nRoom > 3 ? nRoom - 3 : 0;
        strShown = nKeep == 0 ? std::string() : Take(strShown, nKeep - nKeep / 2, false) + "..." +
                                                      Take(strShown, nKeep / 2, true);
    }
    std::string strOut(2048, '\0');
    const int n = snprintf(strOut.data(), strOut.size(), LoadText(IDS_SCAN_TOOL_PROGRESS), nScanned, nFound, nRate,
                           strShown.c_str(), szElapsed);
    strOut.resize(n > 0 ? std::min(static_cast<size_t>(n), strOut.size() - 1) : 0);
    return strOut;
}

void CProgressLine::Tick() {
    const auto tNow = std::chrono::steady_clock::now();
    if (m_bDrawn && tNow - m_tDrawn < REDRAW_EVERY)
        return;
    m_bDrawn = true;
    m_tDrawn = tNow;
    struct winsize size {};
    const int nColumns = ioctl(m_nFd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : DEFAULT_COLUMNS;
    const double dElapsed = std::chrono::duration<double>(tNow - m_tStart).count();
    WriteAll(m_nFd, "\r" + Format(m_nScanned, m_nFound, dElapsed, m_strFolder, nColumns) + "\x1b[K");
    m_bShown = true;
}

void CProgressLine::Erase() {
    if (!m_bShown)
        return;
    // Drawn again at the next tick that is due: never more often.
    WriteAll(m_nFd, "\r\x1b[K");
    m_bShown = false;
}
