// Event records for the agent: one registry value per result row when the
// scan results dialog closes, then a notice with the row count. The record
// layout and the registry names are the agent's contract, byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "scan/ScanInterfaces.h"

struct CLocalTime {
    int nYear, nMonth, nDay, nHour, nMinute, nSecond;
};

enum EHive { HIVE_CURRENT_USER, HIVE_LOCAL_MACHINE };

// Keys are written with backslashes, as the agent names them.
class IRegistry {
public:
    virtual ~IRegistry() = default;
    // Reads at most nMax bytes of a value; false when the key or value is missing.
    virtual bool QueryValue(EHive eHive, const std::string& strKey, const std::string& strName, size_t nMax,
                            std::string* pstrData) = 0;
    // Creates the key when missing; false on any failure.
    virtual bool SetValue(EHive eHive, const std::string& strKey, const std::string& strName,
                          const std::string& strData) = 0;
};

class IAgentNotifier {
public:
    virtual ~IAgentNotifier() = default;
    // Sends the notice when the agent is there; nothing, silently, when not.
    virtual void Notify(const std::string& strAgent, uint32_t nMessage, uint32_t nWParam, int32_t nLParam) = 0;
};

class IClock {
public:
    virtual ~IClock() = default;
    virtual CLocalTime Now() = 0;
};

constexpr const char* g_szAgentInfoKey = "Software\\Kestrum\\Pelmora\\Info";
constexpr const char* g_szAgentClassValue = "AGENT_WinClass";
constexpr const char* g_szEventLogKey = "Software\\Kestrum\\Pelmora\\Client\\EventLog";
constexpr const char* g_szEventProgramName = "Quillet.exe";
constexpr uint32_t WM_AGENT_EVENTLOG = 0x0BD0;  // WM_USER + 2000

// The agent's class name must fit the buffer the agent's own tools assume.
constexpr size_t AGENT_CLASS_MAX = 128;

// What the record was designed to hold; longer texts are cut to these.
constexpr size_t EVENT_VERSION_MAX = 10;
constexpr size_t EVENT_VIRUS_MAX = 40;
constexpr size_t EVENT_PATH_MAX = 260;
constexpr size_t EVENT_RECORD_MAX = 696;

// One record: fixed fields, the version text, "Quillet.exe", the state, the
// virus name and the path, each text counted and cut to its design length.
// A state outside 0 to 12 is written as 0.
std::string BuildEventRecord(const CLocalTime& t, const std::string& strVersion, int nState,
                             const std::string& strVirus, const std::string& strPath);

// "%07d" of the row index.
std::string EventValueName(int nIndex);

class CEventLog {
public:
    CEventLog(IRegistry& registry, IAgentNotifier& notifier, IClock& clock);

    // True when the agent has registered its class name; it is then kept
    // in m_strAgentClass. A value that does not fit AGENT_CLASS_MAX bytes
    // names no agent.
    bool ReadAgentClass();
    // One record per row in list order, each with its row's state, then
    // the notice when there is a row.
    void WriteEventLog(const IResultList& rows, const std::string& strEngineVer);
    void WriteEventRecord(int nIndex, const std::string& strPath, const std::string& strVirus, int nState,
                          const std::string& strEngineVer);
    // What closing the scan results dialog does: records and notice only
    // when an agent is registered. True when one was.
    bool WriteIfAgent(const IResultList& rows, const std::string& strEngineVer);

    const std::string& GetAgentClass() const { return m_strAgentClass; }

private:
    IRegistry& m_registry;
    IAgentNotifier& m_notifier;
    IClock& m_clock;
    std::string m_strAgentClass;
};
