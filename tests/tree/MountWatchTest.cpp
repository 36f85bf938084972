// The mount watch on a real table: a child process mounts and unmounts a
// memory file system in a mount namespace of its own, and "Computer" of the
// real namespace over the real table follows both within 2 s.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "fakes/FakeTreeItems.h"
#include "fakes/TempDir.h"
#include "platform/LinuxNamespace.h"
#include "platform/MountWatch.h"
#include "tree/CheckTree.h"

namespace {

enum {
    CHILD_OK = 0,
    CHILD_NOT_PERMITTED = 77,  // no private namespaces here
    CHILD_NOT_WATCHING = 10,
    CHILD_EARLY_CHANGE,
    CHILD_MOUNT_UNSEEN,
    CHILD_SIGNALLED_TWICE,
    CHILD_DRIVE_NOT_SHOWN,
    CHILD_DRIVE_NOT_GONE,
};

bool WriteText(const char* pszPath, const std::string& strText) {
    int nFd = open(pszPath, O_WRONLY | O_CLOEXEC);
    if (nFd < 0)
        return false;
    bool bOk = write(nFd, strText.data(), strText.size()) == static_cast<ssize_t>(strText.size());
    close(nFd);
    return bOk;
}

bool Within(std::chrono::milliseconds limit, const std::function<bool()>& fnDone) {
    auto tEnd = std::chrono::steady_clock::now() + limit;
    while (!fnDone()) {
        if (std::chrono::steady_clock::now() > tEnd)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool ShowsDrive(CFakeTreeItems& items, TreeItem hComputer, const std::string& strPath) {
    for (TreeItem h = items.GetChildItem(hComputer); h; h = items.GetNextSiblingItem(h))
        if (items.GetRecord(h)->strPath == strPath)
            return true;
    return false;
}

int WatchInPrivateNamespace(const std::string& strHome, const std::string& strPoint) {
    const uid_t nUid = getuid();
    const gid_t nGid = getgid();
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return CHILD_NOT_PERMITTED;
    // Root of the new user namespace, so it may mount; nothing leaks out.
    WriteText("/proc/self/setgroups", "deny");
    if (!WriteText("/proc/self/uid_map", "0 " + std::to_string(nUid) + " 1") ||
        !WriteText("/proc/self/gid_map", "0 " + std::to_string(nGid) + " 1") ||
        mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return CHILD_NOT_PERMITTED;

    CMountWatch watch;
    if (!watch.IsWatching())
        return CHILD_NOT_WATCHING;
    if (watch.HasChanged())
        return CHILD_EARLY_CHANGE;
    CLinuxNamespace ns(nullptr, strHome);
    CFakeTreeItems items;
    CCheckTree tree(items, ns);
    tree.FillRoot();
    TreeItem hComputer = items.GetChildItem(nullptr);

    if (mount("quillet-test", strPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
        return CHILD_NOT_PERMITTED;
    if (!Within(std::chrono::seconds(2), [&] { return watch.HasChanged(); }))
        return CHILD_MOUNT_UNSEEN;
    if (watch.HasChanged())
        return CHILD_SIGNALLED_TWICE;
    auto fnShown = [&] {
        tree.FollowDrives();
        return ShowsDrive(items, hComputer, strPoint);
    };
    if (!Within(std::chrono::seconds(2), fnShown))
        return CHILD_DRIVE_NOT_SHOWN;
    if (umount(strPoint.c_str()) != 0 || !Within(std::chrono::seconds(2), [&] { return !fnShown(); }))
        return CHILD_DRIVE_NOT_GONE;
    return CHILD_OK;
}

TEST(MountWatchTest, ComputerFollowsAMountAndAnUnmountWithinTwoSeconds) {
    CTempDir tmp;
    const std::string strPoint = tmp / "point";
    ASSERT_EQ(mkdir(strPoint.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((tmp / "home").c_str(), 0755), 0);
    pid_t nPid = fork();
    ASSERT_GE(nPid, 0);
    if (nPid == 0)
        _exit(WatchInPrivateNamespace(tmp / "home", strPoint));
    int nStatus = 0;
    ASSERT_EQ(waitpid(nPid, &nStatus, 0), nPid);
    ASSERT_TRUE(WIFEXITED(nStatus));
    if (WEXITSTATUS(nStatus) == CHILD_NOT_PERMITTED)
        GTEST_SKIP() << "this system does not let a process mount in a namespace of its own";
    EXPECT_EQ(WEXITSTATUS(nStatus), CHILD_OK) << "see the CHILD_ codes";
}

}  // namespace
