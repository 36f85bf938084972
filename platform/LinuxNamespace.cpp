#include "platform/LinuxNamespace.h"

#include "platform/UserHome.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <pwd.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "base/Diagnostics.h"
#include "scan/Mounts.h"

#include "platform/MountTable.h"
#include "tree/NameOrder.h"

namespace {

enum EProbe { PROBE_GONE, PROBE_EMPTY, PROBE_HAS };

bool IsDotName(const char* pszName) {
    return pszName[0] == '.';
}

// File systems whose directories count their sub-directories in the link
// count (2 + sub-directories), so a count of 2 says "none" without a read.
bool LinkCountIsExact(long nFsType) {
    switch (static_cast<unsigned long>(nFsType)) {
    case 0xEF53:      // ext2, ext3, ext4
    case 0x58465342:  // xfs
    case 0x01021994:  // tmpfs
        return true;
    default:
        return false;
    }
}

// Reads an open folder only until its first shown sub-folder.
bool HasShownSubfolder(int nFd) {
    alignas(8) char arBuf[8192];
    for (;;) {
        ssize_t nRead = getdents64(nFd, arBuf, sizeof arBuf);
        if (nRead <= 0)
            return false;
        for (ssize_t nOff = 0; nOff < nRead;) {
            const auto* pEntry = reinterpret_cast<const struct dirent64*>(arBuf + nOff);
            nOff += pEntry->d_reclen;
            const char* pszName = pEntry->d_name;
            if (IsDotName(pszName))
                continue;
            if (pEntry->d_type == DT_DIR)
                return true;
            if (pEntry->d_type == DT_UNKNOWN) {
                struct stat st;
                if (fstatat(nFd, pszName, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode))
                    return true;
            }
        }
    }
}

EProbe ProbeAt(int nDirFd, const char* pszName, int nExtraFlags) {
    int nFd = openat(nDirFd, pszName, O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC | nExtraFlags);
    if (nFd < 0) {
        // Gone, or no longer a folder (a link or file took its place): not
        // shown. Anything else (no access) shows without an expand button.
        return errno == ENOENT || errno == ENOTDIR || errno == ELOOP ? PROBE_GONE : PROBE_EMPTY;
    }
    EProbe eProbe = HasShownSubfolder(nFd) ? PROBE_HAS : PROBE_EMPTY;
    close(nFd);
    return eProbe;
}

// pSt: the child as fstatat saw it, nullptr when it could not look.
EProbe ProbeChild(int nDirFd, const char* pszName, dev_t nFolderDev, bool bLinkCountExact, const struct stat* pSt) {
    // A mount point's count belongs to another file system: read it.
    if (bLinkCountExact && pSt && pSt->st_dev == nFolderDev && pSt->st_nlink == 2)
        return PROBE_EMPTY;
    return ProbeAt(nDirFd, pszName, O_NOFOLLOW);
}

bool IsAtOrUnderAny(const std::string& strPath, const std::unordered_set<std::string>& setPlaces) {
    for (const std::string& strPlace : setPlaces) {
        if (strPath.compare(0, strPlace.size(), strPlace) != 0)
            continue;
        if (strPath.size() == strPlace.size() || strPlace.back() == '/' || strPath[strPlace.size()] == '/')
            return true;
    }
    return false;
}

// Where an open folder really is, whatever path reached it, as the mount
// table names places; "" when /proc cannot say.
std::string RealPathOf(int nFd) {
    char szLink[32];
    snprintf(szLink, sizeof szLink, "/proc/self/fd/%d", nFd);
    char szPath[PATH_MAX];
    ssize_t nLen = readlink(szLink, szPath, sizeof szPath);
    if (nLen <= 0 || nLen >= static_cast<ssize_t>(sizeof szPath) || szPath[0] != '/')
        return std::string();
    return std::string(szPath, static_cast<size_t>(nLen));
}

FOLDERITEM MakeHomeItem(const std::string& strHome, bool bSlow, bool bHasSubfolders) {
    FOLDERITEM home;
    home.nKind = CLinuxNamespace::NODE_HOME;
    home.nAttributes = NSATTR_FILESYSTEM | NSATTR_FILESYSANCESTOR | NSATTR_FOLDER |
                       (bHasSubfolders ? NSATTR_HASSUBFOLDER : 0);
    home.strName = CLinuxNamespace::TextHome();
    home.strPath = strHome;
    home.bSlow = bSlow;
    home.nIcon = home.nOpenIcon = ICON_HOME;
    return home;
}

// Home as the tree shows it, judged by where it really is: run on a helper
// thread, since finding that out may already hang.
int LookAtHome(const std::string& strHome, const CLinuxNamespace::SMountSets& mounts, std::vector<FOLDERITEM>& arOut) {
    arOut.clear();
    std::string strReal = strHome;
    if (char* pszReal = realpath(strHome.c_str(), nullptr)) {
        strReal = pszReal;
        free(pszReal);
    } else if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP) {
        return ENUM_FAILED;
    }
    struct stat st;
    bool bSlow = IsAtOrUnderAny(strReal, mounts.setSlowMounts) ||
                 (stat(strReal.c_str(), &st) == 0 && mounts.setSlowDevs.count(st.st_dev) != 0);
    EProbe eProbe = bSlow ? PROBE_HAS : ProbeAt(AT_FDCWD, strHome.c_str(), 0);
    if (eProbe == PROBE_GONE)
        return ENUM_FAILED;
    arOut.push_back(MakeHomeItem(strHome, bSlow, eProbe == PROBE_HAS));
    return ENUM_OK;
}

