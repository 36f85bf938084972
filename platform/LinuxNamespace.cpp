#include "platform/LinuxNamespace.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <pwd.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "scan/Mounts.h"
#include "scan/Diagnostics.h"

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

EProbe ProbeChild(int nDirFd, const char* pszName, dev_t nFolderDev, bool bLinkCountExact) {
    if (bLinkCountExact) {
        struct stat st;
        if (fstatat(nDirFd, pszName, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return errno == ENOENT ? PROBE_GONE : PROBE_EMPTY;
        if (!S_ISDIR(st.st_mode))
            return PROBE_GONE;
        // A mount point's count belongs to another file system: read it.
        if (st.st_dev == nFolderDev && st.st_nlink == 2)
            return PROBE_EMPTY;
    }
    return ProbeAt(nDirFd, pszName, O_NOFOLLOW);
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
    SReadRequest req;
    FnSlowReadHook fnHook;

    static void* ThreadMain(void* pArg) {
        std::unique_ptr<std::shared_ptr<SSlowRead>> pHold(static_cast<std::shared_ptr<SSlowRead>*>(pArg));
        SSlowRead& read = **pHold;
        if (read.fnHook)
            read.fnHook(read.req.strFolder);
        std::vector<FOLDERITEM> arChildren;
        int nResult = ReadSubfolders(read.req, arChildren);
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

CLinuxNamespace::CLinuxNamespace(IDriveSource* pDrives, std::string strHome)
    : m_pDrives(pDrives), m_strHome(std::move(strHome)) {
    if (!m_pDrives) {
        m_pOwnDrives = std::make_unique<CMountTable>();
        m_pDrives = m_pOwnDrives.get();
    }
}

CLinuxNamespace::~CLinuxNamespace() = default;

std::string CLinuxNamespace::FindHome() const {
    if (!m_strHome.empty())
        return m_strHome;
    const char* pszHome = getenv("HOME");
    if (pszHome && pszHome[0] == '/')
        return pszHome;
    struct passwd pw;
    struct passwd* pFound = nullptr;
    char szBuf[16384];
    if (getpwuid_r(getuid(), &pw, szBuf, sizeof szBuf, &pFound) == 0 && pFound && pFound->pw_dir &&
        pFound->pw_dir[0] == '/')
        return pFound->pw_dir;
    return std::string();
}

void CLinuxNamespace::RefreshMounts() {
    std::vector<CMount> arUnique = OneDrivePerMount(m_pDrives->GetMounts());
    m_arDrives.clear();
    m_setSlowMounts.clear();
    for (CMount& mount : arUnique) {
        if (mount.nType == DRIVE_TYPE_REMOTE)
            m_setSlowMounts.insert(mount.strPath);
        if (IsWalkableDriveType(mount.nType))
            m_arDrives.push_back(std::move(mount));
    }
}

bool CLinuxNamespace::IsSlowPath(const std::string& strPath) const {
    for (const std::string& strMount : m_setSlowMounts) {
        if (strPath.compare(0, strMount.size(), strMount) != 0)
            continue;
        if (strPath.size() == strMount.size() || strMount.back() == '/' || strPath[strMount.size()] == '/')
            return true;
    }
    return false;
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
        std::string strHome = FindHome();
        if (strHome.empty())
            return ENUM_OK;
        bool bSlow = IsSlowPath(strHome);
        EProbe eProbe = bSlow ? PROBE_HAS : ProbeAt(AT_FDCWD, strHome.c_str(), 0);
        if (eProbe == PROBE_GONE)
            return ENUM_OK;
        FOLDERITEM home;
        home.nKind = NODE_HOME;
        home.nAttributes = NSATTR_FILESYSTEM | NSATTR_FILESYSANCESTOR | NSATTR_FOLDER |
                           (eProbe == PROBE_HAS ? NSATTR_HASSUBFOLDER : 0);
        home.strName = TextHome();
        home.strPath = std::move(strHome);
        home.bSlow = bSlow;
        home.nIcon = home.nOpenIcon = ICON_HOME;
        arChildren.push_back(std::move(home));
        return ENUM_OK;
    }

    switch (pFolder->nKind) {
    case NODE_COMPUTER:
        RefreshMounts();
        for (const CMount& mount : m_arDrives) {
            // Network mounts (and anything below one) are shown untouched.
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
    req.setSlowMounts = m_setSlowMounts;
    if (req.bSlow)
        return ReadSlowFolder(req, arChildren);
    return ReadSubfolders(req, arChildren);
}

int CLinuxNamespace::ReadSlowFolder(const SReadRequest& req, std::vector<FOLDERITEM>& arChildren) {
    std::shared_ptr<SSlowRead> pRead;
    auto it = m_mapSlowReads.find(req.strFolder);
    if (it != m_mapSlowReads.end()) {
        pRead = it->second;
    } else {
        pRead = std::make_shared<SSlowRead>();
        pRead->req = req;
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
        m_mapSlowReads.emplace(req.strFolder, pRead);
    }

    std::unique_lock<std::mutex> lock(pRead->mtx);
    if (!pRead->cv.wait_for(lock, std::chrono::milliseconds(m_nSlowWaitMs), [&] { return pRead->bDone; })) {
        Diagnose("folder on a slow mount did not answer in time; tried again at the next expansion", req.strFolder);
        return ENUM_TIMEOUT;
    }
    arChildren = std::move(pRead->arChildren);
    int nResult = pRead->nResult;
    lock.unlock();
    m_mapSlowReads.erase(req.strFolder);
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
    std::string strChild;
    // A read error part way keeps what was read: those folders exist.
    while (const dirent* pEntry = readdir(pDir)) {
        const char* pszName = pEntry->d_name;
        if (IsDotName(pszName))
            continue;
        strChild.assign(strBase).append(pszName);
        if (strChild.size() >= PATH_MAX)
            continue;  // no path the scan could take
        const bool bSlowMount = !req.bSlow && !req.setSlowMounts.empty() && req.setSlowMounts.count(strChild);

        if (pEntry->d_type == DT_UNKNOWN && !bSlowMount) {
            struct stat st;
            if (fstatat(nDirFd, pszName, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode))
                continue;
        } else if (pEntry->d_type != DT_DIR && !(pEntry->d_type == DT_UNKNOWN && bSlowMount)) {
            continue;  // links, files and devices
        }

        const bool bSlow = req.bSlow || bSlowMount;
        bool bHasSubfolders = true;  // assumed on network mounts, never read there
        if (!bSlow) {
            EProbe eProbe = ProbeChild(nDirFd, pszName, nFolderDev, bLinkCountExact);
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
