// Types shared by the scan, repair and event-log roads.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// One ticked item. The item that stands for every drive says so itself, so
// a folder that merely carries its text is never taken for it.
struct CScanTarget {
    CScanTarget() = default;
    CScanTarget(std::string strPathIn, bool bAllDrivesIn = false)
        : strPath(std::move(strPathIn)), bAllDrives(bAllDrivesIn) {}
    CScanTarget(const char* pszPath) : strPath(pszPath) {}

    std::string strPath;      // path on disk, or the display path of an item outside it
    bool bAllDrives = false;  // walk every drive; strPath is then only the item's text
    bool operator==(const CScanTarget&) const = default;
};

// What the main dialog hands to a scan, filled in this order.
struct SCANREQUEST {
    std::vector<CScanTarget> arTargets;   // one per ticked item
    std::vector<std::string> arTopNames;  // top-level tree texts, in the namespace's order
    bool bSubfolders = true;
    bool bAllFiles = false;
    bool bHidden = false;       // dot-named files and folders are walked too
    bool bFileTargets = false;  // a target that is a regular file is scanned as that file
    bool bAutoRepair = true;
    bool bBackup = true;
    // What is still infected after the repair attempt goes into the Bin.
    bool bQuarantine = false;
    uint32_t nLastBackupNo = 0;
    std::string szWorkDir;
};

// Result states: the engine's report code is the index, the state's text is
// string IDS_STATE_FIRST + index. A row holds a report code outside the
// table as it came, so it can still be shown.
enum EResultState : int16_t {
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
    // What the program's own quarantine wrote, far from any report code: an
    // engine that reports 13 has moved nothing. The first shows state 13's
    // text; all of them are recorded for the agent as a state it does not know.
    STATE_QUARANTINE_DONE = 0x7F00,
    STATE_QUARANTINE_NO_COPY = 0x7F01,    // no backup could be written: nothing removed
    STATE_QUARANTINE_CHANGED = 0x7F02,    // the file changed or was swapped: nothing removed
    STATE_QUARANTINE_READ_ONLY = 0x7F03,  // its folder may not be written: nothing removed
    STATE_ALLOWED = 0x7F04,               // the user said the finding is false: it is in the allow-list
};
constexpr int STATE_COUNT = 14;

// A row the user may still act on: a finding still in place, neither
// cleaned nor moved into the Bin.
bool IsStillInfected(EResultState eState);

inline EResultState StateFromReport(int16_t nReport) {
    return static_cast<EResultState>(nReport);
}

// The text a row shows for its state. Codes the engine does not report get
// a readable text of their own rather than an empty cell.
// bSource: the table's own text, whatever the user's language (for programs
// that read it).
std::string GetStateText(EResultState eState, bool bSource = false);

// Extension lists, read three characters at a time.
extern const char* const g_szScanExtensions;        // scanned unless "All files"
extern const char* const g_szAlwaysBackupExtensions;  // backed up before any repair

// The first three bytes after the last '.' of the whole path, letters a-z
// raised; false when there is no '.'. Fewer than three bytes never match a
// group, so they are padded with NULs.
bool GetExtension(const std::string& strPath, char szExt[3]);
bool ExtensionInList(const char szExt[3], const char* pszList);
