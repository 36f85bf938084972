// The Linux namespace on temporary folders and a fake mount table: which
// folders show, their expand buttons, the drives, the network mounts and
// automount points that are never touched, system mounts left out, the
// bounded wait, drives that follow the table, and a folder of 50,000
// sub-folders.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <utility>

#include "fakes/FakeScanWorld.h"
#include "fakes/FakeTreeItems.h"
#include "fakes/TempDir.h"
#include "platform/LinuxNamespace.h"
#include "platform/MountTable.h"
#include "tree/CheckTree.h"
#include "tree/NameOrder.h"

namespace {

constexpr uint32_t SHOWN_FOLDER = NSATTR_FILESYSTEM | NSATTR_FILESYSANCESTOR | NSATTR_FOLDER;

FOLDERITEM FolderAt(const std::string& strPath, int nKind = CLinuxNamespace::NODE_FOLDER, bool bSlow = false) {
    FOLDERITEM item;
    item.nKind = nKind;
    item.nAttributes = SHOWN_FOLDER | NSATTR_HASSUBFOLDER;
    item.strName = strPath.substr(strPath.rfind('/') + 1);
    item.strPath = strPath;
    item.bSlow = bSlow;
    return item;
}

// Name -> (attributes, slow) of every child.
std::map<std::string, std::pair<uint32_t, bool>> Children(CLinuxNamespace& ns, const FOLDERITEM* pFolder,
                                                          int* pnResult = nullptr) {
    std::vector<FOLDERITEM> arChildren;
    int nResult = ns.EnumChildren(pFolder, arChildren);
    if (pnResult)
        *pnResult = nResult;
    std::map<std::string, std::pair<uint32_t, bool>> mapChildren;
    for (const FOLDERITEM& item : arChildren)
        mapChildren[item.strName] = {item.nAttributes, item.bSlow};
    return mapChildren;
}

void MakeDir(const std::string& strPath) {
    ASSERT_EQ(mkdir(strPath.c_str(), 0755), 0) << strPath;
}

class CFakeMountWatch : public IMountWatch {
public:
    bool m_bChanged = false;
    bool HasChanged() override { return std::exchange(m_bChanged, false); }
};

// A slow-read hook that hangs, as a dead server does, until released; it
// notes the threads it ran on. Shared with the helper threads, which may
// outlive the test.
class CHangingMount {
public:
    explicit CHangingMount(CLinuxNamespace& ns) : m_pState(std::make_shared<SState>()) {
        std::shared_ptr<SState> pState = m_pState;
        ns.SetSlowReadHook([pState](const std::string&) {
            std::unique_lock<std::mutex> lock(pState->mtx);
            pState->arThreads.push_back(std::this_thread::get_id());
            pState->cv.wait(lock, [&] { return !pState->bHang; });
        });
    }
    ~CHangingMount() { Release(); }
    void Release() {
        {
            std::lock_guard<std::mutex> lock(m_pState->mtx);
            m_pState->bHang = false;
        }
        m_pState->cv.notify_all();
    }
    // Every read so far ran on a thread other than this one.
    bool AllOnHelpers() {
        std::lock_guard<std::mutex> lock(m_pState->mtx);
        for (std::thread::id id : m_pState->arThreads)
            if (id == std::this_thread::get_id())
                return false;
        return !m_pState->arThreads.empty();
    }

private:
    struct SState {
        std::mutex mtx;
        std::condition_variable cv;
        bool bHang = true;
        std::vector<std::thread::id> arThreads;
    };
    std::shared_ptr<SState> m_pState;
};

TreeItem ChildByName(CFakeTreeItems& items, TreeItem hParent, const std::string& strName) {
    for (TreeItem h = items.GetChildItem(hParent); h; h = items.GetNextSiblingItem(h))
        if (items.GetRecord(h)->strName == strName)
            return h;
    return nullptr;
}

std::vector<std::string> ChildPaths(CFakeTreeItems& items, TreeItem hParent) {
    std::vector<std::string> arPaths;
    for (TreeItem h = items.GetChildItem(hParent); h; h = items.GetNextSiblingItem(h))
        arPaths.push_back(items.GetRecord(h)->strPath);
    return arPaths;
}

class LinuxNamespaceTest : public ::testing::Test {
protected:
    CTempDir m_tmp;
    CFakeDrives m_drives;
    CFakeMountWatch m_watch;
    CLinuxNamespace m_ns{&m_drives, m_tmp / "home", &m_watch};
};

TEST_F(LinuxNamespaceTest, SubfoldersAreRealShownFoldersWithRightButtons) {
    const std::string strRoot = m_tmp / "root";
    MakeDir(strRoot);
    for (const char* psz : {"plain", "deep", "deep/inner", "files", "hidden", "hidden/.git", "links", ".dot",
                            "bad\xff", "bad\xff/x"})
        MakeDir(strRoot + "/" + psz);
    CTempDir::WriteFile(strRoot + "/files/a.txt", "a");
    CTempDir::WriteFile(strRoot + "/afile", "a");
    ASSERT_EQ(symlink("../deep", (strRoot + "/links/todeep").c_str()), 0);
    ASSERT_EQ(symlink("deep", (strRoot + "/tolink").c_str()), 0);
    ASSERT_EQ(mkfifo((strRoot + "/pipe").c_str(), 0600), 0);

    FOLDERITEM folder = FolderAt(strRoot);
    std::vector<FOLDERITEM> arChildren;
    ASSERT_EQ(m_ns.EnumChildren(&folder, arChildren), ENUM_OK);
    std::map<std::string, FOLDERITEM> mapByName;
    for (FOLDERITEM& item : arChildren)
        mapByName[item.strName] = item;
    ASSERT_EQ(mapByName.size(), 6u);
    for (const char* psz : {"plain", "deep", "files", "hidden", "links", "bad\xff"}) {
        ASSERT_EQ(mapByName.count(psz), 1u) << psz;
        const FOLDERITEM& item = mapByName[psz];
        // Names and paths stay bytes, whatever their encoding.
        EXPECT_EQ(item.strPath, strRoot + "/" + psz);
        EXPECT_EQ(item.nKind, CLinuxNamespace::NODE_FOLDER);
        bool bHas = std::string(psz) == "deep" || std::string(psz) == "bad\xff";
        EXPECT_EQ(item.nAttributes, SHOWN_FOLDER | (bHas ? NSATTR_HASSUBFOLDER : 0)) << psz;
        EXPECT_FALSE(item.bSlow);
    }
    std::string strPath;
    EXPECT_TRUE(m_ns.GetFileSystemPath(mapByName["deep"], strPath));
    EXPECT_EQ(strPath, strRoot + "/deep");
}

TEST_F(LinuxNamespaceTest, GoneOrSwappedFoldersShowNothing) {
    const std::string strRoot = m_tmp / "root";
    MakeDir(strRoot);
    MakeDir(strRoot + "/real");
    MakeDir(strRoot + "/real/sub");
    FOLDERITEM gone = FolderAt(strRoot + "/gone");
    int nResult = ENUM_OK;
    EXPECT_TRUE(Children(m_ns, &gone, &nResult).empty());
    EXPECT_EQ(nResult, ENUM_FAILED);

    // A folder swapped for a link since it was listed is not followed; home
    // and drives may be links.
    ASSERT_EQ(symlink("real", (strRoot + "/swapped").c_str()), 0);
    FOLDERITEM swapped = FolderAt(strRoot + "/swapped");
    EXPECT_TRUE(Children(m_ns, &swapped, &nResult).empty());
    EXPECT_EQ(nResult, ENUM_FAILED);
    FOLDERITEM drive = FolderAt(strRoot + "/swapped", CLinuxNamespace::NODE_DRIVE);
    EXPECT_EQ(Children(m_ns, &drive).count("sub"), 1u);

}

TEST_F(LinuxNamespaceTest, UnreadableFolderShowsWithoutButtonAndReadsNothing) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind root";
    const std::string strRoot = m_tmp / "root";
    MakeDir(strRoot);
    MakeDir(strRoot + "/real");
    MakeDir(strRoot + "/real/sub");
    int nResult = ENUM_OK;
    ASSERT_EQ(chmod((strRoot + "/real").c_str(), 0), 0);
    FOLDERITEM root = FolderAt(strRoot);
    auto mapChildren = Children(m_ns, &root);
    ASSERT_EQ(mapChildren.count("real"), 1u);
    EXPECT_EQ(mapChildren["real"].first, SHOWN_FOLDER);  // cannot be opened: no button
    FOLDERITEM real = FolderAt(strRoot + "/real");
    EXPECT_TRUE(Children(m_ns, &real, &nResult).empty());
    EXPECT_EQ(nResult, ENUM_FAILED);
    chmod((strRoot + "/real").c_str(), 0755);
}

