// A one-line account of a running scan on standard error: files scanned,
// findings, files a second, the folder being walked and the time so far.
// Redrawn at most ten times a second, and erased before any other line and
// at the end, so what remains on the terminal is what a script would see.
#pragma once

#include <chrono>
#include <string>

class CProgressLine {
public:
    explicit CProgressLine(int nFd);
    void SetFile(const std::string& strPath);
    void SetScanned(int nScanned) { m_nScanned = nScanned; }
    void SetFound(int nFound) { m_nFound = nFound; }
    // Draws the line when the last drawing is old enough.
    void Tick();
    // Takes the line off, before another line is written and at the end.
    void Erase();

    // The line for a terminal nColumns wide: the folder is shortened in its
    // middle so that the whole line fits.
    static std::string Format(int nScanned, int nFound, double dElapsed, const std::string& strFolder,
                              int nColumns);

private:
    int m_nFd;
    bool m_bShown = false;
    bool m_bDrawn = false;
    std::chrono::steady_clock::time_point m_tStart;
    std::chrono::steady_clock::time_point m_tDrawn;
    std::string m_strFolder;
    int m_nScanned = 0;
    int m_nFound = 0;
};
