// Code that might block for good (a FIFO opened as a file) runs in a child,
// so a hang fails the test rather than holding it.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

// What fn returns, from a child killed after nSeconds: "blocked" then.
inline std::string TextInChild(const std::function<std::string()>& fn, unsigned nSeconds = 5) {
    int arPipe[2];
    if (pipe(arPipe) != 0)
        return "no pipe";
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(nSeconds);
        const std::string strOut = fn();
        _exit(write(arPipe[1], strOut.data(), strOut.size()) == static_cast<ssize_t>(strOut.size()) ? 0 : 1);
    }
    close(arPipe[1]);
    std::string strOut;
    char arBuf[4096];
    for (ssize_t n; (n = read(arPipe[0], arBuf, sizeof arBuf)) > 0;)
        strOut.append(arBuf, static_cast<size_t>(n));
    close(arPipe[0]);
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    return WIFSIGNALED(nStatus) ? "blocked" : strOut;
}
