// Schedules as systemd user units in $XDG_CONFIG_HOME/systemd/user, enabled
// as `systemctl --user enable` does (the timers.target.wants link) and, while
// the user's instance runs, reloaded and started through systemctl.
#pragma once

#include <string>
#include <vector>

#include "schedule/Schedule.h"

class CScheduleUnits : public ISchedules {
public:
    // Where things are, from the environment: the unit folder, the
    // quillet-scan beside this program, and "/" as the root under which
    // run/systemd/system tells a system booted with systemd
    // ($QUILLET_SYSTEMD_ROOT moves it, for tests).
    CScheduleUnits();

    std::string m_strUnitDir;
    std::string m_strScanProgram;
    std::string m_strSystemdRoot;

    // False with *pstrWhy where no schedule could ever run.
    bool SystemdRuns(std::string* pstrWhy) const;

    int Add(CSchedule& schedule, std::string* pstrMessage) override;
    int List(std::vector<CScheduleEntry>* parEntries, std::string* pstrMessage) override;
    int Remove(const std::string& strName, std::string* pstrMessage) override;
    // The command line the timer runs, read back from the service.
    int ReadCommand(const std::string& strName, std::vector<std::string>* parArgv, std::string* pstrMessage);

private:
    bool Systemctl(const std::vector<std::string>& arArgs) const;
    // The unit folder, opened, made when bMake; -1 with *pstrMessage.
    int OpenUnitDir(bool bMake, std::string* pstrMessage) const;
    bool ReadEntry(int nDir, const std::string& strName, CScheduleEntry* pEntry, std::vector<std::string>* parArgv,
                   bool* pbFound) const;
};

// quillet-scan --schedule NAME: the lock that keeps two runs of one schedule
// apart, held until the process ends. A descriptor; -1 when another run
// holds it; -2 when it cannot be taken (*pstrPath, *pstrWhy).
int LockScheduleRun(const std::string& strName, std::string* pstrPath, std::string* pstrWhy);
