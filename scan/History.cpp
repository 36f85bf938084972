#include "scan/History.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <charconv>
#include <map>

#include "base/Fnv1a.h"
#include "res/Strings.h"
#include "scan/AllowList.h"
#include "base/EscapeField.h"

namespace {

constexpr std::string_view HEADER = "quillet-history 1\n";
constexpr std::string_view TRAILER = "end-record ";
// Lines a notification shows before "and N more".
constexpr size_t NOTICE_LINES = 5;

std::string Fmt(const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    va_list args2;
    va_copy(args2, args);
    const int n = vsnprintf(nullptr, 0, pszFormat, args);
    va_end(args);
    std::string str(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0)
        vsnprintf(str.data(), str.size() + 1, pszFormat, args2);
    va_end(args2);
    return str;
}

std::string Unescape(std::string_view str) {
    std::string strOut;
    // A checksummed record holds only what Format escaped.
    UnescapeField(str, &strOut);
    return strOut;
}

template <typename T>
T Number(std::string_view str) {
    T n = 0;
    std::from_chars(str.data(), str.data() + str.size(), n);
    return n;
}

void Line(std::string* pstr, std::string_view strKey, std::string_view strValue) {
    *pstr += strKey;
    *pstr += ' ';
    *pstr += EscapeField(strValue);
    *pstr += '\n';
}

const char* RoadKey(EHistoryRoad eRoad) {
    switch (eRoad) {
    case HISTORY_ROAD_WINDOW: return "window";
    case HISTORY_ROAD_SCHEDULE: return "schedule";
    default: return "command";
    }
}

// Fields of one record's lines; unknown keys are some later version's.
SHISTORYRECORD ParseFields(std::string_view strText) {
    SHISTORYRECORD rec;
    size_t nPos = 0;
    while (nPos < strText.size()) {
        size_t nEnd = strText.find('\n', nPos);
        if (nEnd == std::string_view::npos)
            nEnd = strText.size();
        const std::string_view strLine = strText.substr(nPos, nEnd - nPos);
        nPos = nEnd + 1;
        const size_t nBlank = strLine.find(' ');
        const std::string_view strKey = strLine.substr(0, nBlank);
        const std::string strValue =
            nBlank == std::string_view::npos ? std::string() : Unescape(strLine.substr(nBlank + 1));
        if (strKey == "id") {
            rec.strId = strValue;
        } else if (strKey == "start") {
            rec.nStart = Number<int64_t>(strValue);
        } else if (strKey == "end") {
            rec.nEnd = Number<int64_t>(strValue);
        } else if (strKey == "road") {
            rec.eRoad = strValue == "window"     ? HISTORY_ROAD_WINDOW
                        : strValue == "schedule" ? HISTORY_ROAD_SCHEDULE
                                                 : HISTORY_ROAD_COMMAND;
        } else if (strKey == "schedule") {
            rec.strSchedule = strValue;
        } else if (strKey == "target") {
            rec.arTargets.push_back(strValue);
        } else if (strKey == "engine") {
            rec.strEngine = strValue;
        } else if (strKey == "version") {
            rec.strEngineVersion = strValue;
        } else if (strKey == "scanned") {
            rec.nScanned = Number<int>(strValue);
        } else if (strKey == "file") {
            rec.arFindings.push_back(SHISTORYFINDING{strValue, STATE_REPAIRABLE, std::string()});
        } else if (strKey == "state" && !rec.arFindings.empty()) {
            rec.arFindings.back().eState = static_cast<EResultState>(Number<int>(strValue));
        } else if (strKey == "virus" && !rec.arFindings.empty()) {
            rec.arFindings.back().strVirus = strValue;
        } else if (strKey == "action") {
            const size_t nSep = strValue.find(' ');
            if (nSep != std::string::npos)
                rec.arActions.emplace_back(static_cast<EResultState>(Number<int>(strValue.substr(0, nSep))),
                                           Number<int>(std::string_view(strValue).substr(nSep + 1)));
        } else if (strKey == "backups") {
            rec.nBackups = Number<int>(strValue);
        } else if (strKey == "exit") {
            rec.nExit = Number<int>(strValue);
        } else if (strKey == "error") {
            rec.arErrors.push_back(strValue);
        } else if (strKey == "omitted-findings") {
            rec.nOmittedFindings = Number<int>(strValue);
        } else if (strKey == "omitted-errors") {
            rec.nOmittedErrors = Number<int>(strValue);
        }
    }
    return rec;
}

std::string DoneText(const SHISTORYRECORD& rec) {
    std::string strDone;
    auto add = [&](const std::string& strWhat, int nCount) {
        if (!strDone.empty())
            strDone += ", ";
        strDone += Fmt(LoadText(IDS_HISTORY_DONE_ITEM), strWhat.c_str(), nCount);
    };
    for (const auto& [eState, nCount] : rec.arActions)
        add(GetStateText(eState), nCount);
    if (rec.nBackups > 0)
        add(LoadText(IDS_HISTORY_BACKED_UP), rec.nBackups);
    return strDone;
}

int Infected(const SHISTORYRECORD& rec) {
    return static_cast<int>(rec.arFindings.size()) + rec.nOmittedFindings;
}

}  // namespace

