#include "scan/EventLog.h"

#include <cstdio>

#include "base/Utf8.h"
#include "scan/ScanTypes.h"

namespace {

void PutU16(std::string& strOut, uint32_t nValue) {
    strOut.push_back(static_cast<char>(nValue & 0xFF));
    strOut.push_back(static_cast<char>((nValue >> 8) & 0xFF));
}

void PutCounted(std::string& strOut, const std::string& strText) {
    PutU16(strOut, static_cast<uint32_t>(strText.size()));
    strOut += strText;
}

}  // namespace

std::string BuildEventRecord(const CLocalTime& t, const std::string& strVersion, int nState,
                             const std::string& strVirus, const std::string& strPath) {
    if (nState < 0 || nState > STATE_AFTER_DECRYPTION)
        nState = STATE_REPAIRABLE;
    std::string strRecord;
    strRecord.reserve(EVENT_RECORD_MAX);
    PutU16(strRecord, 1);
    PutU16(strRecord, static_cast<uint32_t>(t.nYear));
    PutU16(strRecord, static_cast<uint32_t>(t.nMonth));
    PutU16(strRecord, static_cast<uint32_t>(t.nDay));
    PutU16(strRecord, static_cast<uint32_t>(t.nHour));
    PutU16(strRecord, static_cast<uint32_t>(t.nMinute));
    PutU16(strRecord, static_cast<uint32_t>(t.nSecond));
    PutCounted(strRecord, CutUtf8(strVersion, EVENT_VERSION_MAX));
    PutCounted(strRecord, g_szEventProgramName);
    PutU16(strRecord, 0);
    PutU16(strRecord, static_cast<uint32_t>(nState));
    PutU16(strRecord, 1);
    PutU16(strRecord, 0);
    PutCounted(strRecord, CutUtf8(strVirus, EVENT_VIRUS_MAX));
    PutCounted(strRecord, CutUtf8(strPath, EVENT_PATH_MAX));
    return strRecord;
}

std::string EventValueName(int nIndex) {
    char szName[16];
    std::snprintf(szName, sizeof szName, "%07d", nIndex);
    return szName;
}

CEventLog::CEventLog(IRegistry& registry, IAgentNotifier& notifier, IClock& clock)
    : m_registry(registry), m_notifier(notifier), m_clock(clock) {}

bool CEventLog::ReadAgentClass() {
    // One byte more than the buffer, to tell a value that fits from one
    // that does not: a name cut short would reach some other program.
    m_strAgentClass.clear();
    std::string strData;
    if (!m_registry.QueryValue(HIVE_LOCAL_MACHINE, g_szAgentInfoKey, g_szAgentClassValue, AGENT_CLASS_MAX + 1,
                               &strData))
        return false;
    if (strData.size() > AGENT_CLASS_MAX)
        return false;
    std::string strClass = strData.substr(0, strData.find('\0'));
    // A value saved by a text editor ends in a line end.
    while (!strClass.empty() && (strClass.back() == '\n' || strClass.back() == '\r' || strClass.back() == ' ' ||
                                 strClass.back() == '\t'))
        strClass.pop_back();
    if (strClass.empty())
        return false;
    m_strAgentClass = strClass;
    return true;
}

void CEventLog::WriteEventLog(const IResultList& rows, const std::string& strEngineVer) {
    int nCount = rows.GetItemCount();
    for (int i = 0; i < nCount; ++i) {
        WriteEventRecord(i, rows.GetPath(i), rows.GetVirusName(i), rows.GetState(i), strEngineVer);
    }
    if (nCount > 0)
        m_notifier.Notify(m_strAgentClass, WM_AGENT_EVENTLOG, 0, nCount);
}

void CEventLog::WriteEventRecord(int nIndex, const std::string& strPath, const std::string& strVirus, int nState,
                                 const std::string& strEngineVer) {
    if (nIndex < 0)
        return;
    std::string strRecord = BuildEventRecord(m_clock.Now(), strEngineVer, nState, strVirus, strPath);
    m_registry.SetValue(HIVE_CURRENT_USER, g_szEventLogKey, EventValueName(nIndex), strRecord);
}

bool CEventLog::WriteIfAgent(const IResultList& rows, const std::string& strEngineVer) {
    if (!ReadAgentClass())
        return false;
    WriteEventLog(rows, strEngineVer);
    return true;
}
