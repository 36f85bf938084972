#include "scan/Mounts.h"

#include <algorithm>

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