std::string CScanHistory::MakeId(int64_t nStart, long nPid) {
    return Fmt("%lld-%ld", static_cast<long long>(nStart), nPid);
}

std::string CScanHistory::Format(const SHISTORYRECORD& rec) {
    std::string str(HEADER);
    Line(&str, "id", rec.strId);
    Line(&str, "start", std::to_string(rec.nStart));
    Line(&str, "end", std::to_string(rec.nEnd));
    Line(&str, "road", RoadKey(rec.eRoad));
    if (rec.eRoad == HISTORY_ROAD_SCHEDULE)
        Line(&str, "schedule", rec.strSchedule);
    for (const std::string& strTarget : rec.arTargets)
        Line(&str, "target", strTarget);
    Line(&str, "engine", rec.strEngine);
    Line(&str, "version", rec.strEngineVersion);
    Line(&str, "scanned", std::to_string(rec.nScanned));
    for (const auto& [eState, nCount] : rec.arActions)
        Line(&str, "action", std::to_string(static_cast<int>(eState)) + " " + std::to_string(nCount));
    Line(&str, "backups", std::to_string(rec.nBackups));
    Line(&str, "exit", std::to_string(rec.nExit));
    // Findings and errors as far as the record's bound allows; the rest is
    // counted, so a scan of a million broken files still leaves a record
    // every reader can take in.
    int nOmittedFindings = rec.nOmittedFindings, nOmittedErrors = rec.nOmittedErrors;
    const size_t nRoom = HISTORY_MAX_RECORD_BYTES - 256;
    for (const SHISTORYFINDING& finding : rec.arFindings) {
        std::string strLines;
        Line(&strLines, "file", finding.strPath);
        Line(&strLines, "state", std::to_string(static_cast<int>(finding.eState)));
        Line(&strLines, "virus", finding.strVirus);
        // Findings leave a quarter of the room to the errors.
        if (str.size() + strLines.size() > nRoom / 4 * 3) {
            ++nOmittedFindings;
            continue;
        }
        str += strLines;
    }
    for (const std::string& strError : rec.arErrors) {
        std::string strLine;
        Line(&strLine, "error", strError);
        if (str.size() + strLine.size() > nRoom) {
            ++nOmittedErrors;
            continue;
        }
        str += strLine;
    }
    if (nOmittedFindings)
        Line(&str, "omitted-findings", std::to_string(nOmittedFindings));
    if (nOmittedErrors)
        Line(&str, "omitted-errors", std::to_string(nOmittedErrors));
    str += Fmt("%.*s%zu %016llx\n", static_cast<int>(TRAILER.size()), TRAILER.data(), str.size(),
               static_cast<unsigned long long>(Fnv1a64(str)));
    return str;
}

std::vector<SHISTORYSPAN> CScanHistory::Parse(std::string_view strText) {
    std::vector<SHISTORYSPAN> arSpans;
    size_t nLine = 0;
    while (nLine < strText.size()) {
        const size_t nEnd = strText.find('\n', nLine);
        if (nEnd == std::string_view::npos)
            break;  // a last line not ended is a torn write
        const std::string_view strLine = strText.substr(nLine, nEnd - nLine);
        const size_t nTrailer = nLine;
        nLine = nEnd + 1;
        if (strLine.substr(0, TRAILER.size()) != TRAILER)
            continue;
        // "end-record LENGTH CHECKSUM": the LENGTH bytes before this line
        // are the record, starting with its header.
        const std::string_view strRest = strLine.substr(TRAILER.size());
        const size_t nBlank = strRest.find(' ');
        if (nBlank == std::string_view::npos)
            continue;
        uint64_t nLength = 0, nSum = 0;
        const auto [pLenEnd, ecLen] = std::from_chars(strRest.data(), strRest.data() + nBlank, nLength);
        const auto [pSumEnd, ecSum] =
            std::from_chars(strRest.data() + nBlank + 1, strRest.data() + strRest.size(), nSum, 16);
        if (ecLen != std::errc() || pLenEnd != strRest.data() + nBlank || ecSum != std::errc() ||
            pSumEnd != strRest.data() + strRest.size() || nLength > nTrailer || nLength < HEADER.size())
            continue;
        const size_t nStart = nTrailer - static_cast<size_t>(nLength);
        const std::string_view strRecord = strText.substr(nStart, static_cast<size_t>(nLength));
        if (strRecord.substr(0, HEADER.size()) != HEADER || Fnv1a64(strRecord) != nSum)
            continue;
        // Overlapping an earlier whole record cannot happen in a file we
        // wrote; the later one is taken as it stands.
        arSpans.push_back(SHISTORYSPAN{nStart, nLine - nStart, ParseFields(strRecord.substr(HEADER.size()))});
    }
    return arSpans;
}

