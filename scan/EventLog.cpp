#include "scan/EventLog.h"

#include <cstdio>

#include "scan/ScanTypes.h"

namespace {

// Length of the sequence a lead byte opens; 0 for a byte that opens none.
size_t Utf8SequenceLength(unsigned char ch) {
    if (ch >= 0xC2 && ch <= 0xDF)
        return 2;
    if (ch >= 0xE0 && ch <= 0xEF)
        return 3;
    if (ch >= 0xF0 && ch <= 0xF4)
        return 4;
    return 0;
}

bool IsContinuation(unsigned char ch) {
    return (ch & 0xC0) == 0x80;
}

void PutU16(std::string& strOut, uint32_t nValue) {
    strOut.push_back(static_cast<char>(nValue & 0xFF));
    strOut.push_back(static_cast<char>((nValue >> 8) & 0xFF));
}

void PutCounted(std::string& strOut, const std::string& strText) {
    PutU16(strOut, static_cast<uint32_t>(strText.size()));
    strOut += strText;
}

}  // namespace

int StateIndexFromText(const std::string& strStatus) {
    const std::vector<std::string>& arTexts = GetStateTexts();
    for (int i = 0; i <= STATE_AFTER_DECRYPTION; ++i) {
        if (arTexts[i] == strStatus)
            return i;
    }
    return STATE_REPAIRABLE;
}

std::string CutUtf8(const std::string& strText, size_t nMax) {
    if (strText.size() <= nMax)
        return strText;
    // Step back over continuation bytes to the lead byte the cut falls
    // behind; when its sequence is whole and reaches past the cut, the cut
    // moves to before it. Anything else is a boundary already.
    size_t nCut = nMax;
    for (size_t k = 1; k <= 3 && k <= nMax; ++k) {
        unsigned char ch = static_cast<unsigned char>(strText[nMax - k]);
        if (IsContinuation(ch))
            continue;
        size_t nLen = Utf8SequenceLength(ch);
        if (nLen > k && nMax - k + nLen <= strText.size()) {
            bool bWhole = true;
            for (size_t j = 1; j < nLen; ++j)
                bWhole = bWhole && IsContinuation(static_cast<unsigned char>(strText[nMax - k + j]));
            if (bWhole)
                nCut = nMax - k;
        }
        break;
    }
    return strText.substr(0, nCut);
}

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
        WriteEventRecord(i, rows.GetItemText(i, RESULT_COL_PATH), rows.GetItemText(i, RESULT_COL_VIRUS),
                         StateIndexFromText(rows.GetItemText(i, RESULT_COL_STATUS)), strEngineVer);
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
