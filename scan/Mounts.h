// The drives a mount table makes: one per mount point, the later line of the
// table winning (it covers the earlier ones there), in byte order of the
// mount paths. The scan and the folder tree both read drives this way.
#pragma once

#include <vector>

#include "scan/ScanInterfaces.h"

std::vector<CMount> OneDrivePerMount(std::vector<CMount> arMounts);
