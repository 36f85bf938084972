// A backup the test expects under one number: the writer takes the first
// free number after the one before it.
#pragma once

#include <cstdint>
#include <string>

#include "repair/RepairInterfaces.h"

inline bool WriteNumbered(IBackupWriter& writer, uint32_t nNumber, const std::string& strFolder,
                          const std::string& strName) {
    uint32_t nLast = nNumber - 1;
    return writer.WriteBackup(&nLast, strFolder, strName, nullptr) && nLast == nNumber;
}
