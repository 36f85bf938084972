// One desktop notification through org.freedesktop.Notifications on the
// session bus, whose default action starts a program the caller names (at
// the end of a scan: Quillet's history at the scan's record).
// The server tells only the connection that sent a notification of its
// action, so the sending is done by a small detached process of our own
// (this program started anew with NOTIFY_CHILD_OPTION): it reports whether
// the notification went out, then stays on the bus until the action, the
// notification's closing or a time limit, whichever comes first.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

enum ENotifyResult {
    NOTIFY_SENT = 0,
    NOTIFY_NO_BUS = 1,    // no session bus to send it on
    NOTIFY_FAILED = 2,    // no notification service, or it refused or did not answer
};

// The first argument that makes a program serve one notification (see
// RunNotifyChild); a program that sends notifications checks for it first.
constexpr const char* NOTIFY_CHILD_OPTION = "--notify-child";

// The notification's default action: its label and the program it starts,
// argv[0] first, each word as it is (no shell reads them).
struct SNotifyAction {
    std::string strLabel;
    std::vector<std::string> arArgv;
};

class CDesktopNotifier {
public:
    // nTimeoutMs bounds connecting and sending; the caller waits no longer
    // (plus a little for the process to start).
    explicit CDesktopNotifier(int nTimeoutMs = 10000);

    // Sends the notification; *pstrWhy says why not otherwise.
    ENotifyResult Send(const std::string& strSummary, const std::string& strBody, const SNotifyAction& action,
                       std::string* pstrWhy);
    // At the end of a scan: the action opens the history at its record.
    ENotifyResult Send(const std::string& strSummary, const std::string& strBody, const std::string& strRecordId,
                       std::string* pstrWhy);

    // Asks the notification service whether it is there, as Send would
    // reach it, without showing anything.
    ENotifyResult Probe(std::string* pstrWhy) const;

    // The program started with NOTIFY_CHILD_OPTION (default: this one's own
    // file) and quillet, which the history's action starts with --history ID
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

// Starts a program on its own (a session of its own, nothing of ours
// open, signals as new), not waited for; -1 when it cannot be started.
pid_t SpawnDetachedProgram(const std::vector<std::string>& arArgv);

// The detached sender: argv[0] is NOTIFY_CHILD_OPTION, then the summary,
// the body, the send timeout and the wait in milliseconds, the action's
// label and the action's argv. Reports "0" or "1 REASON" on descriptor 3.
int RunNotifyChild(int argc, char** argv);
