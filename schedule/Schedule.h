// A scheduled scan: when it runs, what quillet-scan is told, and the two
// systemd user units that carry it. Making the units' text and reading it
// back live here; the files and systemctl are the platform's.
#pragma once

#include <string>
#include <vector>

enum class EScheduleEvery { Daily, Weekly, Hourly };

struct CScheduleWhen {
    EScheduleEvery eEvery = EScheduleEvery::Daily;
    int nDay = 0;  // weekly: 0 Monday .. 6 Sunday
    int nHour = 0;
    int nMinute = 0;
    bool operator==(const CScheduleWhen&) const = default;
};

struct CSchedule {
    std::string strName;  // "scan-N"
    CScheduleWhen when;
    bool bOnAcPower = false;  // skipped while on battery
    // quillet-scan's options, word by word ("--repair", "--engine", "clamav").
    std::vector<std::string> arOptions;
    bool bAllDrives = false;
    std::vector<std::string> arTargets;  // absolute paths, as bytes
};

// "HH:MM", 00:00 to 23:59.
bool ParseScheduleClock(const std::string& str, int* pnHour, int* pnMinute);
// "Mon".."Sun" or the whole English name, any case.
bool ParseScheduleDay(const std::string& str, int* pnDay);
// "daily 03:00", "weekly Mon 03:00", "hourly".
std::string ScheduleWhenText(const CScheduleWhen& when);

// The option words quillet-scan takes: 0 a flag, 1 takes a value, -1 none
// of its own (--all-drives is a target, --schedule the unit's).
int ScanOptionValues(const std::string& strOption);

// Names are "scan-N"; their units "quillet-scan-N.service" and ".timer".
std::string ScheduleName(int nNumber);
bool IsScheduleName(const std::string& str);
std::string ScheduleUnitBase(const std::string& strName);
// The schedule's name from a unit file's name in the unit folder; "" when it
// is none of ours.
std::string ScheduleNameOfUnit(const std::string& strFileName);

// One ExecStart word: quoted, with %% and $$ and C escapes, so systemd hands
// the program exactly these bytes. A line break cannot be carried in a unit
// line safely, and is refused by the callers before this.
std::string QuoteExecWord(const std::string& str);

enum class EUnitMake { Ok, LineBreak, NotAbsolute, NoTarget, BadOption };

// The service's and the timer's text. On failure *pstrWhat is the word at
// fault (a target, an option).
EUnitMake MakeScheduleUnits(const CSchedule& schedule, const std::string& strScanProgram, std::string* pstrService,
                            std::string* pstrTimer, std::string* pstrWhat);

// Reading back: ExecStart's words as systemd would hand them over; false on
// what these units never hold (unbalanced quotes, specifiers other than %%,
// variables, unknown escapes).
bool SplitExecWords(const std::string& strValue, std::vector<std::string>* parWords);

// The schedule the two units of strName describe, and the argv the timer
// runs. False with *pstrWhy when they are not in the form MakeScheduleUnits
// writes (a hand edit).
bool ReadScheduleUnits(const std::string& strName, const std::string& strService, const std::string& strTimer,
                       CSchedule* pSchedule, std::vector<std::string>* parArgv, std::string* pstrWhy);

struct SCANREQUEST;

// A schedule of what the main dialog would scan: its ticked targets and
// options. False with *pstrTarget when a target is no path on disk.
bool ScheduleFromRequest(const SCANREQUEST& req, CSchedule* pSchedule, std::string* pstrTarget);

// One schedule as found in the unit folder.
struct CScheduleEntry {
    std::string strName;
    bool bReadable = false;
    CSchedule schedule;   // when readable
    std::string strWhy;   // when not
};

// The schedules of the user, wherever they are kept. Each call returns 0 or
// 2 (failure, *pstrMessage says why); on success *pstrMessage may still
// hold something to tell (the timer starts only with the next session).
class ISchedules {
public:
    virtual ~ISchedules() = default;
    // Names the schedule (schedule.strName), writes and enables it.
    virtual int Add(CSchedule& schedule, std::string* pstrMessage) = 0;
    virtual int List(std::vector<CScheduleEntry>* parEntries, std::string* pstrMessage) = 0;
    virtual int Remove(const std::string& strName, std::string* pstrMessage) = 0;
};