TEST_F(LinuxNamespaceTest, TopLevelIsComputerNetworkAndHome) {
    std::vector<FOLDERITEM> arTop;
    m_ns.EnumChildren(nullptr, arTop);
    ASSERT_EQ(arTop.size(), 2u);  // no home folder yet: none shown
    MakeDir(m_tmp / "home");
    m_ns.EnumChildren(nullptr, arTop);
    ASSERT_EQ(arTop.size(), 3u);
    EXPECT_EQ(arTop[0].strName, "Computer");
    EXPECT_EQ(arTop[1].strName, "Network");
    EXPECT_EQ(arTop[2].strName, "Home");
    const uint32_t nVirtual = NSATTR_FILESYSANCESTOR | NSATTR_FOLDER | NSATTR_HASSUBFOLDER;
    EXPECT_EQ(arTop[0].nAttributes, nVirtual);
    EXPECT_EQ(arTop[1].nAttributes, nVirtual);
    EXPECT_EQ(arTop[2].nAttributes, SHOWN_FOLDER);  // empty home: no button
    EXPECT_EQ(arTop[2].strPath, m_tmp / "home");
    std::string strPath;
    EXPECT_FALSE(m_ns.GetFileSystemPath(arTop[0], strPath));
    EXPECT_LT(m_ns.CompareItems(arTop[0], arTop[1]), 0);
    EXPECT_LT(m_ns.CompareItems(arTop[1], arTop[2]), 0);
}

