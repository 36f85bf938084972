// What is wrong with a ClamAV daemon or signature folder, in one sentence a
// user can act on: what failed, where, and what to run about it. Shared by
// the ClamAV engine (its turn-on and scans) and the program's own probing
// (auto, the settings dialog), so both say the same.
#pragma once

#include <string>

enum class EDaemonProblem {
    NoSocket,    // nothing at the address (no such socket)
    Refused,     // the socket is there, nothing listens
    Permission,  // this user may not open the socket
    Unreachable, // any other reason the connection failed
    NotDaemon,   // something answered, not as a daemon would
    Silent,      // connected, no answer in time or the connection broke
    CannotRead,  // the daemon could not read a file it was passed
};

// The problem a failed connect(2) names.
EDaemonProblem DaemonProblemFromErrno(int nErr);
// strDetail: the system's or the daemon's own words.
std::string DaemonProblemText(EDaemonProblem eProblem, const std::string& strAddress, const std::string& strDetail);
// "ClamAV has no usable signature database in FOLDER: REASON; " and what to
// run: freshclam when it is installed (bFreshclam), else its package.
std::string DatabaseProblemText(const std::string& strFolder, const std::string& strReason, bool bFreshclam);
// Whether freshclam is installed here.
bool IsFreshclamInstalled();
