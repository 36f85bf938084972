// What an ordinary user meets, met for real: fn runs in a child that drops
// to uid and gid 65534 when the suite runs as root, else right here.
#pragma once

#include <dirent.h>
#include <grp.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "fakes/TestPaths.h"

constexpr uid_t ORDINARY_UID = 65534;

// fn's answer, or -1 when the child could not drop its rights or died.
inline int AsOrdinaryUser(const std::function<int()>& fn) {
    if (geteuid() != 0)
        return fn();
    pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(ORDINARY_UID) != 0 || setuid(ORDINARY_UID) != 0)
            _exit(255);
        _exit(fn());
    }
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

// The same, for an answer in words: what fn returns comes back through a pipe.
inline std::string TextAsOrdinaryUser(const std::function<std::string()>& fn) {
    if (geteuid() != 0)
        return fn();
    int arPipe[2];
    if (pipe(arPipe) != 0)
        return "(no pipe)";
    std::string strText;
    int nResult = AsOrdinaryUser([&] {
        close(arPipe[0]);
        const std::string str = fn();
        bool bOk = write(arPipe[1], str.data(), str.size()) == static_cast<ssize_t>(str.size());
        close(arPipe[1]);
        return bOk ? 0 : 1;
    });
    close(arPipe[1]);
    char arBuf[4096];
    for (ssize_t n; (n = read(arPipe[0], arBuf, sizeof arBuf)) > 0;)
        strText.append(arBuf, static_cast<size_t>(n));
    close(arPipe[0]);
    return nResult == 0 ? strText : "(the child failed)";
}

// Where a child run as the ordinary user finds the programs, the host and
// the engines. The build folder may sit where that user cannot enter (a
// checkout under /root): they are then copied, once a test run, into a
// folder anyone may enter, removed when the run ends. Asked before the
// child drops its rights.
inline std::string OrdinaryBinDir() {
    static const struct SCopy {
        std::string strDir;
        bool bOwn = false;
        SCopy() {
            const std::string strBin = BinDir();
            strDir = strBin;
            const std::string strProbe = strBin + "/farsend-host";
            if (geteuid() != 0 || AsOrdinaryUser([&] { return access(strProbe.c_str(), X_OK) == 0 ? 0 : 1; }) == 0)
                return;
            char szDir[] = "/tmp/quillet-programs-XXXXXX";
            if (!mkdtemp(szDir) || chmod(szDir, 0755) != 0)
                return;
            std::error_code ec;
            for (const auto& entry : std::filesystem::directory_iterator(strBin, ec)) {
                const std::string strName = entry.path().filename().string();
                // The programs and engines, not the test programs themselves.
                if (!entry.is_regular_file(ec) || strName.find("_test") != std::string::npos ||
                    strName.find("_bench") != std::string::npos)
                    continue;
                std::filesystem::copy_file(entry.path(), std::string(szDir) + "/" + strName, ec);
            }
            strDir = szDir;
            bOwn = true;
        }
        ~SCopy() {
            std::error_code ec;
            if (bOwn)
                std::filesystem::remove_all(strDir, ec);
        }
    } s_copy;
    return s_copy.strDir;
}