uint8_t DriveIcon(int nType) {
    switch (nType) {
    case DRIVE_TYPE_REMOVABLE: return ICON_DRIVE_REMOVABLE;
    case DRIVE_TYPE_REMOTE: return ICON_DRIVE_REMOTE;
    case DRIVE_TYPE_CDROM: return ICON_DRIVE_CDROM;
    case DRIVE_TYPE_RAMDISK: return ICON_DRIVE_RAMDISK;
    default: return ICON_DRIVE_FIXED;
    }
}

FOLDERITEM MakeVirtual(int nKind, const char* pszName, uint32_t nAttributes, uint8_t nIcon) {
    FOLDERITEM item;
    item.nKind = nKind;
    item.nAttributes = nAttributes;
    item.strName = pszName;
    item.nIcon = item.nOpenIcon = nIcon;
    return item;
}

int KindRank(int nKind) {
    switch (nKind) {
    case CLinuxNamespace::NODE_COMPUTER: return 0;
    case CLinuxNamespace::NODE_NETWORK: return 1;
    case CLinuxNamespace::NODE_HOME: return 2;
    case CLinuxNamespace::NODE_PLACEHOLDER: return 3;
    case CLinuxNamespace::NODE_DRIVE: return 4;
    case CLinuxNamespace::NODE_FOLDER: return 5;
    default: return 6;
    }
}

}  // namespace

struct CLinuxNamespace::SSlowRead {
    std::mutex mtx;
    std::condition_variable cv;
    bool bDone = false;
    int nResult = ENUM_FAILED;
    std::vector<FOLDERITEM> arChildren;
    // The thread's own copies: it may outlive the namespace.
    std::string strPath;
    FnSlowWork fnWork;
    FnSlowReadHook fnHook;

    static void* ThreadMain(void* pArg) {
        std::unique_ptr<std::shared_ptr<SSlowRead>> pHold(static_cast<std::shared_ptr<SSlowRead>*>(pArg));
        SSlowRead& read = **pHold;
        if (read.fnHook)
            read.fnHook(read.strPath);
        std::vector<FOLDERITEM> arChildren;
        int nResult = read.fnWork(arChildren);
        {
            std::lock_guard<std::mutex> lock(read.mtx);
            read.arChildren = std::move(arChildren);
            read.nResult = nResult;
            read.bDone = true;
        }
        read.cv.notify_all();
        return nullptr;
    }
};

CLinuxNamespace::CLinuxNamespace(IDriveSource* pDrives, std::string strHome, IMountWatch* pWatch)
    : m_pDrives(pDrives), m_strHome(std::move(strHome)), m_pWatch(pWatch) {
    if (!m_pDrives) {
        m_pOwnDrives = std::make_unique<CMountTable>();
        m_pDrives = m_pOwnDrives.get();
    }
    if (!m_pWatch) {
        m_pOwnWatch = std::make_unique<CMountWatch>();
        m_pWatch = m_pOwnWatch.get();
    }
}

CLinuxNamespace::~CLinuxNamespace() = default;

std::string CLinuxNamespace::FindHome() const {
    if (!m_strHome.empty())
        return m_strHome;
    return UserHomeFolder();
}

