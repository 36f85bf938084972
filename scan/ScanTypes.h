// Types shared by the scan, repair and event-log roads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the main dialog hands to a scan, filled in this order.
struct SCANREQUEST {
    std::vector<std::string> arTargets;   // one path (or display path) per ticked item
    std::vector<std::string> arTopNames;  // top-level tree texts; [0] stands for all drives
    bool bSubfolders = true;
    bool bAllFiles = false;
    bool bAutoRepair = true;
    bool bBackup = true;
    uint32_t nLastBackupNo = 0;
    std::string szWorkDir;
};

// Result states: the engine's report code is the index. String ids 221 + index.
enum {
    STATE_REPAIRABLE = 0,
    STATE_UNREPAIRABLE = 1,
    STATE_NEW_VIRUS = 2,
    STATE_SUSPECTED = 3,
    STATE_NOT_SUPPORT = 4,
    STATE_AFTER_DECOMPRESSION = 5,
    STATE_ACCESS_DENIED = 6,
    STATE_OK = 7,
    STATE_REPAIRED = 8,
    STATE_DELETED = 9,
    STATE_FAIL_TO_REPAIR = 10,
    STATE_OVERLAPPED = 11,
    STATE_AFTER_DECRYPTION = 12,
    STATE_QUARANTINED = 13,
    STATE_COUNT = 14
};
constexpr int IDS_STATE_FIRST = 221;

// The state text of a report code. Codes the table does not know get a
// readable text of their own rather than an empty cell.
std::string GetStateText(int nCode);

// The fourteen texts in index order (ids 221 to 234).
const std::vector<std::string>& GetStateTexts();

// Extension lists, read three characters at a time.
extern const char* const g_szScanExtensions;        // scanned unless "All files"
extern const char* const g_szAlwaysBackupExtensions;  // backed up before any repair

// The first three bytes after the last '.' of the whole path, letters a-z
// raised; false when there is no '.'. Fewer than three bytes never match a
// group, so they are padded with NULs.
bool GetExtension(const std::string& strPath, char szExt[3]);
bool ExtensionInList(const char szExt[3], const char* pszList);

// Console-friendly name of the status column etc.
constexpr const char* g_szEngineLoadFailed = "Cannot load Farsend.dll  file.";
