// A private session bus for one test, and a test agent on it that owns a
// name and records the WindowMessage calls it gets.
#pragma once

#include <fcntl.h>
#include <gio/gio.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

// dbus-daemon --session on its own, its address put in
// DBUS_SESSION_BUS_ADDRESS for as long as it lives; with strConfig, that
// configuration file instead of the session's (which may start services).
class CPrivateBus {
public:
    explicit CPrivateBus(const std::string& strConfig = std::string()) {
        const char* pszOld = getenv("DBUS_SESSION_BUS_ADDRESS");
        m_bHadOld = pszOld != nullptr;
        m_strOld = pszOld ? pszOld : "";
        int arPipe[2];
        if (pipe(arPipe) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, arPipe[1], 1);
        // Its complaints about fd limits and the like are not the test's.
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addclose(&actions, arPipe[0]);
        posix_spawn_file_actions_addclose(&actions, arPipe[1]);
        char szName[] = "dbus-daemon";
        char szSession[] = "--session";
        char szNoFork[] = "--nofork";
        char szPrint[] = "--print-address";
        std::string strConfigOption = "--config-file=" + strConfig;
        char* arArgs[] = {szName, strConfig.empty() ? szSession : strConfigOption.data(), szNoFork, szPrint, nullptr};
        if (posix_spawnp(&m_nPid, "dbus-daemon", &actions, nullptr, arArgs, environ) != 0)
            m_nPid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(arPipe[1]);
        // The address is the first line the daemon prints once it listens.
        std::string strOut;
        pollfd pfd{arPipe[0], POLLIN, 0};
        while (m_nPid > 0 && strOut.find('\n') == std::string::npos && poll(&pfd, 1, 10000) > 0) {
            char szBuf[256];
            ssize_t n = read(arPipe[0], szBuf, sizeof szBuf);
            if (n <= 0)
                break;
            strOut.append(szBuf, static_cast<size_t>(n));
        }
        close(arPipe[0]);
        if (strOut.find('\n') != std::string::npos) {
            m_strAddress = strOut.substr(0, strOut.find('\n'));
            setenv("DBUS_SESSION_BUS_ADDRESS", m_strAddress.c_str(), 1);
        }
    }
    ~CPrivateBus() {
        if (m_nPid > 0) {
            kill(m_nPid, SIGTERM);
            waitpid(m_nPid, nullptr, 0);
        }
        if (m_bHadOld)
            setenv("DBUS_SESSION_BUS_ADDRESS", m_strOld.c_str(), 1);
        else
            unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    CPrivateBus(const CPrivateBus&) = delete;
    CPrivateBus& operator=(const CPrivateBus&) = delete;

    const std::string& Address() const { return m_strAddress; }

private:
    pid_t m_nPid = -1;
    std::string m_strAddress;
    bool m_bHadOld = false;
    std::string m_strOld;
};

// Serves com.kestrum.Pelmora.Agent on its own thread and main context.
// With bAnswer false it takes the calls and never replies.
class CTestAgent {
public:
    struct SCall {
        uint32_t nMessage;
        uint32_t nWParam;
        int32_t nLParam;
    };

    CTestAgent(const std::string& strAddress, const std::string& strName, bool bAnswer = true)
        : m_strAddress(strAddress), m_strName(strName), m_bAnswer(bAnswer) {
        m_pContext = g_main_context_new();
        m_pLoop = g_main_loop_new(m_pContext, FALSE);
        m_thread = std::thread([this] { Run(); });
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait(lock, [this] { return m_bSetUp; });
    }
    ~CTestAgent() {
        GSource* pQuit = g_idle_source_new();
        g_source_set_callback(
            pQuit, [](gpointer p) { g_main_loop_quit(static_cast<GMainLoop*>(p)); return G_SOURCE_REMOVE; }, m_pLoop,
            nullptr);
        g_source_attach(pQuit, m_pContext);
        g_source_unref(pQuit);
        m_thread.join();
        g_main_loop_unref(m_pLoop);
        g_main_context_unref(m_pContext);
    }
    CTestAgent(const CTestAgent&) = delete;
    CTestAgent& operator=(const CTestAgent&) = delete;

    // True when the agent owns its name.
    bool Owns() const { return m_bOwner; }
    std::vector<SCall> Calls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_arCalls;
    }

private:
    void Run() {
        g_main_context_push_thread_default(m_pContext);
        GDBusConnection* pConn = g_dbus_connection_new_for_address_sync(
            m_strAddress.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        guint nObject = 0;
        GDBusNodeInfo* pNode = g_dbus_node_info_new_for_xml(
            "<node><interface name='com.kestrum.Pelmora.Agent'><method name='WindowMessage'>"
            "<arg type='u' direction='in'/><arg type='u' direction='in'/><arg type='i' direction='in'/>"
            "</method></interface></node>",
            nullptr);
        bool bOwner = false;
        if (pConn && pNode) {
            static const GDBusInterfaceVTable vtable = {OnMethodCall, nullptr, nullptr, {}};
            nObject = g_dbus_connection_register_object(pConn, "/com/kestrum/Pelmora/Agent", pNode->interfaces[0],
                                                        &vtable, this, nullptr, nullptr);
            GVariant* pReply = g_dbus_connection_call_sync(
                pConn, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
                g_variant_new("(su)", m_strName.c_str(), 4u /* DO_NOT_QUEUE */), G_VARIANT_TYPE("(u)"),
                G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
            if (pReply) {
                guint32 nResult = 0;
                g_variant_get(pReply, "(u)", &nResult);
                bOwner = nResult == 1;  // PRIMARY_OWNER
                g_variant_unref(pReply);
            }
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bOwner = bOwner;
            m_bSetUp = true;
        }
        m_cv.notify_all();

        g_main_loop_run(m_pLoop);

        for (GDBusMethodInvocation* pInvocation : m_arHeld)
            g_dbus_method_invocation_return_dbus_error(pInvocation, "com.kestrum.Test.Gone", "agent stopped");
        if (nObject)
            g_dbus_connection_unregister_object(pConn, nObject);
        if (pNode)
            g_dbus_node_info_unref(pNode);
        if (pConn) {
            g_dbus_connection_close_sync(pConn, nullptr, nullptr);
            g_object_unref(pConn);
        }
        while (g_main_context_iteration(m_pContext, FALSE)) {
        }
        g_main_context_pop_thread_default(m_pContext);
    }

    static void OnMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                             GVariant* pParams, GDBusMethodInvocation* pInvocation, gpointer pData) {
        CTestAgent* pThis = static_cast<CTestAgent*>(pData);
        SCall call{};
        g_variant_get(pParams, "(uui)", &call.nMessage, &call.nWParam, &call.nLParam);
        {
            std::lock_guard<std::mutex> lock(pThis->m_mutex);
            pThis->m_arCalls.push_back(call);
        }
        if (pThis->m_bAnswer)
            g_dbus_method_invocation_return_value(pInvocation, nullptr);
        else
            pThis->m_arHeld.push_back(pInvocation);
    }

    std::string m_strAddress;
    std::string m_strName;
    bool m_bAnswer;
    GMainContext* m_pContext = nullptr;
    GMainLoop* m_pLoop = nullptr;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bSetUp = false;
    bool m_bOwner = false;
    std::vector<SCall> m_arCalls;
    std::vector<GDBusMethodInvocation*> m_arHeld;  // agent thread only
};