TEST_F(LinuxNamespaceTest, ComputerShowsDrivesAndNeverTouchesNetworkMounts) {
    MakeDir(m_tmp / "a");
    MakeDir(m_tmp / "a/sub");
    MakeDir(m_tmp / "b");
    CTempDir::WriteFile(m_tmp / "file", "x");
    m_drives.m_arMounts = {
        {m_tmp / "a", DRIVE_TYPE_FIXED},
        {"/nonexistent/nfs", DRIVE_TYPE_REMOTE},       // a hung server looks the same: never asked
        {"/nonexistent/nfs/usb", DRIVE_TYPE_REMOVABLE},  // reached through the network mount
        {"/nonexistent/disk", DRIVE_TYPE_FIXED},       // no folder there: not shown
        {m_tmp / "file", DRIVE_TYPE_FIXED},            // a bound file: no drive
        {"/proc", DRIVE_TYPE_UNKNOWN},
        {m_tmp / "b", DRIVE_TYPE_FIXED},
        {m_tmp / "b", DRIVE_TYPE_RAMDISK},  // the later mount covers the earlier
    };
    FOLDERITEM computer;
    computer.nKind = CLinuxNamespace::NODE_COMPUTER;
    std::vector<FOLDERITEM> arDrives;
    ASSERT_EQ(m_ns.EnumChildren(&computer, arDrives), ENUM_OK);
    // In byte order of the mount paths, as the scan walks them.
    ASSERT_EQ(arDrives.size(), 4u);
    EXPECT_EQ(arDrives[2].strName, m_tmp / "a");
    EXPECT_EQ(arDrives[2].nAttributes, SHOWN_FOLDER | NSATTR_HASSUBFOLDER);
    EXPECT_EQ(arDrives[0].strPath, "/nonexistent/nfs");
    EXPECT_EQ(arDrives[0].nAttributes, SHOWN_FOLDER | NSATTR_HASSUBFOLDER);
    EXPECT_TRUE(arDrives[0].bSlow);
    EXPECT_EQ(arDrives[0].nIcon, ICON_DRIVE_REMOTE);
    EXPECT_EQ(arDrives[1].strPath, "/nonexistent/nfs/usb");
    EXPECT_TRUE(arDrives[1].bSlow);
    EXPECT_EQ(arDrives[3].strPath, m_tmp / "b");
    EXPECT_EQ(arDrives[3].nAttributes, SHOWN_FOLDER);
    EXPECT_EQ(arDrives[3].nIcon, ICON_DRIVE_RAMDISK);
    for (const FOLDERITEM& drive : arDrives)
        EXPECT_EQ(drive.nKind, CLinuxNamespace::NODE_DRIVE);

    FOLDERITEM network;
    network.nKind = CLinuxNamespace::NODE_NETWORK;
    std::vector<FOLDERITEM> arNetwork;
    m_ns.EnumChildren(&network, arNetwork);
    ASSERT_EQ(arNetwork.size(), 2u);
    EXPECT_EQ(arNetwork[0].strName, "Entire Network");
    EXPECT_EQ(arNetwork[0].nAttributes, NSATTR_FILESYSANCESTOR | NSATTR_FOLDER);
    EXPECT_EQ(arNetwork[1].strPath, "/nonexistent/nfs");
    EXPECT_TRUE(arNetwork[1].bSlow);
}

