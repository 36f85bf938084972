// Drives on Linux: the mount table, each mount point typed by its file
// system the way the rest of the program types drives.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scan/ScanInterfaces.h"

class CMountTable : public IDriveSource {
public:
    std::vector<CMount> GetMounts() override;

    // Answers whether the block device behind a source ("/dev/sdb1") is
    // removable; injected so parsing is tested without /sys.
    using FnIsRemovable = std::function<bool(const std::string& strSource)>;

    // Parses /proc/self/mountinfo text; lines that do not parse are left out.
    static std::vector<CMount> ParseMountInfo(const std::string& strText, const FnIsRemovable& fnRemovable);
    static int ClassifyFileSystem(const std::string& strType, bool bRemovable);
    static bool IsFixedKind(const std::string& strType);
    static bool IsBlockDeviceRemovable(const std::string& strSource);
    // Undoes the octal escapes of mount paths ("\040" is a blank).
    static std::string Unescape(const std::string& strField);
    // "/" is always a drive: when it is no mount point in the table, the
    // file system holding it is added, typed like a mount of its device.
    static void AddRootDrive(std::vector<CMount>& arMounts, uint64_t nRootDev, int nRootType);
};