std::vector<size_t> CScanHistory::ChooseKept(const std::vector<SHISTORYSPAN>& arSpans, uint64_t nFileBytes,
                                             int64_t nNow, const SHISTORYPRUNE& limits) {
    std::vector<size_t> arKept;
    if (arSpans.empty())
        return arKept;
    const bool bBySize = nFileBytes > limits.nMaxBytes;
    uint64_t nBytes = 0;
    // From the newest, by file position: a clock set back leaves later
    // records with earlier times, and they are still the newest.
    for (size_t i = arSpans.size(); i-- > 0;) {
        const SHISTORYSPAN& span = arSpans[i];
        const bool bCurrent = i + 1 == arSpans.size();
        if (!bCurrent) {
            if (bBySize && nBytes + span.nSize > limits.nMaxBytes / 2)
                break;
            // Older than the bound by its own clock; a time after now (the
            // clock went back since) is no age at all.
            if (span.rec.nEnd < nNow && nNow - span.rec.nEnd > limits.nMaxAgeSeconds)
                continue;
        }
        nBytes += span.nSize;
        arKept.push_back(i);
    }
    std::reverse(arKept.begin(), arKept.end());
    return arKept;
}

void CScanHistory::CountActions(SHISTORYRECORD* pRec) {
    std::map<int, int> mapCounts;
    for (const SHISTORYFINDING& finding : pRec->arFindings) {
        switch (finding.eState) {
        case STATE_REPAIRED:
        case STATE_DELETED:
        case STATE_FAIL_TO_REPAIR:
        case STATE_QUARANTINE_DONE:
        case STATE_QUARANTINE_NO_COPY:
        case STATE_QUARANTINE_CHANGED:
        case STATE_QUARANTINE_READ_ONLY:
        case STATE_ALLOWED:
            ++mapCounts[finding.eState];
            break;
        default:
            break;
        }
    }
    pRec->arActions.clear();
    for (const auto& [nState, nCount] : mapCounts)
        pRec->arActions.emplace_back(static_cast<EResultState>(nState), nCount);
}

std::string CScanHistory::LocalTime(int64_t nTime) {
    const time_t t = static_cast<time_t>(nTime);
    struct tm tmLocal {};
    char sz[32] = "";
    if (localtime_r(&t, &tmLocal))
        strftime(sz, sizeof sz, "%Y-%m-%d %H:%M:%S", &tmLocal);
    return sz;
}

std::string CScanHistory::RoadText(const SHISTORYRECORD& rec) {
    switch (rec.eRoad) {
    case HISTORY_ROAD_WINDOW: return LoadText(IDS_ROAD_WINDOW);
    case HISTORY_ROAD_SCHEDULE: return Fmt(LoadText(IDS_ROAD_SCHEDULE), EscapeField(rec.strSchedule).c_str());
    default: return LoadText(IDS_ROAD_COMMAND);
    }
}