TEST_F(LinuxNamespaceTest, NetworkMountInsideALocalFolderIsNotRead) {
    const std::string strRoot = m_tmp / "root";
    MakeDir(strRoot);
    MakeDir(strRoot + "/nfs");  // empty: a read would say "no sub-folders"
    m_drives.m_arMounts = {{strRoot + "/nfs", DRIVE_TYPE_REMOTE}};
    FOLDERITEM root = FolderAt(strRoot);
    auto mapChildren = Children(m_ns, &root);
    ASSERT_EQ(mapChildren.count("nfs"), 1u);
    EXPECT_EQ(mapChildren["nfs"].first, SHOWN_FOLDER | NSATTR_HASSUBFOLDER);
    EXPECT_TRUE(mapChildren["nfs"].second);
}

TEST_F(LinuxNamespaceTest, SlowFolderKeepsTheWindowWaitingOnlyABoundedTime) {
    const std::string strSlow = m_tmp / "slow";
    MakeDir(strSlow);
    MakeDir(strSlow + "/x");
    m_drives.m_arMounts = {{strSlow, DRIVE_TYPE_REMOTE}};

    std::mutex mtx;
    std::condition_variable cv;
    bool bReleased = false;
    int nReads = 0;
    m_ns.SetSlowReadWait(100);
    m_ns.SetSlowReadHook([&](const std::string&) {
        std::unique_lock<std::mutex> lock(mtx);
        ++nReads;
        cv.wait(lock, [&] { return bReleased; });
    });

    FOLDERITEM slow = FolderAt(strSlow, CLinuxNamespace::NODE_DRIVE, true);
    auto tStart = std::chrono::steady_clock::now();
    // The window is served all along the wait, never left 100 ms alone.
    auto tServed = tStart;
    std::chrono::steady_clock::duration longestGap{};
    m_ns.SetWaitServer([&] {
        auto tNow = std::chrono::steady_clock::now();
        longestGap = std::max(longestGap, tNow - tServed);
        tServed = tNow;
    });
    int nResult = ENUM_OK;
    m_ns.SetSlowReadWait(500);
    EXPECT_TRUE(Children(m_ns, &slow, &nResult).empty());
    EXPECT_EQ(nResult, ENUM_TIMEOUT);
    EXPECT_GT(tServed - tStart, std::chrono::milliseconds(400));
    EXPECT_LT(longestGap, std::chrono::milliseconds(100));
    m_ns.SetWaitServer(nullptr);
    m_ns.SetSlowReadWait(100);
    EXPECT_TRUE(Children(m_ns, &slow, &nResult).empty());  // waits on the same read
    EXPECT_EQ(nResult, ENUM_TIMEOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - tStart, std::chrono::seconds(3));

    {
        std::lock_guard<std::mutex> lock(mtx);
        bReleased = true;
    }
    cv.notify_all();
    m_ns.SetSlowReadWait(10000);
    auto mapChildren = Children(m_ns, &slow, &nResult);
    EXPECT_EQ(nResult, ENUM_OK);
    ASSERT_EQ(mapChildren.count("x"), 1u);
    // Below a network mount, buttons are assumed, not read.
    EXPECT_EQ(mapChildren["x"].first, SHOWN_FOLDER | NSATTR_HASSUBFOLDER);
    EXPECT_TRUE(mapChildren["x"].second);
    std::lock_guard<std::mutex> lock(mtx);
    EXPECT_EQ(nReads, 1);
}

