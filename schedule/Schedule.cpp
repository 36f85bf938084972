#include "schedule/Schedule.h"

#include <stdio.h>
#include <string.h>

#include "res/Strings.h"
#include "scan/ScanTypes.h"
#include "base/Utf8.h"

namespace {

const char* const g_arDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char* const g_arDayNames[] = {"monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday"};
const char UNIT_PREFIX[] = "quillet-";
const char NAME_PREFIX[] = "scan-";

std::string Lower(std::string str) {
    for (char& c : str)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return str;
}

std::string TwoDigits(int n) {
    char sz[4];
    snprintf(sz, sizeof sz, "%02d", n);
    return sz;
}

std::string Calendar(const CScheduleWhen& when) {
    if (when.eEvery == EScheduleEvery::Hourly)
        return "hourly";
    std::string str = "*-*-* " + TwoDigits(when.nHour) + ":" + TwoDigits(when.nMinute) + ":00";
    if (when.eEvery == EScheduleEvery::Weekly)
        str = std::string(g_arDays[when.nDay]) + " " + str;
    return str;
}

bool ReadCalendar(const std::string& str, CScheduleWhen* pWhen) {
    if (str == "hourly") {
        *pWhen = CScheduleWhen{EScheduleEvery::Hourly, 0, 0, 0};
        return true;
    }
    CScheduleWhen when;
    std::string strRest = str;
    if (str.size() > 4 && str[3] == ' ') {
        for (int i = 0; i < 7; ++i)
            if (str.compare(0, 3, g_arDays[i]) == 0) {
                when.eEvery = EScheduleEvery::Weekly;
                when.nDay = i;
            }
        if (when.eEvery != EScheduleEvery::Weekly)
            return false;
        strRest = str.substr(4);
    }
    if (strRest.size() != 14 || strRest.compare(0, 6, "*-*-* ") != 0 || strRest.compare(11, 3, ":00") != 0)
        return false;
    if (!ParseScheduleClock(strRest.substr(6, 5), &when.nHour, &when.nMinute))
        return false;
    *pWhen = when;
    return true;
}

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
int HexValue(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

// The unit line's key=value pairs of one section, in order.
std::vector<std::pair<std::string, std::string>> SectionEntries(const std::string& strUnit, const std::string& strSection,
                                                                bool* pbContinued) {
    std::vector<std::pair<std::string, std::string>> arOut;
    std::string strCurrent;
    size_t nStart = 0;
    while (nStart < strUnit.size()) {
        size_t nEnd = strUnit.find('\n', nStart);
        if (nEnd == std::string::npos)
            nEnd = strUnit.size();
        std::string strLine = strUnit.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        while (!strLine.empty() && strchr(" \t\r", strLine.back()))
            strLine.pop_back();
        size_t nLead = strLine.find_first_not_of(" \t");
        if (nLead == std::string::npos || strLine[nLead] == '#' || strLine[nLead] == ';')
            continue;
        strLine.erase(0, nLead);
        // A continued line is never one of ours.
        if (strLine.back() == '\\')
            *pbContinued = true;
        if (strLine.front() == '[') {
            strCurrent = strLine;
            continue;
        }
        size_t nEq = strLine.find('=');
        if (strCurrent != "[" + strSection + "]" || nEq == std::string::npos)
            continue;
        std::string strKey = strLine.substr(0, nEq);
        while (!strKey.empty() && strchr(" \t", strKey.back()))
            strKey.pop_back();
        size_t nValue = strLine.find_first_not_of(" \t", nEq + 1);
        arOut.emplace_back(strKey, nValue == std::string::npos ? std::string() : strLine.substr(nValue));
    }
    return arOut;
}

// The one value of a key; false when it is missing or given more than once.
bool OneValue(const std::vector<std::pair<std::string, std::string>>& arEntries, const char* pszKey,
              std::string* pstrValue) {
    int nFound = 0;
    for (const auto& entry : arEntries)
        if (entry.first == pszKey) {
            *pstrValue = entry.second;
            ++nFound;
        }
    return nFound == 1;
}

}  // namespace

bool ParseScheduleClock(const std::string& str, int* pnHour, int* pnMinute) {
    if (str.size() != 5 || str[2] != ':')
        return false;
    for (size_t i : {0, 1, 3, 4})
        if (str[i] < '0' || str[i] > '9')
            return false;
    const int nHour = (str[0] - '0') * 10 + (str[1] - '0');
    const int nMinute = (str[3] - '0') * 10 + (str[4] - '0');
    if (nHour > 23 || nMinute > 59)
        return false;
    *pnHour = nHour;
    *pnMinute = nMinute;
    return true;
}

bool ParseScheduleDay(const std::string& str, int* pnDay) {
    const std::string strLower = Lower(str);
    for (int i = 0; i < 7; ++i)
        if (strLower == Lower(g_arDays[i]) || strLower == g_arDayNames[i]) {
            *pnDay = i;
            return true;
        }
    return false;
}

std::string ScheduleWhenText(const CScheduleWhen& when) {
    const std::string strClock = TwoDigits(when.nHour) + ":" + TwoDigits(when.nMinute);
    switch (when.eEvery) {
    case EScheduleEvery::Hourly:
        return "hourly";
    case EScheduleEvery::Weekly:
        return std::string("weekly ") + g_arDays[when.nDay] + " " + strClock;
    case EScheduleEvery::Daily:
        break;
    }
    return "daily " + strClock;
}

int ScanOptionValues(const std::string& strOption) {
    for (const char* psz : {"--no-subfolders", "--all-files", "--hidden", "--repair", "--quarantine", "--verbose"})
        if (strOption == psz)
            return 0;
    for (const char* psz : {"--engine", "--database", "--clamd", "--jobs"})
        if (strOption == psz)
            return 1;
    return -1;
}

std::string ScheduleName(int nNumber) { return NAME_PREFIX + std::to_string(nNumber); }

bool IsScheduleName(const std::string& str) {
    const size_t nPrefix = strlen(NAME_PREFIX);
    if (str.size() <= nPrefix || str.size() > nPrefix + 9 || str.compare(0, nPrefix, NAME_PREFIX) != 0 ||
        str[nPrefix] == '0')
        return false;
    return str.find_first_not_of("0123456789", nPrefix) == std::string::npos;
}

std::string ScheduleUnitBase(const std::string& strName) { return UNIT_PREFIX + strName; }

std::string ScheduleNameOfUnit(const std::string& strFileName) {
    for (const char* pszSuffix : {".service", ".timer"}) {
        const size_t nSuffix = strlen(pszSuffix), nPrefix = strlen(UNIT_PREFIX);
        if (strFileName.size() <= nPrefix + nSuffix || strFileName.compare(0, nPrefix, UNIT_PREFIX) != 0 ||
            strFileName.compare(strFileName.size() - nSuffix, nSuffix, pszSuffix) != 0)
            continue;
        const std::string strName = strFileName.substr(nPrefix, strFileName.size() - nPrefix - nSuffix);
        if (IsScheduleName(strName))
            return strName;
    }
    return std::string();
}

std::string QuoteExecWord(const std::string& str) {
    std::string strOut = "\"";
    for (size_t i = 0; i < str.size();) {
        const unsigned char c = static_cast<unsigned char>(str[i]);
        const CUtf8Char ch = DecodeUtf8(reinterpret_cast<const unsigned char*>(str.data()) + i, str.size() - i);
        if (c == '\\' || c == '"') {
            strOut += '\\';
            strOut += static_cast<char>(c);
        } else if (c == '%') {
            strOut += "%%";  // a specifier otherwise
        } else if (c == '$') {
            strOut += "$$";  // a variable otherwise
        } else if (c < 0x20 || c == 0x7F || !ch.bValid) {
            // Unit files are UTF-8 text: a control byte or a byte that
            // starts no whole character goes as an escape.
            char sz[5];
            snprintf(sz, sizeof sz, "\\x%02x", c);
            strOut += sz;
        } else {
            strOut.append(str, i, ch.nLen);
            i += ch.nLen;
            continue;
        }
        ++i;
    }
    return strOut + "\"";
}

EUnitMake MakeScheduleUnits(const CSchedule& schedule, const std::string& strScanProgram, std::string* pstrService,
                            std::string* pstrTimer, std::string* pstrWhat) {
    std::vector<std::string> arWords{strScanProgram, "--schedule", schedule.strName};
    for (size_t i = 0; i < schedule.arOptions.size(); ++i) {
        const int nValues = ScanOptionValues(schedule.arOptions[i]);
        if (nValues < 0 || i + nValues >= schedule.arOptions.size()) {
            *pstrWhat = schedule.arOptions[i];
            return EUnitMake::BadOption;
        }
        for (int k = 0; k <= nValues; ++k)
            arWords.push_back(schedule.arOptions[i + k]);
        i += nValues;
    }
    if (schedule.bAllDrives)
        arWords.push_back("--all-drives");
    if (!schedule.bAllDrives && schedule.arTargets.empty())
        return EUnitMake::NoTarget;
    arWords.push_back("--");
    for (const std::string& strTarget : schedule.arTargets) {
        if (strTarget.empty() || strTarget[0] != '/') {
            *pstrWhat = strTarget;
            return EUnitMake::NotAbsolute;
        }
        arWords.push_back(strTarget);
    }
    std::string strExec;
    for (const std::string& strWord : arWords) {
        if (strWord.find_first_of("\n\r", 0) != std::string::npos || strWord.find('\0') != std::string::npos) {
            *pstrWhat = strWord;
            return EUnitMake::LineBreak;
        }
        strExec += (strExec.empty() ? "" : " ") + QuoteExecWord(strWord);
    }
    const std::string strDescription = "Quillet scheduled scan " + schedule.strName;
    *pstrService = "# Written by quillet-schedule; quillet-schedule remove " + schedule.strName +
                   " removes it.\n[Unit]\nDescription=" + strDescription + "\n" +
                   (schedule.bOnAcPower ? "ConditionACPower=true\n" : "") +
                   "\n[Service]\nType=oneshot\nExecStart=" + strExec +
                   "\nNice=19\nIOSchedulingClass=idle\n";
    *pstrTimer = "# Written by quillet-schedule.\n[Unit]\nDescription=" + strDescription +
                 "\n\n[Timer]\nOnCalendar=" + Calendar(schedule.when) +
                 "\nPersistent=true\nRandomizedDelaySec=" + (schedule.when.eEvery == EScheduleEvery::Hourly ? "60" : "300") +
                 "\n\n[Install]\nWantedBy=timers.target\n";
    return EUnitMake::Ok;
}

bool SplitExecWords(const std::string& strValue, std::vector<std::string>* parWords) {
    std::vector<std::string> arWords;
    size_t i = 0;
    const size_t n = strValue.size();
    for (;;) {
        while (i < n && (strValue[i] == ' ' || strValue[i] == '\t'))
            ++i;
        if (i == n)
            break;
        std::string strWord;
        if (strValue[i] == '"') {
            for (++i;; ++i) {
                if (i == n)
                    return false;
                const char c = strValue[i];
                if (c == '"')
                    break;
                if (c != '\\') {
                    strWord += c;
                    continue;
                }
                if (++i == n)
                    return false;
                const char e = strValue[i];
                if (e == '\\' || e == '"' || e == '\'') {
                    strWord += e;
                } else if (e == 'n') {
                    strWord += '\n';
                } else if (e == 't') {
                    strWord += '\t';
                } else if (e == 'x' && i + 2 < n && IsHex(strValue[i + 1]) && IsHex(strValue[i + 2])) {
                    const int nByte = HexValue(strValue[i + 1]) * 16 + HexValue(strValue[i + 2]);
                    if (nByte == 0)
                        return false;
                    strWord += static_cast<char>(nByte);
                    i += 2;
                } else {
                    return false;
                }
            }
            ++i;
            // Words run together with what follows are not ours.
            if (i < n && strValue[i] != ' ' && strValue[i] != '\t')
                return false;
        } else {
            while (i < n && strValue[i] != ' ' && strValue[i] != '\t') {
                if (strchr("\"'\\;", strValue[i]))
                    return false;
                strWord += strValue[i++];
            }
        }
        // Then the specifiers and the variables, as systemd does after the
        // quotes: only their escaped forms are ours.
        std::string strPlain;
        for (size_t k = 0; k < strWord.size(); ++k) {
            const char c = strWord[k];
            if (c == '%' || c == '$') {
                if (k + 1 == strWord.size() || strWord[k + 1] != c)
                    return false;
                ++k;
            }
            strPlain += c;
        }
        arWords.push_back(std::move(strPlain));
    }
    *parWords = std::move(arWords);
    return true;
}

bool ReadScheduleUnits(const std::string& strName, const std::string& strService, const std::string& strTimer,
                       CSchedule* pSchedule, std::vector<std::string>* parArgv, std::string* pstrWhy) {
    CSchedule schedule;
    schedule.strName = strName;
    bool bContinued = false;
    const auto arService = SectionEntries(strService, "Service", &bContinued);
    const auto arUnit = SectionEntries(strService, "Unit", &bContinued);
    const auto arTimer = SectionEntries(strTimer, "Timer", &bContinued);
    std::string strExec, strCalendar, strAc;
    std::vector<std::string> arWords;
    if (bContinued || !OneValue(arService, "ExecStart", &strExec) || !SplitExecWords(strExec, &arWords) ||
        arWords.size() < 4 || arWords[0].empty() || arWords[0][0] != '/' || arWords[1] != "--schedule" ||
        arWords[2] != strName) {
        *pstrWhy = LoadText(IDS_SCHEDULE_BAD_EXEC);
        return false;
    }
    size_t i = 3;
    for (; i < arWords.size() && arWords[i] != "--"; ++i) {
        if (arWords[i] == "--all-drives") {
            schedule.bAllDrives = true;
            continue;
        }
        const int nValues = ScanOptionValues(arWords[i]);
        if (nValues < 0 || i + nValues >= arWords.size()) {
            *pstrWhy = LoadText(IDS_SCHEDULE_BAD_EXEC);
            return false;
        }
        for (int k = 0; k <= nValues; ++k)
            schedule.arOptions.push_back(arWords[i + k]);
        i += nValues;
    }
    if (i == arWords.size()) {
        *pstrWhy = LoadText(IDS_SCHEDULE_BAD_EXEC);
        return false;
    }
    schedule.arTargets.assign(arWords.begin() + static_cast<std::ptrdiff_t>(i) + 1, arWords.end());
    if (!OneValue(arTimer, "OnCalendar", &strCalendar) || !ReadCalendar(strCalendar, &schedule.when)) {
        *pstrWhy = LoadText(IDS_SCHEDULE_BAD_CALENDAR);
        return false;
    }
    schedule.bOnAcPower = OneValue(arUnit, "ConditionACPower", &strAc) && strAc == "true";
    *pSchedule = std::move(schedule);
    *parArgv = std::move(arWords);
    return true;
}

bool ScheduleFromRequest(const SCANREQUEST& req, CSchedule* pSchedule, std::string* pstrTarget) {
    CSchedule schedule;
    for (const CScanTarget& target : req.arTargets) {
        if (target.bAllDrives) {
            schedule.bAllDrives = true;
        } else if (!target.strPath.empty() && target.strPath[0] == '/') {
            schedule.arTargets.push_back(target.strPath);
        } else {
            *pstrTarget = target.strPath;
            return false;
        }
    }
    if (!req.bSubfolders)
        schedule.arOptions.push_back("--no-subfolders");
    if (req.bAllFiles)
        schedule.arOptions.push_back("--all-files");
    if (req.bHidden)
        schedule.arOptions.push_back("--hidden");
    if (req.bAutoRepair)
        schedule.arOptions.push_back("--repair");
    if (req.bQuarantine)
        schedule.arOptions.push_back("--quarantine");
    *pSchedule = std::move(schedule);
    return true;
}
