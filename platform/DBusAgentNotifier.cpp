#include "platform/DBusAgentNotifier.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <cstdlib>

namespace {

constexpr int DBUS_DEFAULT_TIMEOUT_MS = 25000;

// One asynchronous step run on our own context. A cancelled step completes
// too, so waiting for it always ends.
struct CStep {
    GAsyncResult* pResult = nullptr;
    CStep() = default;
    CStep(const CStep&) = delete;
    CStep& operator=(const CStep&) = delete;
    ~CStep() {
        if (pResult)
            g_object_unref(pResult);
    }
    static void OnReady(GObject*, GAsyncResult* pResult, gpointer pData) {
        static_cast<CStep*>(pData)->pResult = G_ASYNC_RESULT(g_object_ref(pResult));
    }
    void Await(GMainContext* pContext) {
        while (!pResult)
            g_main_context_iteration(pContext, TRUE);
    }
};

gboolean OnDeadline(gpointer pData) {
    g_cancellable_cancel(G_CANCELLABLE(pData));
    return G_SOURCE_REMOVE;
}

// nullptr on any failure; the caller owns the reply.
GVariant* Call(GDBusConnection* pConn, GMainContext* pContext, GCancellable* pCancel, const char* pszDest,
               const char* pszPath, const char* pszInterface, const char* pszMethod, GVariant* pArgs,
               const GVariantType* pReplyType, int nTimeoutMs) {
    CStep step;
    // Never wake a service for this: an agent that is not running is not
    // there, as a window that does not exist.
    g_dbus_connection_call(pConn, pszDest, pszPath, pszInterface, pszMethod, pArgs, pReplyType,
                           G_DBUS_CALL_FLAGS_NO_AUTO_START, nTimeoutMs, pCancel, CStep::OnReady, &step);
    step.Await(pContext);
    return g_dbus_connection_call_finish(pConn, step.pResult, nullptr);
}

void NotifyOnBus(const std::string& strAddress, const std::string& strAgent, uint32_t nMessage, uint32_t nWParam,
                 int32_t nLParam, int nTimeoutMs, GMainContext* pContext, GCancellable* pCancel) {
    // A private connection: the shared one would end the process when the
    // bus goes away, and would keep the address of the first call.
    CStep connect;
    g_dbus_connection_new_for_address(
        strAddress.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, pCancel, CStep::OnReady, &connect);
    connect.Await(pContext);
    GDBusConnection* pConn = g_dbus_connection_new_for_address_finish(connect.pResult, nullptr);
    if (!pConn)
        return;

    // The owner's unique name is the window handle: the notice goes to the
    // program found, even if the name changes hands meanwhile.
    GVariant* pOwner = Call(pConn, pContext, pCancel, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                            "org.freedesktop.DBus", "GetNameOwner", g_variant_new("(s)", strAgent.c_str()),
                            G_VARIANT_TYPE("(s)"), nTimeoutMs);
    if (pOwner) {
        const char* pszOwner = nullptr;
        g_variant_get(pOwner, "(&s)", &pszOwner);
        GVariant* pReply = Call(pConn, pContext, pCancel, pszOwner, g_szAgentObjectPath, g_szAgentInterface,
                                g_szAgentMethod, g_variant_new("(uui)", nMessage, nWParam, nLParam), nullptr,
                                nTimeoutMs);
        if (pReply)
            g_variant_unref(pReply);
        g_variant_unref(pOwner);
    }
    g_dbus_connection_close(pConn, nullptr, nullptr, nullptr);
    g_object_unref(pConn);
}

}  // namespace

CDBusAgentNotifier::CDBusAgentNotifier(int nTimeoutMs) : m_nTimeoutMs(nTimeoutMs) {}

std::string CDBusAgentNotifier::SessionBusAddress() {
    const char* pszAddress = getenv("DBUS_SESSION_BUS_ADDRESS");
    if (pszAddress && *pszAddress)
        return pszAddress;
    // The per-user bus of systemd-style sessions. No autolaunch: starting a
    // bus only to find no agent on it helps nobody.
    const char* pszRuntime = getenv("XDG_RUNTIME_DIR");
    if (!pszRuntime || pszRuntime[0] != '/')
        return std::string();
    std::string strPath = std::string(pszRuntime) + "/bus";
    struct stat st;
    if (stat(strPath.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode))
        return std::string();
    gchar* pszEscaped = g_dbus_address_escape_value(strPath.c_str());
    std::string strAddress = std::string("unix:path=") + pszEscaped;
    g_free(pszEscaped);
    return strAddress;
}

void CDBusAgentNotifier::Notify(const std::string& strAgent, uint32_t nMessage, uint32_t nWParam,
                                int32_t nLParam) {
    if (strAgent.find('\0') != std::string::npos || !g_dbus_is_name(strAgent.c_str()))
        return;
    std::string strAddress = SessionBusAddress();
    if (strAddress.empty())
        return;
    int nTimeoutMs = m_nTimeoutMs < 0 ? DBUS_DEFAULT_TIMEOUT_MS : m_nTimeoutMs;

    // Our own context, so no other source of the program runs while we
    // wait, and one deadline for connecting, finding and calling.
    GMainContext* pContext = g_main_context_new();
    g_main_context_push_thread_default(pContext);
    GCancellable* pCancel = g_cancellable_new();
    GSource* pDeadline = g_timeout_source_new(static_cast<guint>(nTimeoutMs));
    g_source_set_callback(pDeadline, OnDeadline, pCancel, nullptr);
    g_source_attach(pDeadline, pContext);

    NotifyOnBus(strAddress, strAgent, nMessage, nWParam, nLParam, nTimeoutMs, pContext, pCancel);

    g_source_destroy(pDeadline);
    g_source_unref(pDeadline);
    while (g_main_context_iteration(pContext, FALSE)) {
    }
    g_object_unref(pCancel);
    g_main_context_pop_thread_default(pContext);
    g_main_context_unref(pContext);
}
