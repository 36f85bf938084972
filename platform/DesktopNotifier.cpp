#include "platform/DesktopNotifier.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <vector>

#include "platform/DBusAgentNotifier.h"
#include "res/Strings.h"

extern char** environ;

namespace {

constexpr int REPORT_FD = 3;
// The process's own start-up comes on top of the sending's bound.
constexpr int START_MARGIN_MS = 3000;

const char* const NOTIFY_NAME = "org.freedesktop.Notifications";
const char* const NOTIFY_PATH = "/org/freedesktop/Notifications";

std::string OwnProgram() {
    char szPath[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", szPath, sizeof szPath - 1);
    return n > 0 ? std::string(szPath, static_cast<size_t>(n)) : std::string();
}

int64_t MonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Started on its own, with nothing of ours open: it outlives us.
pid_t SpawnDetached(const std::vector<std::string>& arArgs, int nReportFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int nFd = 0; nFd < 3; ++nFd)
        posix_spawn_file_actions_addopen(&actions, nFd, "/dev/null", nFd == 0 ? O_RDONLY : O_WRONLY, 0);
    if (nReportFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, nReportFd, REPORT_FD);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    sigset_t set;
    sigemptyset(&set);
    posix_spawnattr_setsigmask(&attr, &set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr, &set);
    std::vector<char*> arArgv;
    for (const std::string& str : arArgs)
        arArgv.push_back(const_cast<char*>(str.c_str()));
    arArgv.push_back(nullptr);
    pid_t nPid = -1;
    if (posix_spawnp(&nPid, arArgv[0], &actions, &attr, arArgv.data(), environ) != 0)
        nPid = -1;
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return nPid;
}

void Report(const std::string& strLine) {
    const std::string strOut = strLine + "\n";
    (void)!write(REPORT_FD, strOut.data(), strOut.size());
    close(REPORT_FD);
}

// Valid UTF-8 for the bus; escaped when the server reads markup.
std::string BusText(const std::string& str, bool bMarkup) {
    gchar* pszValid = g_utf8_make_valid(str.c_str(), static_cast<gssize>(str.size()));
    std::string strOut = pszValid;
    g_free(pszValid);
    if (bMarkup) {
        gchar* pszEscaped = g_markup_escape_text(strOut.c_str(), -1);
        strOut = pszEscaped;
        g_free(pszEscaped);
    }
    return strOut;
}

struct CWaiter {
    GMainLoop* pLoop = nullptr;
    guint32 nId = 0;
    std::vector<std::string> arAction;
};

void OnSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* pszSignal, GVariant* pParams,
              gpointer pData) {
    CWaiter* pWaiter = static_cast<CWaiter*>(pData);
    guint32 nId = 0;
    if (strcmp(pszSignal, "ActionInvoked") == 0 && g_variant_is_of_type(pParams, G_VARIANT_TYPE("(us)"))) {
        const gchar* pszKey = nullptr;
        g_variant_get(pParams, "(u&s)", &nId, &pszKey);
        if (nId != pWaiter->nId || strcmp(pszKey, "default") != 0)
            return;
        SpawnDetached(pWaiter->arAction, -1);
        g_main_loop_quit(pWaiter->pLoop);
    } else if (strcmp(pszSignal, "NotificationClosed") == 0 && g_variant_is_of_type(pParams, G_VARIANT_TYPE("(uu)"))) {
        guint32 nReason = 0;
        g_variant_get(pParams, "(uu)", &nId, &nReason);
        if (nId == pWaiter->nId)
            g_main_loop_quit(pWaiter->pLoop);
    }
}

void OnClosed(GDBusConnection*, gboolean, GError*, gpointer pData) {
    g_main_loop_quit(static_cast<CWaiter*>(pData)->pLoop);
}

gboolean OnWaitOver(gpointer pData) {
    g_main_loop_quit(static_cast<GMainLoop*>(pData));
    return G_SOURCE_REMOVE;
}

// A connection of our own to the session bus; null with *ppError set.
GDBusConnection* ConnectSessionBus(GError** ppError) {
    gchar* pszAddress = g_strdup(CDBusAgentNotifier::SessionBusAddress().c_str());
    GDBusConnection* pConn = g_dbus_connection_new_for_address_sync(
        pszAddress,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, ppError);
    g_free(pszAddress);
    if (pConn)
        g_dbus_connection_set_exit_on_close(pConn, FALSE);
    return pConn;
}