void CLinuxNamespace::RefreshMounts() {
    std::vector<CMount> arMounts = OneDrivePerMount(m_pDrives->GetMounts());
    m_mounts = SMountSets();
    std::unordered_set<uint64_t> setStorageDevs;
    for (const CMount& mount : arMounts) {
        if (mount.nType == DRIVE_TYPE_REMOTE || mount.bAutomount) {
            m_mounts.setSlowMounts.insert(mount.strPath);
            if (mount.nDev)
                m_mounts.setSlowDevs.insert(mount.nDev);
        } else if (IsWalkableDriveType(mount.nType)) {
            if (mount.nDev)
                setStorageDevs.insert(mount.nDev);
        } else {
            m_mounts.setSystemMounts.insert(mount.strPath);
            if (mount.nDev)
                m_mounts.setSystemDevs.insert(mount.nDev);
        }
    }
    // Bind mounts share their device: one that also carries storage is not
    // the system's alone.
    for (uint64_t nDev : setStorageDevs)
        m_mounts.setSystemDevs.erase(nDev);
    m_arDrives = UserDrives(std::move(arMounts));
}

bool CLinuxNamespace::IsSlowPath(const std::string& strPath) const {
    return IsAtOrUnderAny(strPath, m_mounts.setSlowMounts);
}

bool CLinuxNamespace::DrivesChanged() {
    return m_pWatch->HasChanged();
}

bool CLinuxNamespace::FollowsDrives(const FOLDERITEM& folder) {
    return folder.nKind == NODE_COMPUTER || folder.nKind == NODE_NETWORK;
}

FOLDERITEM CLinuxNamespace::MakeDrive(const CMount& mount, bool bSlow, bool bHasSubfolders) const {
    FOLDERITEM item;
    item.nKind = NODE_DRIVE;
    item.nAttributes = NSATTR_FILESYSTEM | NSATTR_FILESYSANCESTOR | NSATTR_FOLDER |
                       (bHasSubfolders ? NSATTR_HASSUBFOLDER : 0);
    item.strName = mount.strPath;
    item.strPath = mount.strPath;
    item.bSlow = bSlow;
    item.nIcon = item.nOpenIcon = DriveIcon(mount.nType);
    return item;
}

int CLinuxNamespace::EnumChildren(const FOLDERITEM* pFolder, std::vector<FOLDERITEM>& arChildren) {
    arChildren.clear();
    if (!pFolder) {
        RefreshMounts();
        const uint32_t nVirtual = NSATTR_FILESYSANCESTOR | NSATTR_FOLDER | NSATTR_HASSUBFOLDER;
        arChildren.push_back(MakeVirtual(NODE_COMPUTER, TextComputer(), nVirtual, ICON_COMPUTER));
        arChildren.push_back(MakeVirtual(NODE_NETWORK, TextNetwork(), nVirtual, ICON_NETWORK));
        FOLDERITEM home;
        if (MakeHome(home))
            arChildren.push_back(std::move(home));
        return ENUM_OK;
    }

    switch (pFolder->nKind) {
    case NODE_COMPUTER:
        RefreshMounts();
        for (const CMount& mount : m_arDrives) {
            // Network mounts, automount points and anything below one are
            // shown untouched.
            if (IsSlowPath(mount.strPath)) {
                arChildren.push_back(MakeDrive(mount, true, true));
                continue;
            }
            // A mount that is not a folder (a bound file) is no drive to show.
            EProbe eProbe = ProbeAt(AT_FDCWD, mount.strPath.c_str(), 0);
            if (eProbe != PROBE_GONE)
                arChildren.push_back(MakeDrive(mount, false, eProbe == PROBE_HAS));
        }
        return ENUM_OK;
    case NODE_NETWORK:
        RefreshMounts();
        arChildren.push_back(MakeVirtual(NODE_PLACEHOLDER, TextEntireNetwork(),
                                         NSATTR_FILESYSANCESTOR | NSATTR_FOLDER, ICON_NETWORK_PLACE));
        for (const CMount& mount : m_arDrives) {
            if (mount.nType == DRIVE_TYPE_REMOTE)
                arChildren.push_back(MakeDrive(mount, true, true));
        }
        return ENUM_OK;
    case NODE_HOME:
    case NODE_DRIVE:
    case NODE_FOLDER:
        return ReadFolder(*pFolder, arChildren);
    default:
        return ENUM_OK;
    }
}