TEST_F(LinuxNamespaceTest, SystemMountsAreNoFoldersToTick) {
    const std::string strRoot = m_tmp / "root";
    MakeDir(strRoot);
    MakeDir(strRoot + "/pseudo");
    MakeDir(strRoot + "/plain");
    m_drives.m_arMounts = {{strRoot + "/pseudo", DRIVE_TYPE_UNKNOWN}};
    FOLDERITEM root = FolderAt(strRoot);
    auto mapChildren = Children(m_ns, &root);
    EXPECT_EQ(mapChildren.count("pseudo"), 0u);
    EXPECT_EQ(mapChildren.count("plain"), 1u);

    // Known by its device, whatever place the table gives it: /proc is proc
    // everywhere.
    struct stat st;
    ASSERT_EQ(stat("/proc", &st), 0);
    m_drives.m_arMounts = {{"/elsewhere", DRIVE_TYPE_UNKNOWN, st.st_dev}};
    FOLDERITEM slash = FolderAt("/", CLinuxNamespace::NODE_DRIVE);
    mapChildren = Children(m_ns, &slash);
    EXPECT_EQ(mapChildren.count("proc"), 0u);
    EXPECT_EQ(mapChildren.count("etc"), 1u);
}

TEST_F(LinuxNamespaceTest, AutomountPointIsLeftToTheHelperWhateverPathReachesIt) {
    const std::string strRoot = m_tmp / "root";
    MakeDir(strRoot);
    MakeDir(strRoot + "/auto");  // empty: a read would say "no sub-folders"
    ASSERT_EQ(symlink("root", (m_tmp / "via").c_str()), 0);
    CMount automount{strRoot + "/auto", CMountTable::ClassifyFileSystem("autofs", false)};
    automount.bAutomount = true;
    m_drives.m_arMounts = {automount};
    CHangingMount hang(m_ns);
    m_ns.SetSlowReadWait(100);

    FOLDERITEM via = FolderAt(m_tmp / "via", CLinuxNamespace::NODE_DRIVE);
    std::vector<FOLDERITEM> arChildren;
    ASSERT_EQ(m_ns.EnumChildren(&via, arChildren), ENUM_OK);
    ASSERT_EQ(arChildren.size(), 1u);
    EXPECT_TRUE(arChildren[0].bSlow);
    EXPECT_EQ(arChildren[0].nAttributes, SHOWN_FOLDER | NSATTR_HASSUBFOLDER);

    auto tStart = std::chrono::steady_clock::now();
    FOLDERITEM automountItem = arChildren[0];
    EXPECT_EQ(m_ns.EnumChildren(&automountItem, arChildren), ENUM_TIMEOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - tStart, std::chrono::seconds(2));
    EXPECT_TRUE(hang.AllOnHelpers());
}

