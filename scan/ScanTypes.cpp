#include "scan/ScanTypes.h"

#include <cstdio>
#include <cstring>

#include "res/Strings.h"
#include "scan/ScanInterfaces.h"

const char* const g_szScanExtensions = "EXECOMDLLDOCXLSDOTXLTXLMXLLXLWXLAOCXSCR";
const char* const g_szAlwaysBackupExtensions = "DOCXLSDOTXLTXLMXLLXLWXLA";

std::string GetStateText(EResultState eState, bool bSource) {
    const auto Load = [bSource](EStringId eId) { return bSource ? LoadSourceText(eId) : LoadText(eId); };
    // The engine reports 0 to 12; "Quarantined" is never written by a report.
    if (eState >= STATE_REPAIRABLE && eState <= STATE_AFTER_DECRYPTION)
        return Load(static_cast<EStringId>(IDS_STATE_FIRST + static_cast<int>(eState)));
    switch (eState) {
    case STATE_QUARANTINE_DONE:
        return Load(IDS_STATE_QUARANTINED);
    case STATE_QUARANTINE_NO_COPY:
        return Load(IDS_STATE_QUARANTINE_NO_COPY);
    case STATE_QUARANTINE_CHANGED:
        return Load(IDS_STATE_QUARANTINE_CHANGED);
    case STATE_QUARANTINE_READ_ONLY:
        return Load(IDS_STATE_QUARANTINE_READ_ONLY);
    case STATE_ALLOWED:
        return Load(IDS_STATE_ALLOWED);
    default:
        break;
    }
    char szText[32];
    std::snprintf(szText, sizeof szText, Load(IDS_STATE_UNKNOWN), static_cast<int>(eState));
    return szText;
}

std::string SkipReasonText(ESkipReason eReason, const std::string& strDetail) {
    const char* pszText = LoadText(static_cast<EStringId>(IDS_SKIP_UNREADABLE + eReason));
    if (eReason != SKIP_ENGINE_PARTIAL)
        return pszText;
    std::string strText = pszText;
    const size_t nAt = strText.find("%s");
    if (nAt != std::string::npos)
        strText.replace(nAt, 2, strDetail);
    return strText;
}

bool GetExtension(const std::string& strPath, char szExt[3]) {
    // Searched back to the first character inclusive, like the original rule.
    size_t nDot = strPath.rfind('.');
    if (nDot == std::string::npos)
        return false;
    for (size_t i = 0; i < 3; ++i) {
        size_t nPos = nDot + 1 + i;
        char ch = nPos < strPath.size() ? strPath[nPos] : '\0';
        if (ch >= 'a' && ch <= 'z')
            ch = static_cast<char>(ch - 'a' + 'A');
        szExt[i] = ch;
    }
    return true;
}

bool ExtensionInList(const char szExt[3], const char* pszList) {
    for (const char* p = pszList; p[0] && p[1] && p[2]; p += 3) {
        if (std::memcmp(p, szExt, 3) == 0)
            return true;
    }
    return false;
}

bool IsStillInfected(EResultState eState) {
    switch (eState) {
    case STATE_OK:
    case STATE_REPAIRED:
    case STATE_DELETED:
    case STATE_QUARANTINED:
    case STATE_QUARANTINE_DONE:
    case STATE_ALLOWED:
        return false;
    default:
        return true;
    }
}
