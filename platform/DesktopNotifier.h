// One desktop notification through org.freedesktop.Notifications on the
// session bus, whose default action opens Quillet's history at a record.
// The server tells only the connection that sent a notification of its
// action, so the sending is done by a small detached process of our own
// (this program started anew with NOTIFY_CHILD_OPTION): it reports whether
// the notification went out, then stays on the bus until the action, the
// notification's closing or a time limit, whichever comes first.
#pragma once

#include <sys/types.h>

#include <string>

enum ENotifyResult {
    NOTIFY_SENT = 0,
    NOTIFY_NO_BUS = 1,    // no session bus to send it on
    NOTIFY_FAILED = 2,    // no notification service, or it refused or did not answer
};

// The first argument that makes a program serve one notification (see
// RunNotifyChild); a program that sends notifications checks for it first.
constexpr const char* NOTIFY_CHILD_OPTION = "--notify-child";

class CDesktopNotifier {
public:
    // nTimeoutMs bounds connecting and sending; the caller waits no longer
    // (plus a little for the process to start).
    explicit CDesktopNotifier(int nTimeoutMs = 10000);

    // Sends the notification; *pstrWhy says why not otherwise.
    ENotifyResult Send(const std::string& strSummary, const std::string& strBody, const std::string& strRecordId,
                       std::string* pstrWhy);

    // The program started with NOTIFY_CHILD_OPTION (default: this one's own
    // file) and the one the default action starts with --history ID
    // (default: quillet beside this program, else quillet on the PATH).
    std::string m_strHelper;
    std::string m_strOpen;
    // How long the sender waits for the action after sending.
    int m_nWaitMs = 30 * 60 * 1000;
    // The sender still waiting after a successful Send, else -1.
    pid_t m_nWaiterPid = -1;

private:
    int m_nTimeoutMs;
};

// The detached sender: argv[0] is NOTIFY_CHILD_OPTION, then the summary,
// the body, the record's id, the program to open, the send timeout and the
// wait, in milliseconds. Reports "0" or "1 REASON" on descriptor 3.
int RunNotifyChild(int argc, char** argv);
