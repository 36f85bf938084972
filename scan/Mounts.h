// The drives a mount table makes: one per mount point, the later line of the
// table winning (it covers the earlier ones there), in byte order of the
// mount paths. The scan and the folder tree both read drives this way.
#pragma once

#include <vector>

#include "scan/ScanInterfaces.h"

std::vector<CMount> OneDrivePerMount(std::vector<CMount> arMounts);

// The drives a user means, in that order: storage only, and none of the
// system's plumbing at or under /proc, /sys, /dev and /run, except the
// removable media a desktop mounts under /run/media/USER/ (shown as
// removable). "Computer" lists these and an all-drives scan walks them.
std::vector<CMount> UserDrives(std::vector<CMount> arMounts);
// At or under /proc, /sys, /dev or /run, and not desktop media there.
bool IsSystemPlace(const std::string& strPath);
// Under /run/media/USER/, where desktops mount removable media.
bool IsDesktopMediaPlace(const std::string& strPath);
