#include "scan/Mounts.h"

#include <algorithm>
#include <cstring>

std::vector<CMount> OneDrivePerMount(std::vector<CMount> arMounts) {
    // Stable, so among lines for one place the table's order survives and
    // the last of them is kept.
    std::stable_sort(arMounts.begin(), arMounts.end(),
                     [](const CMount& a, const CMount& b) { return a.strPath < b.strPath; });
    std::vector<CMount> arDrives;
    for (CMount& mount : arMounts) {
        if (!arDrives.empty() && arDrives.back().strPath == mount.strPath)
            arDrives.back() = std::move(mount);
        else
            arDrives.push_back(std::move(mount));
    }
    return arDrives;
}

namespace {

// strPath is strPlace or lies under it.
bool IsAtOrUnder(const std::string& strPath, const char* pszPlace) {
    size_t nLen = strlen(pszPlace);
    return strPath.compare(0, nLen, pszPlace) == 0 && (strPath.size() == nLen || strPath[nLen] == '/');
}

}  // namespace

bool IsDesktopMediaPlace(const std::string& strPath) {
    // /run/media/USER/NAME: a user's folder and a name below it.
    const char szMedia[] = "/run/media/";
    if (strPath.compare(0, sizeof szMedia - 1, szMedia) != 0)
        return false;
    size_t nUserEnd = strPath.find('/', sizeof szMedia - 1);
    return nUserEnd != std::string::npos && nUserEnd > sizeof szMedia - 1 && nUserEnd + 1 < strPath.size();
}

bool IsSystemPlace(const std::string& strPath) {
    if (IsDesktopMediaPlace(strPath))
        return false;
    for (const char* pszPlace : {"/proc", "/sys", "/dev", "/run"})
        if (IsAtOrUnder(strPath, pszPlace))
            return true;
    return false;
}

std::vector<CMount> UserDrives(std::vector<CMount> arMounts) {
    std::vector<CMount> arDrives;
    for (CMount& mount : OneDrivePerMount(std::move(arMounts))) {
        if (!IsWalkableDriveType(mount.nType) || IsSystemPlace(mount.strPath))
            continue;
        if (mount.nType == DRIVE_TYPE_FIXED && IsDesktopMediaPlace(mount.strPath))
            mount.nType = DRIVE_TYPE_REMOVABLE;
        arDrives.push_back(std::move(mount));
    }
    return arDrives;
}
