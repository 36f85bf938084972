// quillet-schedule: scans that run on their own, as systemd user timers
// running quillet-scan. Adds, lists, runs now and removes them.

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/ScheduleUnits.h"
#include "platform/UserLanguage.h"
#include "res/Strings.h"
#include "res/Version.h"
#include "base/EscapeField.h"
#include "schedule/Schedule.h"

namespace {

int Usage() {
    fputs(LoadText(IDS_SCHEDULE_TOOL_USAGE), stderr);
    return 64;
}

int Fail(const std::string& strMessage) {
    fprintf(stderr, "quillet-schedule: %s\n", strMessage.c_str());
    return 2;
}

// The scheduled run starts in another folder: relative paths are taken
// from here now.
std::string Absolute(const std::string& str) {
    if (!str.empty() && str[0] == '/')
        return str;
    char szCwd[PATH_MAX];
    if (!getcwd(szCwd, sizeof szCwd))
        return str;
    std::string strCwd = szCwd;
    return strCwd + (strCwd.back() == '/' ? "" : "/") + str;
}

std::string Formatted(EStringId eId, const std::string& str) {
    char szBuf[8192];
    snprintf(szBuf, sizeof szBuf, LoadText(eId), str.c_str());
    return szBuf;
}

int Add(int argc, char** argv) {
    CSchedule schedule;
    int nWhen = 0;
    bool bOptions = true;
    for (int i = 2; i < argc; ++i) {
        const std::string strArg = argv[i];
        if (bOptions && strArg == "--") {
            bOptions = false;
        } else if (bOptions && strArg == "--daily" && i + 1 < argc) {
            schedule.when.eEvery = EScheduleEvery::Daily;
            if (!ParseScheduleClock(argv[++i], &schedule.when.nHour, &schedule.when.nMinute))
                return Fail(Formatted(IDS_SCHEDULE_BAD_TIME, EscapeField(argv[i])));
            ++nWhen;
        } else if (bOptions && strArg == "--weekly" && i + 2 < argc) {
            schedule.when.eEvery = EScheduleEvery::Weekly;
            if (!ParseScheduleDay(argv[++i], &schedule.when.nDay))
                return Fail(Formatted(IDS_SCHEDULE_BAD_DAY, EscapeField(argv[i])));
            if (!ParseScheduleClock(argv[++i], &schedule.when.nHour, &schedule.when.nMinute))
                return Fail(Formatted(IDS_SCHEDULE_BAD_TIME, EscapeField(argv[i])));
            ++nWhen;
        } else if (bOptions && strArg == "--hourly") {
            schedule.when = CScheduleWhen{EScheduleEvery::Hourly, 0, 0, 0};
            ++nWhen;
        } else if (bOptions && strArg == "--on-ac-power") {
            schedule.bOnAcPower = true;
        } else if (bOptions && strArg == "--all-drives") {
            schedule.bAllDrives = true;
        } else if (bOptions && ScanOptionValues(strArg) == 0) {
            schedule.arOptions.push_back(strArg);
        } else if (bOptions && ScanOptionValues(strArg) == 1 && i + 1 < argc) {
            std::string strValue = argv[++i];
            // Paths are taken from here; an engine's name stays a name.
            if (strArg == "--database" || (strArg == "--engine" && strValue.find('/') != std::string::npos))
                strValue = Absolute(strValue);
            schedule.arOptions.push_back(strArg);
            schedule.arOptions.push_back(strValue);
        } else if (bOptions && strArg.size() > 1 && strArg[0] == '-') {
            return Usage();
        } else {
            schedule.arTargets.push_back(Absolute(strArg));
        }
    }
    if (nWhen != 1 || (schedule.arTargets.empty() && !schedule.bAllDrives))
        return Usage();
    CScheduleUnits units;
    std::string strMessage;
    if (units.Add(schedule, &strMessage) != 0)
        return Fail(strMessage);
    printf("%s\n", schedule.strName.c_str());
    if (!strMessage.empty())
        fprintf(stderr, "quillet-schedule: %s\n", strMessage.c_str());
    return fflush(stdout) == 0 ? 0 : 2;
}

int List() {
    CScheduleUnits units;
    std::vector<CScheduleEntry> arEntries;
    std::string strMessage;
    if (units.List(&arEntries, &strMessage) != 0)
        return Fail(strMessage);
    for (const CScheduleEntry& entry : arEntries) {
        std::string strLine = entry.strName + "\t";
        if (!entry.bReadable) {
            strLine += std::string(LoadText(IDS_SCHEDULE_UNREADABLE)) + "\t" + EscapeField(entry.strWhy);
        } else {
            strLine += ScheduleWhenText(entry.schedule.when);
            if (entry.schedule.bAllDrives)
                strLine += "\t--all-drives";
            for (const std::string& strTarget : entry.schedule.arTargets)
                strLine += "\t" + EscapeField(strTarget);
        }
        printf("%s\n", strLine.c_str());
    }
    return fflush(stdout) == 0 ? 0 : 2;
}

// As the timer would: the very command line of the service, in place of
// this program, so its exit status is quillet-scan's.
int Run(const std::string& strName) {
    CScheduleUnits units;
    std::vector<std::string> arArgv;
    std::string strMessage;
    if (units.ReadCommand(strName, &arArgv, &strMessage) != 0)
        return Fail(strMessage);
    std::vector<char*> arPointers;
    for (std::string& str : arArgv)
        arPointers.push_back(str.data());
    arPointers.push_back(nullptr);
    fflush(stdout);
    execv(arPointers[0], arPointers.data());
    const int nErr = errno;
    char szBuf[8192];
    snprintf(szBuf, sizeof szBuf, LoadText(IDS_SCHEDULE_CANNOT_RUN), EscapeField(arArgv[0]).c_str(), strerror(nErr));
    return Fail(szBuf);
}

int Remove(const std::string& strName) {
    CScheduleUnits units;
    std::string strMessage;
    return units.Remove(strName, &strMessage) == 0 ? 0 : Fail(strMessage);
}

}  // namespace

int main(int argc, char** argv) {
    UseCommandLineLanguage();
    if (argc < 2)
        return Usage();
    const std::string strCommand = argv[1];
    if (strCommand == "--help") {
        fputs(LoadText(IDS_SCHEDULE_TOOL_USAGE), stdout);
        fputs(LoadText(IDS_SCHEDULE_TOOL_OPTIONS), stdout);
        return fflush(stdout) == 0 && !ferror(stdout) ? 0 : 1;
    }
    if (strCommand == "--version") {
        printf(LoadText(IDS_SCHEDULE_TOOL_VERSION), QUILLET_VERSION_MAJOR, QUILLET_VERSION_MINOR, QUILLET_VERSION_PATCH,
               QUILLET_VERSION_BUILD);
        return 0;
    }
    if (strCommand == "add")
        return Add(argc, argv);
    if (strCommand == "list" && argc == 2)
        return List();
    if (strCommand == "run" && argc == 3)
        return Run(argv[2]);
    if (strCommand == "remove" && argc == 3)
        return Remove(argv[2]);
    return Usage();
}
