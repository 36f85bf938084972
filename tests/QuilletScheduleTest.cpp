// quillet-schedule end to end: the units it writes pass systemd's own check,
// hand quillet-scan the exact bytes of odd targets, and read back; a hand
// edit, a second run of one schedule and a system without systemd.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fakes/RunProgram.h"
#include "fakes/TempDir.h"
#include "fakes/TestPaths.h"
#include "base/EscapeField.h"
#include "tools/samples/SampleWriter.h"

namespace {

// A user's folders, a system booted with systemd, and a systemctl that logs
// its arguments and answers with $FAKE_SYSTEMCTL_EXIT, so no real user
// instance is touched.
struct CScheduleWorld {
    CTempDir dir;
    std::vector<std::string> arEnv;
    CScheduleWorld(bool bBooted = true, bool bSystemctl = true) {
        for (const char* psz : {"cfg", "run", "root", "path", "t"})
            mkdir((dir / psz).c_str(), 0700);
        if (bBooted)
            for (const char* psz : {"root/run", "root/run/systemd", "root/run/systemd/system"})
                mkdir((dir / psz).c_str(), 0755);
        if (bSystemctl)
            CTempDir::WriteFile(dir / "path/systemctl",
                                "#!/bin/sh\necho \"$*\" >> \"$FAKE_SYSTEMCTL_LOG\"\nexit ${FAKE_SYSTEMCTL_EXIT:-1}\n", 0755);
        arEnv = {"XDG_CONFIG_HOME=" + dir / "cfg", "XDG_RUNTIME_DIR=" + dir / "run",
                 "QUILLET_SYSTEMD_ROOT=" + dir / "root", "PATH=" + dir / "path" + ":/usr/bin:/bin",
                 "FAKE_SYSTEMCTL_LOG=" + dir / "systemctl.log", "DBUS_SESSION_BUS_ADDRESS="};
    }
    std::string UnitDir() const { return dir / "cfg/systemd/user"; }
    SRun Schedule(const std::vector<std::string>& arArgs) {
        return RunProgram(BinDir() + "/quillet-schedule", arArgs, dir, dir.Path(), arEnv);
    }
    // A folder with the EICAR file in it; its path.
    std::string Target(const std::string& strName) {
        const std::string strPath = dir / ("t/" + strName);
        mkdir(strPath.c_str(), 0755);
        CTempDir::WriteFile(strPath + "/eicar.com", quillet::samples::EicarString());
        return strPath;
    }
};

}  // namespace

TEST(QuilletScheduleTest, OddTargetsReachQuilletScanAsTheirBytes) {
    CScheduleWorld world;
    const std::string strQuoted = world.Target("a b \"q\" 'q' %n %% $HOME $$ \\x41 \\");
    const std::string strRaw = world.Target(std::string("caf\xe9 \x01\x7f k\xc3\xa9"));
    world.arEnv.push_back("FAKE_SYSTEMCTL_EXIT=0");
    SRun add = world.Schedule({"add", "--daily", "03:07", "--on-ac-power", "--all-files", strQuoted, strRaw});
    ASSERT_EQ(add.nExit, 0) << add.strErr;
    EXPECT_EQ(add.strOut, "scan-1\n");
    // An instance answered: reloaded and the timer started, nothing to say.
    EXPECT_EQ(add.strErr, "");
    EXPECT_EQ(CTempDir::ReadFile(world.dir / "systemctl.log"),
              "--user --quiet daemon-reload\n--user --quiet start quillet-scan-1.timer\n");
    char szLink[4096] = {};
    ASSERT_GT(readlink((world.UnitDir() + "/timers.target.wants/quillet-scan-1.timer").c_str(), szLink, sizeof szLink - 1), 0);
    EXPECT_EQ(std::string(szLink), world.UnitDir() + "/quillet-scan-1.timer");

    // systemd's own parser takes the units as they are.
    if (access("/usr/bin/systemd-analyze", X_OK) == 0) {
        SRun verify = RunProgram("/usr/bin/systemd-analyze",
                                 {"--user", "verify", world.UnitDir() + "/quillet-scan-1.service",
                                  world.UnitDir() + "/quillet-scan-1.timer"},
                                 world.dir, std::string(), world.arEnv);
        EXPECT_EQ(verify.nExit, 0) << verify.strErr;
        EXPECT_EQ(verify.strErr, "");
    } else {
        ADD_FAILURE() << "systemd-analyze is missing (package systemd): the units are not verified";
    }

    SRun list = world.Schedule({"list"});
    EXPECT_EQ(list.nExit, 0);
    EXPECT_EQ(list.strOut, "scan-1\tdaily 03:07\t" + EscapeField(strQuoted) + "\t" + EscapeField(strRaw) + "\n");

    // Run as the timer runs it: both finds, under the targets' own bytes.
    SRun run = world.Schedule({"run", "scan-1"});
    EXPECT_EQ(run.nExit, 1) << run.strErr;
    EXPECT_NE(run.strOut.find("\t" + EscapeField(strQuoted + "/eicar.com") + "\t"), std::string::npos) << run.strOut;
    EXPECT_NE(run.strOut.find("\t" + EscapeField(strRaw + "/eicar.com") + "\t"), std::string::npos) << run.strOut;
    EXPECT_NE(run.strOut.find("Scanned: 2, Infected: 2\n"), std::string::npos) << run.strOut;

    // A line break cannot be passed: refused, nothing written.
    SRun broken = world.Schedule({"add", "--hourly", world.Target("two\nlines")});
    EXPECT_EQ(broken.nExit, 2);
    EXPECT_NE(broken.strErr.find("a line break cannot be passed to a scheduled scan; no schedule was written: "),
              std::string::npos) << broken.strErr;
    SRun remove = world.Schedule({"remove", "scan-1"});
    EXPECT_EQ(remove.nExit, 0) << remove.strErr;
    EXPECT_EQ(CTempDir::Entries(world.UnitDir()), std::vector<std::string>{"timers.target.wants"});
    EXPECT_TRUE(CTempDir::Entries(world.UnitDir() + "/timers.target.wants").empty());
    EXPECT_EQ(world.Schedule({"remove", "scan-1"}).nExit, 2);
}