// Home is a link into a network share: found out by its device on a helper,
// never read on the window's thread, and a read that does not answer shows
// one note until it does.
TEST_F(LinuxNamespaceTest, HomeLinkedIntoASlowMountIsReadOnlyByTheHelper) {
    MakeDir(m_tmp / "share");
    MakeDir(m_tmp / "share/docs");
    ASSERT_EQ(symlink("share", (m_tmp / "home").c_str()), 0);
    struct stat st;
    ASSERT_EQ(stat((m_tmp / "share").c_str(), &st), 0);
    m_drives.m_arMounts = {{"/elsewhere/share", DRIVE_TYPE_REMOTE, st.st_dev}};
    auto pHang = std::make_unique<CHangingMount>(m_ns);
    m_ns.SetSlowReadWait(100);

    // Even the first look at home does not answer: shown untouched.
    CFakeTreeItems items;
    CCheckTree tree(items, m_ns);
    auto tStart = std::chrono::steady_clock::now();
    tree.FillRoot();
    TreeItem hHome = ChildByName(items, nullptr, "Home");
    ASSERT_NE(hHome, nullptr);
    EXPECT_TRUE(items.GetRecord(hHome)->bSlow);
    tree.ItemExpanding(hHome);
    EXPECT_LT(std::chrono::steady_clock::now() - tStart, std::chrono::seconds(2));
    EXPECT_EQ(items.ChildTexts(hHome), std::vector<std::string>{"(not responding)"});
    EXPECT_EQ(items.GetCheck(items.GetChildItem(hHome)), CHECK_NONE);
    EXPECT_TRUE(CFakeTreeItems::Node(hHome)->bHasChildren);
    EXPECT_TRUE(pHang->AllOnHelpers());

    // The share answers: the next expansion shows its folders.
    pHang->Release();
    m_ns.SetSlowReadWait(10000);
    tree.ItemExpanding(hHome);
    EXPECT_EQ(items.ChildTexts(hHome), std::vector<std::string>{"docs"});

    // Looked at in time, home is still known for slow by its device alone.
    std::vector<FOLDERITEM> arTop;
    m_ns.EnumChildren(nullptr, arTop);
    ASSERT_EQ(arTop.size(), 3u);
    EXPECT_TRUE(arTop[2].bSlow);
    EXPECT_EQ(arTop[2].nAttributes, SHOWN_FOLDER | NSATTR_HASSUBFOLDER);
}

TEST_F(LinuxNamespaceTest, DrivesFollowTheMountTableAndOtherItemsKeepTheirState) {
    for (const char* psz : {"a", "a/docs", "a/music", "b", "c", "share"})
        MakeDir(m_tmp / psz);
    const std::string strA = m_tmp / "a", strB = m_tmp / "b", strC = m_tmp / "c", strShare = m_tmp / "share";
    m_drives.m_arMounts = {{strA, DRIVE_TYPE_FIXED}, {strC, DRIVE_TYPE_FIXED}};
    CFakeTreeItems items;
    CCheckTree tree(items, m_ns);
    tree.FillRoot();
    TreeItem hComputer = ChildByName(items, nullptr, "Computer");
    TreeItem hNetwork = ChildByName(items, nullptr, "Network");
    TreeItem hA = ChildByName(items, hComputer, strA);
    TreeItem hC = ChildByName(items, hComputer, strC);
    ASSERT_TRUE(hNetwork && hA && hC);
    tree.ItemExpanding(hA);
    items.ExpandItem(hA);
    tree.ToggleCheck(ChildByName(items, hA, "docs"));
    tree.ItemExpanding(hNetwork);
    ASSERT_EQ(items.ChildTexts(hNetwork), std::vector<std::string>{"Entire Network"});

    // Mounted: a disk and a share. Nothing moves until the watch says so.
    m_drives.m_arMounts.push_back({strB, DRIVE_TYPE_FIXED});
    m_drives.m_arMounts.push_back({strShare, DRIVE_TYPE_REMOTE});
    tree.FollowDrives();
    EXPECT_EQ(ChildPaths(items, hComputer), (std::vector<std::string>{strA, strC}));
    m_watch.m_bChanged = true;
    tree.FollowDrives();
    EXPECT_EQ(ChildPaths(items, hComputer), (std::vector<std::string>{strA, strB, strC, strShare}));
    EXPECT_EQ(ChildPaths(items, hNetwork), std::vector<std::string>{strShare});
    TreeItem hB = ChildByName(items, hComputer, strB);
    EXPECT_EQ(items.GetCheck(hB), CHECK_OFF);
    EXPECT_EQ(ChildByName(items, hComputer, strA), hA);
    EXPECT_TRUE(CFakeTreeItems::Node(hA)->bExpanded);
    EXPECT_EQ(items.GetCheck(ChildByName(items, hA, "docs")), CHECK_ON);
    EXPECT_EQ(items.GetCheck(hA), CHECK_PARTIAL);
    EXPECT_EQ(items.GetCheck(hComputer), CHECK_PARTIAL);

    // Unmounted: the disk with the tick and the share. Computer has no tick left.
    m_drives.m_arMounts = {{strB, DRIVE_TYPE_FIXED}, {strC, DRIVE_TYPE_FIXED}};
    m_watch.m_bChanged = true;
    tree.FollowDrives();
    EXPECT_EQ(ChildPaths(items, hComputer), (std::vector<std::string>{strB, strC}));
    EXPECT_EQ(ChildByName(items, hComputer, strB), hB);
    EXPECT_EQ(ChildByName(items, hComputer, strC), hC);
    EXPECT_EQ(items.GetCheck(hComputer), CHECK_OFF);
    EXPECT_EQ(items.ChildTexts(hNetwork), std::vector<std::string>{"Entire Network"});

    // Under a ticked "Computer" a new drive comes ticked, as every drive is.
    tree.ToggleCheck(hComputer);
    m_drives.m_arMounts.push_back({strA, DRIVE_TYPE_FIXED});
    m_watch.m_bChanged = true;
    tree.FollowDrives();
    EXPECT_EQ(items.GetCheck(ChildByName(items, hComputer, strA)), CHECK_ON);
    EXPECT_EQ(items.GetCheck(hComputer), CHECK_ON);
}

