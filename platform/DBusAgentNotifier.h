// The agent notice over the session bus. The agent's class name is its
// well-known bus name: finding its window means the name has an owner, and
// the notice is a call of WindowMessage on that owner.
#pragma once

#include "scan/EventLog.h"

constexpr const char* g_szAgentInterface = "com.kestrum.Pelmora.Agent";
constexpr const char* g_szAgentObjectPath = "/com/kestrum/Pelmora/Agent";
constexpr const char* g_szAgentMethod = "WindowMessage";

class CDBusAgentNotifier : public IAgentNotifier {
public:
    // nTimeoutMs bounds the whole notice, connection included; below 0 it
    // is the D-Bus default of 25 seconds.
    explicit CDBusAgentNotifier(int nTimeoutMs = -1);

    // Waits for the agent's reply, as the window message does, but never
    // longer than the timeout. No bus, no owner or an invalid name: nothing.
    void Notify(const std::string& strAgent, uint32_t nMessage, uint32_t nWParam, int32_t nLParam) override;

    // The session bus address, "" when there is none. Never starts a bus.
    static std::string SessionBusAddress();

private:
    int m_nTimeoutMs;
};