TEST(QuilletScheduleTest, HandEditedUnitIsMarkedAndNotRun) {
    CScheduleWorld world;
    const std::string strTarget = world.Target("t");
    SRun add = world.Schedule({"add", "--weekly", "sunday", "23:59", strTarget});
    ASSERT_EQ(add.nExit, 0) << add.strErr;
    // With no instance answering, the schedule waits for the next session.
    EXPECT_EQ(add.strErr,
              "quillet-schedule: no systemd user instance answers now: the schedule starts with your next session\n");
    SRun good = world.Schedule({"add", "--hourly", "--repair", strTarget});
    ASSERT_EQ(good.strOut, "scan-2\n");

    const std::string strService = world.UnitDir() + "/quillet-scan-1.service";
    std::string strText = CTempDir::ReadFile(strService);
    const size_t nExec = strText.find("ExecStart=");
    ASSERT_NE(nExec, std::string::npos);
    strText.replace(nExec, strText.find('\n', nExec) - nExec, "ExecStart=/bin/sh -c \"echo $HOME\"");
    ASSERT_TRUE(CTempDir::WriteFile(strService, strText));

    SRun list = world.Schedule({"list"});
    EXPECT_EQ(list.nExit, 0);
    EXPECT_EQ(list.strOut,
              "scan-1\t(cannot be read back)\tits service's ExecStart is not as quillet-schedule writes it\n"
              "scan-2\thourly\t" + strTarget + "\n");
    SRun run = world.Schedule({"run", "scan-1"});
    EXPECT_EQ(run.nExit, 2);
    EXPECT_EQ(run.strOut, "");
    EXPECT_EQ(run.strErr, "quillet-schedule: scan-1: its service's ExecStart is not as quillet-schedule writes it\n");
}

TEST(QuilletScheduleTest, SecondRunOfOneScheduleDoesNotScan) {
    CScheduleWorld world;
    const std::string strTarget = world.Target("t");
    // The first run, held here: the lock quillet-scan takes.
    mkdir((world.dir / "run/quillet").c_str(), 0700);
    const int nFd = open((world.dir / "run/quillet/schedule-scan-4.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(nFd, 0);
    ASSERT_EQ(flock(nFd, LOCK_EX), 0);
    const std::vector<std::string> arArgs{"--schedule", "scan-4", "--", strTarget};
    SRun second = RunProgram(BinDir() + "/quillet-scan", arArgs, world.dir, std::string(), world.arEnv);
    EXPECT_EQ(second.nExit, 2);
    EXPECT_EQ(second.strOut, "");
    EXPECT_EQ(second.strErr, "quillet-scan: schedule scan-4 is still running; this run does not scan\n");
    // Not silent: the history keeps the run that did not scan, and why.
    SRun history = RunProgram(BinDir() + "/quillet-scan", {"--history"}, world.dir, std::string(), world.arEnv);
    EXPECT_NE(history.strOut.find("schedule scan-4 is still running"), std::string::npos) << history.strOut;
    // Another schedule is not held up.
    SRun other = RunProgram(BinDir() + "/quillet-scan", {"--schedule", "scan-5", strTarget}, world.dir, std::string(),
                            world.arEnv);
    EXPECT_EQ(other.nExit, 1) << other.strErr;
    close(nFd);
    SRun after = RunProgram(BinDir() + "/quillet-scan", arArgs, world.dir, std::string(), world.arEnv);
    EXPECT_EQ(after.nExit, 1) << after.strErr;
}

TEST(QuilletScheduleTest, WithoutSystemdNothingIsWritten) {
    const char* pszSaid = "quillet-schedule: systemd does not run this system (no /run/systemd/system, or no "
                          "systemctl): a schedule could never start, and none was written\n";
    for (bool bBooted : {false, true}) {
        CScheduleWorld world(bBooted, !bBooted);
        if (bBooted)  // booted, but no systemctl on the way
            world.arEnv[3] = "PATH=" + world.dir / "path";
        SRun add = world.Schedule({"add", "--daily", "01:00", world.Target("t")});
        EXPECT_EQ(add.nExit, 2) << bBooted;
        EXPECT_EQ(add.strErr, pszSaid);
        EXPECT_TRUE(CTempDir::Entries(world.dir / "cfg").empty());
    }
}
