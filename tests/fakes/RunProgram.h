// Runs one of our programs as a user would, and keeps what it printed.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fakes/TempDir.h"

extern char** environ;

struct SRun {
    int nExit = -1;
    std::string strOut;
    std::string strErr;
};

// strProgram with arArgs, in strCwd when one is given, with the test's
// environment less the display and the names arSet gives, plus arSet
// ("NAME=value"). Standard output and error go through files in dir. Unless
// arSet says otherwise, the program's state (the history of scans), its clean
// verdicts and its settings are kept in dir, never in the tester's home (a test that sets
// XDG_CONFIG_HOME for itself keeps it).
inline SRun RunProgram(const std::string& strProgram, const std::vector<std::string>& arArgs, const CTempDir& dir,
                       const std::string& strCwd = std::string(), const std::vector<std::string>& arSet = {}) {
    std::vector<std::string> arEnv;
    for (char** pp = environ; *pp; ++pp) {
        const std::string strVar = *pp;
        const std::string strName = strVar.substr(0, strVar.find('='));
        bool bDrop = strName == "DISPLAY" || strName == "WAYLAND_DISPLAY";
        for (const std::string& strSet : arSet)
            bDrop = bDrop || strSet.compare(0, strName.size() + 1, strName + "=") == 0;
        if (!bDrop)
            arEnv.push_back(strVar);
    }
    arEnv.insert(arEnv.end(), arSet.begin(), arSet.end());
    bool bState = false, bConfig = false, bCache = false;
    for (const std::string& strSet : arSet) {
        bState = bState || strSet.rfind("XDG_STATE_HOME=", 0) == 0;
        bConfig = bConfig || strSet.rfind("XDG_CONFIG_HOME=", 0) == 0;
        bCache = bCache || strSet.rfind("XDG_CACHE_HOME=", 0) == 0;
    }
    if (!bState)
        arEnv.push_back("XDG_STATE_HOME=" + (dir / "state"));
    // Nor are its clean verdicts.
    if (!bCache)
        arEnv.push_back("XDG_CACHE_HOME=" + (dir / "cache"));
    // Nor are its settings (the engine) the tester's own.
    if (!bConfig && !getenv("XDG_CONFIG_HOME"))
        arEnv.push_back("XDG_CONFIG_HOME=" + (dir / "config"));
    std::vector<char*> arEnvp;
    for (std::string& s : arEnv)
        arEnvp.push_back(s.data());
    arEnvp.push_back(nullptr);
    std::vector<char*> arArgv{const_cast<char*>(strProgram.c_str())};
    for (const std::string& s : arArgs)
        arArgv.push_back(const_cast<char*>(s.c_str()));
    arArgv.push_back(nullptr);

    SRun run;
    const std::string strOut = dir / "stdout", strErr = dir / "stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, strOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, strErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!strCwd.empty())
        posix_spawn_file_actions_addchdir_np(&actions, strCwd.c_str());
    pid_t pid;
    if (posix_spawn(&pid, strProgram.c_str(), &actions, nullptr, arArgv.data(), arEnvp.data()) == 0) {
        int nStatus = 0;
        waitpid(pid, &nStatus, 0);
        run.nExit = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
    }
    posix_spawn_file_actions_destroy(&actions);
    run.strOut = CTempDir::ReadFile(strOut);
    run.strErr = CTempDir::ReadFile(strErr);
    unlink(strOut.c_str());
    unlink(strErr.c_str());
    return run;
}