bool CLinuxNamespace::MakeHome(FOLDERITEM& home) {
    std::string strHome = FindHome();
    if (strHome.empty())
        return false;
    std::vector<FOLDERITEM> arOut;
    int nResult = ENUM_TIMEOUT;  // known slow by its path: not even looked at
    if (!IsSlowPath(strHome)) {
        SMountSets mounts = m_mounts;
        // Keys of folder reads are absolute paths; this one cannot be one.
        nResult = RunBounded("~" + strHome, strHome,
                             [strHome, mounts](std::vector<FOLDERITEM>& arOut) {
                                 return LookAtHome(strHome, mounts, arOut);
                             },
                             arOut);
    }
    if (nResult == ENUM_FAILED)
        return false;
    if (nResult == ENUM_OK && arOut.size() == 1)
        home = std::move(arOut[0]);
    else
        home = MakeHomeItem(strHome, true, true);  // shown as a network folder is, untouched
    return true;
}

int CLinuxNamespace::ReadFolder(const FOLDERITEM& folder, std::vector<FOLDERITEM>& arChildren) {
    if (folder.strPath.empty())
        return ENUM_FAILED;
    // Fresh each time: a network file system may have been mounted here
    // since the folder was listed.
    RefreshMounts();
    SReadRequest req;
    req.strFolder = folder.strPath;
    req.bFollowLink = folder.nKind != NODE_FOLDER;
    req.bSlow = folder.bSlow || IsSlowPath(folder.strPath);
    req.mounts = m_mounts;
    if (req.bSlow) {
        return RunBounded(req.strFolder, req.strFolder,
                          [req](std::vector<FOLDERITEM>& arOut) { return ReadSubfolders(req, arOut); }, arChildren);
    }
    return ReadSubfolders(req, arChildren);
}

int CLinuxNamespace::RunBounded(const std::string& strKey, const std::string& strPath, FnSlowWork fnWork,
                                std::vector<FOLDERITEM>& arOut) {
    arOut.clear();
    std::shared_ptr<SSlowRead> pRead;
    auto it = m_mapSlowReads.find(strKey);
    if (it != m_mapSlowReads.end()) {
        pRead = it->second;
    } else {
        pRead = std::make_shared<SSlowRead>();
        pRead->strPath = strPath;
        pRead->fnWork = std::move(fnWork);
        pRead->fnHook = m_fnSlowReadHook;
        auto* pArg = new std::shared_ptr<SSlowRead>(pRead);
        pthread_attr_t attr;
        pthread_attr_init(&attr);
        pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
        pthread_t thread;
        int nError = pthread_create(&thread, &attr, SSlowRead::ThreadMain, pArg);
        pthread_attr_destroy(&attr);
        if (nError != 0) {
            delete pArg;
            return ENUM_TIMEOUT;  // no thread now; the next expansion tries again
        }
        m_mapSlowReads.emplace(strKey, pRead);
    }

    // Waited for in short slices, the window served between them.
    const auto tEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_nSlowWaitMs);
    std::unique_lock<std::mutex> lock(pRead->mtx);
    for (;;) {
        const auto tNow = std::chrono::steady_clock::now();
        if (tNow >= tEnd) {
            Diagnose("folder on a slow mount did not answer in time; tried again at the next expansion", strPath);
            return ENUM_TIMEOUT;
        }
        auto tSlice = m_fnServe ? std::min(tEnd, tNow + std::chrono::milliseconds(SERVE_SLICE_MS)) : tEnd;
        if (pRead->cv.wait_until(lock, tSlice, [&] { return pRead->bDone; }))
            break;
        if (m_fnServe) {
            lock.unlock();
            m_fnServe();
            lock.lock();
        }
    }
    arOut = std::move(pRead->arChildren);
    int nResult = pRead->nResult;
    lock.unlock();
    m_mapSlowReads.erase(strKey);
    return nResult;
}