TEST_F(LinuxNamespaceTest, ItemOrder) {
    FOLDERITEM drive1 = FolderAt("/b", CLinuxNamespace::NODE_DRIVE);
    FOLDERITEM drive2 = FolderAt("/a/z", CLinuxNamespace::NODE_DRIVE);
    FOLDERITEM folder1 = FolderAt("/x/disk10");
    FOLDERITEM folder2 = FolderAt("/y/Disk9");
    EXPECT_GT(m_ns.CompareItems(drive1, drive2), 0);  // by mount path bytes
    EXPECT_GT(m_ns.CompareItems(folder1, folder2), 0);  // by name, naturally
    EXPECT_LT(m_ns.CompareItems(drive1, folder1), 0);
}

// 50,000 sub-folders through the real fill: none lost, all in order, every
// button right. In memory where there is a memory file system: the same
// rules, a fraction of the time.
TEST_F(LinuxNamespaceTest, FiftyThousandSubfolders) {
    struct stat st;
    CTempDir tmp(stat("/dev/shm", &st) == 0 && access("/dev/shm", W_OK) == 0 ? "/dev/shm" : nullptr);
    const std::string strRoot = tmp / "wide";
    MakeDir(strRoot);
    int nRootFd = open(strRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(nRootFd, 0);
    constexpr int COUNT = 50000;
    // Removed here: the temporary folder's own removal rereads a folder
    // after every entry it deletes.
    struct SCleanup {
        int nFd;
        ~SCleanup() {
            for (int i = 0; i < COUNT; ++i) {
                std::string strName = "Dir " + std::to_string(i);
                unlinkat(nFd, (strName + "/sub").c_str(), AT_REMOVEDIR);
                unlinkat(nFd, strName.c_str(), AT_REMOVEDIR);
            }
            close(nFd);
        }
    } cleanup{nRootFd};
    std::vector<int> arOrder(COUNT);
    for (int i = 0; i < COUNT; ++i)
        arOrder[i] = i;
    std::shuffle(arOrder.begin(), arOrder.end(), std::mt19937(7));
    for (int i : arOrder) {
        std::string strName = "Dir " + std::to_string(i);
        ASSERT_EQ(mkdirat(nRootFd, strName.c_str(), 0755), 0);
        if (i % 97 == 0) {
            ASSERT_EQ(mkdirat(nRootFd, (strName + "/sub").c_str(), 0755), 0);
        }
    }

    CFakeTreeItems items;
    CCheckTree tree(items, m_ns);
    FOLDERITEM folder = FolderAt(strRoot);
    TreeItem hRoot = items.InsertItem(nullptr, nullptr, std::move(folder));
    tree.ItemExpanding(hRoot);

    int nSeen = 0;
    for (TreeItem h = items.GetChildItem(hRoot); h; h = items.GetNextSiblingItem(h), ++nSeen) {
        ASSERT_EQ(items.GetRecord(h)->strName, "Dir " + std::to_string(nSeen));
        ASSERT_EQ(CFakeTreeItems::Node(h)->bHasChildren, nSeen % 97 == 0) << nSeen;
    }
    EXPECT_EQ(nSeen, COUNT);
}

}  // namespace
