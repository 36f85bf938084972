#include "platform/MountTable.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "engine/RegularFile.h"

namespace {

bool ReadSmallFile(const std::string& strPath, std::string& strOut) {
    int nErr = 0;
    return ReadRegularFile(strPath, &strOut, &nErr);
}

bool StartsWith(const std::string& str, const char* pszPrefix) {
    return str.compare(0, strlen(pszPrefix), pszPrefix) == 0;
}

}  // namespace

std::string CMountTable::Unescape(const std::string& strField) {
    std::string strOut;
    strOut.reserve(strField.size());
    for (size_t i = 0; i < strField.size(); ++i) {
        if (strField[i] == '\\' && i + 3 < strField.size()) {
            const char* p = strField.c_str() + i + 1;
            if (p[0] >= '0' && p[0] <= '3' && p[1] >= '0' && p[1] <= '7' && p[2] >= '0' && p[2] <= '7') {
                strOut += static_cast<char>((p[0] - '0') * 64 + (p[1] - '0') * 8 + (p[2] - '0'));
                i += 3;
                continue;
            }
        }
        strOut += strField[i];
    }
    return strOut;
}

bool CMountTable::IsFixedKind(const std::string& strType) {
    static const char* const arFixed[] = {"ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs", "zfs",
                                          "vfat", "exfat", "ntfs", "ntfs3", "fuseblk", "overlay",
                                          "jfs", "reiserfs", "hfsplus", "nilfs2", "bcachefs", "msdos"};
    for (const char* psz : arFixed)
        if (strType == psz)
            return true;
    return false;
}

int CMountTable::ClassifyFileSystem(const std::string& strType, bool bRemovable) {
    if (strType == "iso9660" || strType == "udf")
        return DRIVE_TYPE_CDROM;
    if (strType == "tmpfs" || strType == "ramfs")
        return DRIVE_TYPE_RAMDISK;
    static const char* const arRemote[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "ceph",
                                           "afs", "glusterfs", "lustre", "davfs", "ncpfs", "coda"};
    for (const char* psz : arRemote)
        if (strType == psz)
            return DRIVE_TYPE_REMOTE;
    // User-space network file systems.
    static const char* const arRemoteFuse[] = {"fuse.sshfs", "fuse.rclone", "fuse.s3fs", "fuse.gcsfuse",
                                               "fuse.curlftpfs", "fuse.davfs2", "fuse.glusterfs",
                                               "fuse.cephfs", "fuse.gvfsd-fuse", "fuse.smbnetfs"};
    for (const char* psz : arRemoteFuse)
        if (strType == psz)
            return DRIVE_TYPE_REMOTE;
    if (IsFixedKind(strType))
        return bRemovable ? DRIVE_TYPE_REMOVABLE : DRIVE_TYPE_FIXED;
    // Not yet mounted: what comes may be a server or a slow device, so it is
    // handled as a network drive would be.
    if (strType == "autofs")
        return DRIVE_TYPE_REMOTE;
    return DRIVE_TYPE_UNKNOWN;
}

bool CMountTable::IsBlockDeviceRemovable(const std::string& strSource) {
    if (!StartsWith(strSource, "/dev/"))
        return false;
    std::string strName = strSource.substr(strSource.rfind('/') + 1);
    if (strName.empty() || strName == "." || strName == "..")
        return false;
    std::string strValue;
    // A whole disk has the flag itself; a partition's sits on its disk, one
    // folder up from the partition's own.
    if (!ReadSmallFile("/sys/class/block/" + strName + "/removable", strValue) &&
        !ReadSmallFile("/sys/class/block/" + strName + "/../removable", strValue))
        return false;
    return !strValue.empty() && strValue[0] == '1';
}

std::vector<CMount> CMountTable::ParseMountInfo(const std::string& strText, const FnIsRemovable& fnRemovable) {
    std::vector<CMount> arMounts;
    std::istringstream in(strText);
    std::string strLine;
    while (std::getline(in, strLine)) {
        // id parent major:minor root mountpoint options [optional...] - type source superoptions
        std::istringstream fields(strLine);
        std::vector<std::string> arFields;
        std::string strField;
        while (fields >> strField)
            arFields.push_back(strField);
        size_t nDash = 0;
        for (size_t i = 6; i < arFields.size(); ++i) {
            if (arFields[i] == "-") {
                nDash = i;
                break;
            }
        }
        if (nDash == 0 || nDash + 1 >= arFields.size())
            continue;
        const std::string strPath = Unescape(arFields[4]);
        const std::string& strType = arFields[nDash + 1];
        std::string strSource = nDash + 2 < arFields.size() ? Unescape(arFields[nDash + 2]) : std::string();
        if (strPath.empty() || strPath[0] != '/')
            continue;
        bool bRemovable = IsFixedKind(strType) && fnRemovable && fnRemovable(strSource);
        CMount mount{strPath, ClassifyFileSystem(strType, bRemovable)};
        unsigned nMajor = 0, nMinor = 0;
        char chEnd = 0;
        if (sscanf(arFields[2].c_str(), "%u:%u%c", &nMajor, &nMinor, &chEnd) == 2)
            mount.nDev = makedev(nMajor, nMinor);
        mount.bAutomount = strType == "autofs";
        mount.nMountId = static_cast<uint32_t>(strtoul(arFields[0].c_str(), nullptr, 10));
        arMounts.push_back(std::move(mount));
    }
    return arMounts;
}

void CMountTable::AddRootDrive(std::vector<CMount>& arMounts, uint64_t nRootDev, int nRootType) {
    for (const CMount& mount : arMounts) {
        if (mount.strPath == "/")
            return;
    }
    // The root's own mount lies outside this process's root, as in a
    // chroot: the file system is still there to scan.
    CMount root{"/", nRootType, nRootDev};
    for (const CMount& mount : arMounts) {
        if (nRootDev != 0 && mount.nDev == nRootDev) {
            root.nType = mount.nType;
            root.bAutomount = mount.bAutomount;
            break;
        }
    }
    arMounts.insert(arMounts.begin(), std::move(root));
}

std::vector<CMount> CMountTable::GetMounts() {
    std::string strText;
    std::vector<CMount> arMounts;
    if (ReadSmallFile("/proc/self/mountinfo", strText))
        arMounts = ParseMountInfo(strText, IsBlockDeviceRemovable);
    struct stat st;
    struct statfs fs;
    if (stat("/", &st) == 0)
        AddRootDrive(arMounts, st.st_dev,
                     statfs("/", &fs) == 0 && fs.f_type == TMPFS_MAGIC ? DRIVE_TYPE_RAMDISK : DRIVE_TYPE_FIXED);
    return arMounts;
}