// The service's capabilities; a notification service may be started for
// this: it is what the desktop has one for.
GVariant* GetCapabilities(GDBusConnection* pConn, int nTimeoutMs, GError** ppError) {
    return g_dbus_connection_call_sync(pConn, NOTIFY_NAME, NOTIFY_PATH, NOTIFY_NAME, "GetCapabilities", nullptr,
                                       G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, nTimeoutMs, nullptr, ppError);
}

}  // namespace

CDesktopNotifier::CDesktopNotifier(int nTimeoutMs) : m_nTimeoutMs(nTimeoutMs) {
    m_strHelper = OwnProgram();
    const size_t nSlash = m_strHelper.rfind('/');
    const std::string strBeside = nSlash == std::string::npos ? std::string() : m_strHelper.substr(0, nSlash + 1) + "quillet";
    m_strOpen = !strBeside.empty() && access(strBeside.c_str(), X_OK) == 0 ? strBeside : "quillet";
}

ENotifyResult CDesktopNotifier::Send(const std::string& strSummary, const std::string& strBody,
                                     const std::string& strRecordId, std::string* pstrWhy) {
    return Send(strSummary, strBody, SNotifyAction{LoadText(IDS_NOTIFY_ACTION), {m_strOpen, "--history", strRecordId}},
                pstrWhy);
}

ENotifyResult CDesktopNotifier::Probe(std::string* pstrWhy) const {
    if (CDBusAgentNotifier::SessionBusAddress().empty()) {
        *pstrWhy = LoadText(IDS_NOTIFY_NO_BUS);
        return NOTIFY_NO_BUS;
    }
    GError* pError = nullptr;
    GDBusConnection* pConn = ConnectSessionBus(&pError);
    GVariant* pCaps = pConn ? GetCapabilities(pConn, m_nTimeoutMs, &pError) : nullptr;
    if (pCaps)
        g_variant_unref(pCaps);
    if (pConn) {
        g_dbus_connection_close_sync(pConn, nullptr, nullptr);
        g_object_unref(pConn);
    }
    if (pError) {
        *pstrWhy = pError->message;
        g_error_free(pError);
    }
    return pCaps ? NOTIFY_SENT : NOTIFY_FAILED;
}

ENotifyResult CDesktopNotifier::Send(const std::string& strSummary, const std::string& strBody,
                                     const SNotifyAction& action, std::string* pstrWhy) {
    m_nWaiterPid = -1;
    // No bus, no notification: said at once, never a bus started for it.
    if (CDBusAgentNotifier::SessionBusAddress().empty()) {
        *pstrWhy = LoadText(IDS_NOTIFY_NO_BUS);
        return NOTIFY_NO_BUS;
    }
    int arPipe[2];
    if (pipe2(arPipe, O_CLOEXEC) != 0) {
        *pstrWhy = strerror(errno);
        return NOTIFY_FAILED;
    }
    std::vector<std::string> arArgs = {m_strHelper,          NOTIFY_CHILD_OPTION,        strSummary,    strBody,
                                       std::to_string(m_nTimeoutMs), std::to_string(m_nWaitMs), action.strLabel};
    arArgs.insert(arArgs.end(), action.arArgv.begin(), action.arArgv.end());
    const pid_t nPid = SpawnDetached(arArgs, arPipe[1]);
    close(arPipe[1]);
    if (nPid < 0) {
        close(arPipe[0]);
        *pstrWhy = strerror(errno);
        return NOTIFY_FAILED;
    }
    std::string strReport;
    const int64_t nDeadline = MonotonicMs() + m_nTimeoutMs + START_MARGIN_MS;
    for (;;) {
        const int64_t nLeft = nDeadline - MonotonicMs();
        pollfd pfd{arPipe[0], POLLIN, 0};
        if (nLeft <= 0 || (poll(&pfd, 1, static_cast<int>(nLeft)) < 0 && errno != EINTR))
            break;
        char szBuf[512];
        const ssize_t n = read(arPipe[0], szBuf, sizeof szBuf);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            break;
        strReport.append(szBuf, static_cast<size_t>(n));
        if (strReport.find('\n') != std::string::npos)
            break;
    }
    close(arPipe[0]);
    if (strReport == "0\n") {
        m_nWaiterPid = nPid;
        return NOTIFY_SENT;
    }
    if (strReport.empty() || strReport.back() != '\n') {
        // It did not answer within the bound: it is not left behind.
        kill(nPid, SIGKILL);
        *pstrWhy = LoadText(IDS_NOTIFY_NO_ANSWER);
    } else {
        *pstrWhy = strReport.substr(strReport.find(' ') == std::string::npos ? 0 : strReport.find(' ') + 1);
        pstrWhy->pop_back();
    }
    waitpid(nPid, nullptr, 0);
    return NOTIFY_FAILED;
}