std::string CScanHistory::Describe(const SHISTORYRECORD& rec) {
    std::string str = Fmt(LoadText(IDS_HISTORY_HEAD), EscapeField(rec.strId).c_str(), RoadText(rec).c_str());
    str += Fmt(LoadText(IDS_HISTORY_TIMES), LocalTime(rec.nStart).c_str(), LocalTime(rec.nEnd).c_str());
    for (const std::string& strTarget : rec.arTargets)
        str += Fmt(LoadText(IDS_HISTORY_TARGET),
                   strTarget.empty() ? LoadText(IDS_HISTORY_ALL_DRIVES) : EscapeField(strTarget).c_str());
    str += Fmt(LoadText(IDS_HISTORY_ENGINE), EscapeField(rec.strEngine).c_str(),
               EscapeField(rec.strEngineVersion).c_str());
    str += Fmt(LoadText(IDS_HISTORY_COUNTS), rec.nScanned, Infected(rec));
    const std::string strDone = DoneText(rec);
    if (!strDone.empty())
        str += Fmt(LoadText(IDS_HISTORY_DONE), strDone.c_str());
    str += Fmt(LoadText(IDS_HISTORY_EXIT), rec.nExit);
    for (const SHISTORYFINDING& finding : rec.arFindings)
        str += Fmt(LoadText(IDS_HISTORY_FOUND), EscapeField(finding.strPath).c_str(),
                   EscapeField(finding.strVirus).c_str(), GetStateText(finding.eState).c_str());
    if (rec.nOmittedFindings)
        str += Fmt(LoadText(IDS_HISTORY_OMITTED_FINDINGS), rec.nOmittedFindings);
    for (const std::string& strError : rec.arErrors)
        str += Fmt(LoadText(IDS_HISTORY_ERROR), EscapeField(strError).c_str());
    if (rec.nOmittedErrors)
        str += Fmt(LoadText(IDS_HISTORY_OMITTED_ERRORS), rec.nOmittedErrors);
    return str;
}

void CScanHistory::NoticeText(const SHISTORYRECORD& rec, std::string* pstrSummary, std::string* pstrBody) {
    const int nInfected = Infected(rec);
    // A stopped or incomplete scan is a failure whatever it found: the
    // user must not read it as the whole answer.
    const bool bFailed = rec.nExit != 0 && rec.nExit != 1;
    if (bFailed)
        *pstrSummary = LoadText(IDS_NOTIFY_FAILED);
    else if (nInfected == 0)
        *pstrSummary = LoadText(IDS_NOTIFY_CLEAN);
    else
        *pstrSummary = nInfected == 1 ? std::string(LoadText(IDS_NOTIFY_FOUND_ONE))
                                      : Fmt(LoadText(IDS_NOTIFY_FOUND_MANY), nInfected);

    std::vector<std::string> arLines;
    if (rec.nExit > 128)
        arLines.push_back(Fmt(LoadText(IDS_NOTIFY_STOPPED), rec.nScanned));
    const size_t nErrors = rec.arErrors.size() + static_cast<size_t>(rec.nOmittedErrors);
    for (size_t i = 0; i < std::min(rec.arErrors.size(), NOTICE_LINES); ++i)
        arLines.push_back(EscapeField(rec.arErrors[i]));
    if (nErrors > NOTICE_LINES)
        arLines.push_back(Fmt(LoadText(IDS_NOTIFY_MORE), static_cast<int>(nErrors - NOTICE_LINES)));
    if (bFailed && nErrors > 0)
        arLines.push_back(nErrors == 1 ? std::string(LoadText(IDS_SCAN_NOT_FULLY_ONE))
                                       : Fmt(LoadText(IDS_SCAN_NOT_FULLY_MANY), static_cast<int>(nErrors)));
    arLines.push_back(Fmt(LoadText(IDS_HISTORY_COUNTS), rec.nScanned, nInfected));
    const std::string strDone = DoneText(rec);
    if (!strDone.empty())
        arLines.push_back(Fmt(LoadText(IDS_HISTORY_DONE), strDone.c_str()));
    for (size_t i = 0; i < std::min(rec.arFindings.size(), NOTICE_LINES); ++i) {
        const SHISTORYFINDING& finding = rec.arFindings[i];
        arLines.push_back(Fmt(LoadText(IDS_NOTIFY_FINDING), EscapeField(finding.strVirus).c_str(),
                              EscapeField(finding.strPath).c_str(), GetStateText(finding.eState).c_str()));
    }
    if (static_cast<size_t>(nInfected) > NOTICE_LINES)
        arLines.push_back(Fmt(LoadText(IDS_NOTIFY_MORE), nInfected - static_cast<int>(NOTICE_LINES)));

    pstrBody->clear();
    for (std::string& strLine : arLines) {
        // The history's lines are indented for the terminal; not here.
        const size_t nFirst = strLine.find_first_not_of(' ');
        strLine.erase(0, nFirst == std::string::npos ? strLine.size() : nFirst);
        while (!strLine.empty() && strLine.back() == '\n')
            strLine.pop_back();
        if (!pstrBody->empty())
            *pstrBody += '\n';
        *pstrBody += strLine;
    }
}
