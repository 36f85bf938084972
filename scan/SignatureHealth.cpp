#include "scan/SignatureHealth.h"

#include <stdio.h>
#include <string.h>
#include <time.h>

#include <algorithm>

#include "base/EscapeField.h"
#include "res/Strings.h"

namespace {

constexpr char HEADER_MAGIC[] = "ClamAV-VDB:";
constexpr size_t MAX_GARBAGE_SHOWN = 80;

std::string Lower(std::string str) {
    for (char& c : str)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return str;
}

bool IsDigits(const std::string& str) {
    return !str.empty() && std::all_of(str.begin(), str.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Decimal digits only, no overflow.
bool ReadNumber(const std::string& str, unsigned long long nMax, unsigned long long* pnValue) {
    if (!IsDigits(str) || str.size() > 19)
        return false;
    unsigned long long n = 0;
    for (char c : str)
        n = n * 10 + static_cast<unsigned>(c - '0');
    if (n > nMax)
        return false;
    *pnValue = n;
    return true;
}

std::string Trim(const std::string& str) {
    const size_t nStart = str.find_first_not_of(' ');
    if (nStart == std::string::npos)
        return std::string();
    return str.substr(nStart, str.find_last_not_of(' ') - nStart + 1);
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

int MonthOf(const std::string& strName) {
    static const char* const s_arMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                             "jul", "aug", "sep", "oct", "nov", "dec"};
    const std::string strLower = Lower(strName);
    for (int i = 0; i < 12; ++i)
        if (strLower == s_arMonths[i])
            return i + 1;
    return 0;
}

// Blank-separated words.
std::vector<std::string> Words(const std::string& str) {
    std::vector<std::string> arWords;
    size_t nPos = 0;
    while ((nPos = str.find_first_not_of(' ', nPos)) != std::string::npos) {
        const size_t nEnd = str.find(' ', nPos);
        arWords.push_back(str.substr(nPos, nEnd == std::string::npos ? std::string::npos : nEnd - nPos));
        nPos = nEnd;
    }
    return arWords;
}

bool ReadClock(const std::string& str, char cSep, bool bSeconds, unsigned* pnHour, unsigned* pnMin,
               unsigned* pnSec) {
    const size_t nLen = bSeconds ? 8 : 5;
    if (str.size() != nLen || str[2] != cSep || (bSeconds && str[5] != ':'))
        return false;
    unsigned long long h = 0, m = 0, s = 0;
    if (!ReadNumber(str.substr(0, 2), 23, &h) || !ReadNumber(str.substr(3, 2), 59, &m) ||
        (bSeconds && !ReadNumber(str.substr(6, 2), 60, &s)))
        return false;
    *pnHour = static_cast<unsigned>(h);
    *pnMin = static_cast<unsigned>(m);
    *pnSec = static_cast<unsigned>(s);
    return true;
}

bool ReadDate(const std::string& strDay, const std::string& strMonth, const std::string& strYear, int* pnYear,
              unsigned* pnMonth, unsigned* pnDay) {
    unsigned long long d = 0, y = 0;
    const int nMonth = MonthOf(strMonth);
    if (!nMonth || !ReadNumber(strDay, 31, &d) || d == 0 || strYear.size() != 4 || !ReadNumber(strYear, 9999, &y))
        return false;
    *pnYear = static_cast<int>(y);
    *pnMonth = static_cast<unsigned>(nMonth);
    *pnDay = static_cast<unsigned>(d);
    return true;
}

// "02 Jan 2020 03-04 +0000", as the header's second field has it.
bool ParseHeaderTime(const std::string& strText, int64_t* pnTime) {
    const std::vector<std::string> arWords = Words(strText);
    if (arWords.size() < 4 || arWords.size() > 5)
        return false;
    int nYear = 0;
    unsigned nMonth = 0, nDay = 0, nHour = 0, nMin = 0, nSec = 0;
    if (!ReadDate(arWords[0], arWords[1], arWords[2], &nYear, &nMonth, &nDay) ||
        !(ReadClock(arWords[3], '-', false, &nHour, &nMin, &nSec) ||
          ReadClock(arWords[3], ':', false, &nHour, &nMin, &nSec)))
        return false;
    int64_t nOffset = 0;
    if (arWords.size() == 5) {
        const std::string& strZone = arWords[4];
        unsigned long long h = 0, m = 0;
        if (strZone.size() != 5 || (strZone[0] != '+' && strZone[0] != '-') ||
            !ReadNumber(strZone.substr(1, 2), 23, &h) || !ReadNumber(strZone.substr(3, 2), 59, &m))
            return false;
        nOffset = static_cast<int64_t>(h * 3600 + m * 60) * (strZone[0] == '-' ? -1 : 1);
    }
    *pnTime = DaysFromCivil(nYear, nMonth, nDay) * 86400 + nHour * 3600 + nMin * 60 - nOffset;
    return true;
}

std::string Format(EStringId eId, const char* psz1 = "", const char* psz2 = "", const char* psz3 = "",
                   const char* psz4 = "") {
    char szLine[2048];
    snprintf(szLine, sizeof szLine, LoadText(eId), psz1, psz2, psz3, psz4);
    return szLine;
}

const char* HeaderProblem(EHeaderResult eResult) {
    switch (eResult) {
    case HEADER_TRUNCATED: return LoadText(IDS_SIG_HEADER_TRUNCATED);
    case HEADER_NOT_ONE: return LoadText(IDS_SIG_HEADER_NOT_ONE);
    case HEADER_DAMAGED: return LoadText(IDS_SIG_HEADER_DAMAGED);
    case HEADER_OK: break;
    }
    return "";
}

bool IsReadable(const SDATABASEFILE& file) {
    return file.strProblem.empty() && (file.eKind != DATABASE_CONTAINER || file.eHeader == HEADER_OK);
}

// The line of a database that could not be read; "" when it could.
std::string ProblemLine(const SDATABASEFILE& file) {
    if (IsReadable(file))
        return std::string();
    const std::string strName = EscapeField(file.strName);
    return Format(IDS_SIG_UNREADABLE, strName.c_str(),
                  file.strProblem.empty() ? HeaderProblem(file.eHeader) : file.strProblem.c_str());
}

std::string DaemonProblemLine(const SSIGNATUREHEALTH& health) {
    const std::string strAddress = EscapeField(health.strDaemon);
    if (!health.bDaemonAnswered)
        return Format(IDS_SIG_DAEMON_NO_ANSWER, strAddress.c_str(), health.strDaemonProblem.c_str());
    std::string strLine = health.strDaemonLine.substr(0, MAX_GARBAGE_SHOWN);
    return Format(IDS_SIG_DAEMON_GARBAGE, strAddress.c_str(), EscapeField(strLine).c_str());
}

}  // namespace

EDatabaseKind DatabaseKindOf(const std::string& strName) {
    const size_t nDot = strName.rfind('.');
    if (nDot == std::string::npos || nDot == 0)
        return DATABASE_NONE;
    const std::string strExt = Lower(strName.substr(nDot + 1));
    static const char* const s_arContainers[] = {"cvd", "cld", "cud"};
    static const char* const s_arLocal[] = {"hdb", "hdu", "hsb", "hsu", "mdb", "mdu", "msb", "msu", "ndb",
                                            "ndu", "ldb", "ldu", "idb", "cdb", "crb", "pdb", "gdb", "wdb",
                                            "yar", "yara", "cbc", "imp", "pwdb"};
    static const char* const s_arLists[] = {"fp", "sfp", "ign", "ign2", "ftm", "cfg", "info", "cat"};
    for (const char* psz : s_arContainers)
        if (strExt == psz)
            return DATABASE_CONTAINER;
    for (const char* psz : s_arLocal)
        if (strExt == psz)
            return DATABASE_LOCAL;
    for (const char* psz : s_arLists)
        if (strExt == psz)
            return DATABASE_LIST;
    return DATABASE_NONE;
}

EHeaderResult ParseDatabaseHeader(const unsigned char* pData, size_t nSize, SDATABASEHEADER* pHeader) {
    *pHeader = SDATABASEHEADER();
    const size_t nMagic = sizeof HEADER_MAGIC - 1;
    if (nSize > 0 && memcmp(pData, HEADER_MAGIC, std::min(nSize, nMagic)) != 0)
        return HEADER_NOT_ONE;
    if (nSize < DATABASE_HEADER_SIZE)
        return HEADER_TRUNCATED;
    // The text ends at the padding (or at a NUL some writers leave).
    std::string strText(reinterpret_cast<const char*>(pData), DATABASE_HEADER_SIZE);
    strText = strText.substr(0, strText.find('\0'));
    std::vector<std::string> arFields;
    size_t nPos = 0;
    for (;;) {
        const size_t nColon = strText.find(':', nPos);
        arFields.push_back(Trim(strText.substr(nPos, nColon == std::string::npos ? std::string::npos : nColon - nPos)));
        if (nColon == std::string::npos)
            break;
        nPos = nColon + 1;
    }
    unsigned long long nVersion = 0, nSignatures = 0;
    if (arFields.size() < 4 || !ReadNumber(arFields[2], 0xFFFFFFFFull, &nVersion) ||
        !ReadNumber(arFields[3], 0xFFFFFFFFull, &nSignatures))
        return HEADER_DAMAGED;
    pHeader->nVersion = static_cast<unsigned long>(nVersion);
    pHeader->nSignatures = static_cast<unsigned long>(nSignatures);
    // The seconds field is exact; older headers have only the text.
    unsigned long long nSeconds = 0;
    if (arFields.size() > 8 && ReadNumber(arFields[8], 0xFFFFFFFFFFull, &nSeconds) && nSeconds > 0) {
        pHeader->bDated = true;
        pHeader->nBuildTime = static_cast<int64_t>(nSeconds);
    } else {
        pHeader->bDated = ParseHeaderTime(arFields[1], &pHeader->nBuildTime);
    }
    return HEADER_OK;
}

bool ParseDaemonVersion(const std::string& strLine, std::string* pstrEngine, unsigned long* pnVersion,
                        bool* pbDated, int64_t* pnBuildTime) {
    static const char s_szPrefix[] = "ClamAV ";
    if (strLine.compare(0, sizeof s_szPrefix - 1, s_szPrefix) != 0)
        return false;
    const std::string strRest = strLine.substr(sizeof s_szPrefix - 1);
    const size_t nSlash = strRest.find('/');
    const std::string strEngine = strRest.substr(0, nSlash);
    if (strEngine.empty() || strEngine[0] < '0' || strEngine[0] > '9' ||
        strEngine.find_first_of(" \t") != std::string::npos)
        return false;
    *pstrEngine = strEngine;
    *pnVersion = 0;
    *pbDated = false;
    *pnBuildTime = 0;
    if (nSlash == std::string::npos)
        return true;
    const size_t nSlash2 = strRest.find('/', nSlash + 1);
    unsigned long long nVersion = 0;
    if (nSlash2 == std::string::npos ||
        !ReadNumber(strRest.substr(nSlash + 1, nSlash2 - nSlash - 1), 0xFFFFFFFFull, &nVersion))
        return false;
    *pnVersion = static_cast<unsigned long>(nVersion);
    // "Tue Dec  5 08:24:01 2026", the daemon's local time.
    const std::vector<std::string> arWords = Words(strRest.substr(nSlash2 + 1));
    int nYear = 0;
    unsigned nMonth = 0, nDay = 0, nHour = 0, nMin = 0, nSec = 0;
    if (arWords.size() != 5 || !ReadDate(arWords[2], arWords[1], arWords[4], &nYear, &nMonth, &nDay) ||
        !ReadClock(arWords[3], ':', true, &nHour, &nMin, &nSec))
        return false;
    struct tm tmLocal = {};
    tmLocal.tm_year = nYear - 1900;
    tmLocal.tm_mon = static_cast<int>(nMonth) - 1;
    tmLocal.tm_mday = static_cast<int>(nDay);
    tmLocal.tm_hour = static_cast<int>(nHour);
    tmLocal.tm_min = static_cast<int>(nMin);
    tmLocal.tm_sec = static_cast<int>(nSec);
    tmLocal.tm_isdst = -1;
    const time_t nTime = mktime(&tmLocal);
    if (nTime == static_cast<time_t>(-1))
        return false;
    *pbDated = true;
    *pnBuildTime = static_cast<int64_t>(nTime);
    return true;
}

std::string FormatBuildTime(int64_t nTime) {
    const time_t t = static_cast<time_t>(nTime);
    struct tm tmUtc = {};
    char szText[64];
    if (!gmtime_r(&t, &tmUtc) || strftime(szText, sizeof szText, "%Y-%m-%d %H:%M UTC", &tmUtc) == 0)
        return "?";
    return szText;
}

std::vector<std::string> DescribeSignatures(const SSIGNATUREHEALTH& health) {
    std::vector<std::string> arLines;
    if (!health.bChecked)
        return arLines;
    if (!health.strDaemon.empty()) {
        std::string strEngine;
        unsigned long nVersion = 0;
        bool bDated = false;
        int64_t nTime = 0;
        const std::string strAddress = EscapeField(health.strDaemon);
        if (!health.bDaemonAnswered ||
            !ParseDaemonVersion(health.strDaemonLine, &strEngine, &nVersion, &bDated, &nTime))
            arLines.push_back(DaemonProblemLine(health));
        else if (nVersion == 0)
            arLines.push_back(Format(IDS_SIG_DAEMON_UNSIGNED, strAddress.c_str(), strEngine.c_str()));
        else
            arLines.push_back(Format(IDS_SIG_DAEMON, strAddress.c_str(), strEngine.c_str(),
                                     std::to_string(nVersion).c_str(),
                                     bDated ? FormatBuildTime(nTime).c_str() : LoadText(IDS_SIG_NO_DATE)));
        return arLines;
    }
    const std::string strFolder = EscapeField(health.strFolder);
    if (!health.strFolderProblem.empty()) {
        arLines.push_back(Format(IDS_SIG_FOLDER_UNREADABLE, strFolder.c_str(), health.strFolderProblem.c_str()));
        return arLines;
    }
    bool bAny = false;
    for (const SDATABASEFILE& file : health.arFiles) {
        if (file.eKind == DATABASE_LIST || file.eKind == DATABASE_NONE)
            continue;
        bAny = true;
        const std::string strName = EscapeField(file.strName);
        if (!IsReadable(file))
            arLines.push_back(ProblemLine(file));
        else if (file.eKind == DATABASE_LOCAL)
            arLines.push_back(Format(IDS_SIG_LOCAL, strName.c_str()));
        else
            arLines.push_back(Format(IDS_SIG_CONTAINER, strName.c_str(), std::to_string(file.header.nVersion).c_str(),
                                     file.header.bDated ? FormatBuildTime(file.header.nBuildTime).c_str()
                                                        : LoadText(IDS_SIG_NO_DATE),
                                     std::to_string(file.header.nSignatures).c_str()));
    }
    if (!bAny)
        arLines.push_back(Format(IDS_SIG_NONE, strFolder.c_str()));
    return arLines;
}

std::vector<std::string> SignatureWarnings(const SSIGNATUREHEALTH& health, int64_t nNow) {
    std::vector<std::string> arLines;
    if (!health.bChecked)
        return arLines;
    // The dated databases: the newest decides the age.
    struct SDated {
        std::string strName;
        int64_t nTime;
    };
    std::vector<SDated> arDated;
    bool bUpdaterMatters = false;
    if (!health.strDaemon.empty()) {
        std::string strEngine;
        unsigned long nVersion = 0;
        bool bDated = false;
        int64_t nTime = 0;
        if (!health.bDaemonAnswered ||
            !ParseDaemonVersion(health.strDaemonLine, &strEngine, &nVersion, &bDated, &nTime)) {
            arLines.push_back(DaemonProblemLine(health));
            return arLines;
        }
        if (bDated)
            arDated.push_back({Format(IDS_SIG_DAEMON_NAME, EscapeField(health.strDaemon).c_str()), nTime});
    } else {
        const std::string strFolder = EscapeField(health.strFolder);
        if (!health.strFolderProblem.empty()) {
            arLines.push_back(
                Format(IDS_SIG_FOLDER_UNREADABLE, strFolder.c_str(), health.strFolderProblem.c_str()));
            return arLines;
        }
        bool bSignatures = false, bLists = false, bContainers = false;
        for (const SDATABASEFILE& file : health.arFiles) {
            if (file.eKind == DATABASE_LIST)
                bLists = true;
            if (file.eKind != DATABASE_CONTAINER && file.eKind != DATABASE_LOCAL)
                continue;
            bSignatures = true;
            if (!IsReadable(file)) {
                arLines.push_back(ProblemLine(file));
                bUpdaterMatters = true;
                continue;
            }
            if (file.eKind == DATABASE_CONTAINER) {
                bContainers = true;
                if (file.header.bDated)
                    arDated.push_back({EscapeField(file.strName), file.header.nBuildTime});
            }
        }
        if (!bSignatures) {
            arLines.push_back(Format(bLists ? IDS_SIG_ONLY_LISTS : IDS_SIG_NONE, strFolder.c_str()));
            bUpdaterMatters = true;
        } else if (bContainers && arDated.empty()) {
            arLines.push_back(LoadText(IDS_SIG_UNDATED));
            bUpdaterMatters = true;
        }
    }
    // A date ahead of the clock says nothing of the age: the clock or the
    // database is wrong, and that is what is said.
    int64_t nNewest = INT64_MIN;
    for (const SDated& dated : arDated) {
        if (dated.nTime > nNow + DATABASE_FUTURE_SLACK_SECONDS)
            arLines.push_back(Format(IDS_SIG_FUTURE, dated.strName.c_str(), FormatBuildTime(dated.nTime).c_str()));
        else
            nNewest = std::max(nNewest, dated.nTime);
    }
    if (nNewest != INT64_MIN && nNow - nNewest > DATABASE_STALE_SECONDS) {
        arLines.push_back(Format(IDS_SIG_STALE, std::to_string((nNow - nNewest) / 86400).c_str(),
                                 FormatBuildTime(nNewest).c_str()));
        bUpdaterMatters = true;
    }
    if (!bUpdaterMatters)
        return arLines;
    switch (health.eUpdater) {
    case UPDATER_STOPPED:
        arLines.push_back(Format(IDS_SIG_UPDATER_STOPPED,
                                 LoadText(health.bSystemd ? IDS_SIG_START_SYSTEMD : IDS_SIG_START_SERVICE)));
        break;
    case UPDATER_MISSING:
        arLines.push_back(LoadText(IDS_SIG_UPDATER_MISSING));
        break;
    case UPDATER_ACTIVE:
        arLines.push_back(
            Format(IDS_SIG_UPDATER_STALLED, LoadText(health.bSystemd ? IDS_SIG_LOG_SYSTEMD : IDS_SIG_LOG_FILE)));
        break;
    case UPDATER_UNKNOWN:
        break;
    }
    return arLines;
}