int CLinuxNamespace::ReadSubfolders(const SReadRequest& req, std::vector<FOLDERITEM>& arChildren) {
    arChildren.clear();
    int nFlags = O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC | (req.bFollowLink ? 0 : O_NOFOLLOW);
    int nFd = open(req.strFolder.c_str(), nFlags);
    if (nFd < 0)
        return ENUM_FAILED;
    struct stat stFolder;
    struct statfs fsFolder;
    bool bLinkCountExact = false;
    dev_t nFolderDev = 0;
    if (fstat(nFd, &stFolder) == 0 && fstatfs(nFd, &fsFolder) == 0) {
        nFolderDev = stFolder.st_dev;
        bLinkCountExact = LinkCountIsExact(fsFolder.f_type);
    }
    DIR* pDir = fdopendir(nFd);
    if (!pDir) {
        close(nFd);
        return ENUM_FAILED;
    }
    const int nDirFd = dirfd(pDir);

    std::string strBase = req.strFolder;
    if (strBase.empty() || strBase.back() != '/')
        strBase += '/';
    // Mount points are matched by the folder's real place, not by the path
    // that reached it.
    std::string strRealBase = RealPathOf(nDirFd);
    if (strRealBase.empty())
        strRealBase = req.strFolder;
    if (strRealBase.back() != '/')
        strRealBase += '/';
    std::string strChild;
    std::string strRealChild;
    // A read error part way keeps what was read: those folders exist.
    while (const dirent* pEntry = readdir(pDir)) {
        const char* pszName = pEntry->d_name;
        if (IsDotName(pszName))
            continue;
        strChild.assign(strBase).append(pszName);
        if (strChild.size() >= PATH_MAX)
            continue;  // no path the scan could take
        if (pEntry->d_type != DT_DIR && pEntry->d_type != DT_UNKNOWN)
            continue;  // links, files and devices
        strRealChild.assign(strRealBase).append(pszName);
        if (req.mounts.setSystemMounts.count(strRealChild))
            continue;  // proc, sysfs and the like: nothing to scan
        const bool bSlowMount = req.mounts.setSlowMounts.count(strRealChild) != 0;
        bool bSlow = req.bSlow || bSlowMount;

        // A slow mount point is never looked at from here: even a look may
        // hang. fstatat does not trigger an automount; opening would.
        struct stat st;
        bool bStat = false;
        if (!bSlowMount && (pEntry->d_type == DT_UNKNOWN || !req.bSlow)) {
            if (fstatat(nDirFd, pszName, &st, AT_SYMLINK_NOFOLLOW) == 0) {
                if (!S_ISDIR(st.st_mode))
                    continue;
                bStat = true;
            } else if (pEntry->d_type == DT_UNKNOWN || errno == ENOENT) {
                continue;
            }
            // Another file system mounted here, known by its device.
            if (bStat && st.st_dev != nFolderDev) {
                if (req.mounts.setSystemDevs.count(st.st_dev))
                    continue;
                if (req.mounts.setSlowDevs.count(st.st_dev))
                    bSlow = true;
            }
        }

        bool bHasSubfolders = true;  // assumed on network mounts, never read there
        if (!bSlow) {
            EProbe eProbe = ProbeChild(nDirFd, pszName, nFolderDev, bLinkCountExact, bStat ? &st : nullptr);
            if (eProbe == PROBE_GONE)
                continue;
            bHasSubfolders = eProbe == PROBE_HAS;
        }
        FOLDERITEM item;
        item.nKind = NODE_FOLDER;
        item.nAttributes = NSATTR_FILESYSTEM | NSATTR_FILESYSANCESTOR | NSATTR_FOLDER |
                           (bHasSubfolders ? NSATTR_HASSUBFOLDER : 0);
        item.strName.assign(pszName);
        item.strPath = strChild;
        item.bSlow = bSlow;
        item.nIcon = ICON_FOLDER;
        item.nOpenIcon = ICON_FOLDER_OPEN;
        arChildren.push_back(std::move(item));
    }
    closedir(pDir);
    return ENUM_OK;
}

int CLinuxNamespace::CompareItems(const FOLDERITEM& item1, const FOLDERITEM& item2) {
    int nRank1 = KindRank(item1.nKind);
    int nRank2 = KindRank(item2.nKind);
    if (nRank1 != nRank2)
        return nRank1 < nRank2 ? -1 : 1;
    // Drives in the order the scan walks them; folders as a file manager
    // lists them.
    if (item1.nKind == NODE_DRIVE) {
        int n = item1.strPath.compare(item2.strPath);
        return n < 0 ? -1 : n > 0 ? 1 : 0;
    }
    return CompareNames(item1.strName, item2.strName);
}

bool CLinuxNamespace::GetFileSystemPath(const FOLDERITEM& item, std::string& strPath) {
    if (!(item.nAttributes & NSATTR_FILESYSTEM) || item.strPath.empty())
        return false;
    strPath = item.strPath;
    return true;
}