pid_t SpawnDetachedProgram(const std::vector<std::string>& arArgv) {
    return arArgv.empty() ? -1 : SpawnDetached(arArgv, -1);
}

int RunNotifyChild(int argc, char** argv) {
    if (argc < 6)
        return 64;
    const std::string strSummary = argv[1], strBody = argv[2];
    const int nTimeoutMs = atoi(argv[3]);
    const int nWaitMs = atoi(argv[4]);
    const std::string strLabel = argv[5];
    CWaiter waiter;
    waiter.arAction.assign(argv + 6, argv + argc);

    GError* pError = nullptr;
    auto fail = [&](GError* pErr) {
        Report(std::string("1 ") + (pErr ? pErr->message : "?"));
        if (pErr)
            g_error_free(pErr);
        return 1;
    };
    GDBusConnection* pConn = ConnectSessionBus(&pError);
    if (!pConn)
        return fail(pError);

    // Listening before sending: an action taken at once is not missed.
    GMainContext* pContext = g_main_context_default();
    waiter.pLoop = g_main_loop_new(pContext, FALSE);
    const guint nSub = g_dbus_connection_signal_subscribe(pConn, nullptr, NOTIFY_NAME, nullptr, NOTIFY_PATH, nullptr,
                                                          G_DBUS_SIGNAL_FLAGS_NONE, OnSignal, &waiter, nullptr);

    bool bActions = false, bMarkup = false;
    GVariant* pCaps = GetCapabilities(pConn, nTimeoutMs, &pError);
    if (!pCaps)
        return fail(pError);
    GVariantIter* pIter = nullptr;
    const gchar* pszCap = nullptr;
    g_variant_get(pCaps, "(as)", &pIter);
    while (g_variant_iter_next(pIter, "&s", &pszCap)) {
        bActions = bActions || strcmp(pszCap, "actions") == 0;
        bMarkup = bMarkup || strcmp(pszCap, "body-markup") == 0;
    }
    g_variant_iter_free(pIter);

    GVariantBuilder actions;
    g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
    if (!waiter.arAction.empty()) {
        g_variant_builder_add(&actions, "s", "default");
        g_variant_builder_add(&actions, "s", BusText(strLabel, false).c_str());
    }
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string("quillet"));
    GVariant* pReply = g_dbus_connection_call_sync(
        pConn, NOTIFY_NAME, NOTIFY_PATH, NOTIFY_NAME, "Notify",
        g_variant_new("(susssasa{sv}i)", "Quillet", 0u, "quillet", BusText(strSummary, false).c_str(),
                      BusText(strBody, bMarkup).c_str(), &actions, &hints, -1),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, nTimeoutMs, nullptr, &pError);
    g_variant_unref(pCaps);
    if (!pReply)
        return fail(pError);
    g_variant_get(pReply, "(u)", &waiter.nId);
    g_variant_unref(pReply);
    Report("0");

    if (bActions && nWaitMs > 0) {
        g_signal_connect(pConn, "closed", G_CALLBACK(OnClosed), &waiter);
        g_timeout_add(static_cast<guint>(nWaitMs), OnWaitOver, waiter.pLoop);
        g_main_loop_run(waiter.pLoop);
    }
    g_dbus_connection_signal_unsubscribe(pConn, nSub);
    g_dbus_connection_close_sync(pConn, nullptr, nullptr);
    g_object_unref(pConn);
    g_main_loop_unref(waiter.pLoop);
    return 0;
}
