#include "base/ClamavAdvice.h"

#include <errno.h>
#include <stdio.h>
#include <unistd.h>

#include "res/Strings.h"

namespace {

std::string Format(EStringId eId, const std::string& strFirst, const std::string& strSecond) {
    const char* pszFormat = LoadText(eId);
    const int nSize = snprintf(nullptr, 0, pszFormat, strFirst.c_str(), strSecond.c_str());
    std::string strText(nSize > 0 ? static_cast<size_t>(nSize) : 0, '\0');
    snprintf(strText.data(), strText.size() + 1, pszFormat, strFirst.c_str(), strSecond.c_str());
    return strText;
}

}  // namespace

EDaemonProblem DaemonProblemFromErrno(int nErr) {
    switch (nErr) {
    case ENOENT:
    case ENOTDIR:
        return EDaemonProblem::NoSocket;
    case ECONNREFUSED:
        return EDaemonProblem::Refused;
    case EACCES:
    case EPERM:
        return EDaemonProblem::Permission;
    default:
        return EDaemonProblem::Unreachable;
    }
}

std::string DaemonProblemText(EDaemonProblem eProblem, const std::string& strAddress, const std::string& strDetail) {
    static const EStringId s_arIds[] = {IDS_DAEMON_NO_SOCKET, IDS_DAEMON_REFUSED,   IDS_DAEMON_PERMISSION,
                                        IDS_DAEMON_UNREACHABLE, IDS_DAEMON_NOT_CLAMD, IDS_DAEMON_SILENT,
                                        IDS_DAEMON_CANNOT_READ};
    return Format(s_arIds[static_cast<int>(eProblem)], strAddress, strDetail);
}

std::string DatabaseProblemText(const std::string& strFolder, const std::string& strReason, bool bFreshclam) {
    return Format(IDS_DATABASE_PROBLEM, strFolder, strReason) +
           LoadText(bFreshclam ? IDS_DATABASE_FIX_FRESHCLAM : IDS_DATABASE_FIX_INSTALL);
}

bool IsFreshclamInstalled() {
    return access("/usr/bin/freshclam", X_OK) == 0;
}
