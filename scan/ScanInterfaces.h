// What the scan needs from the world, kept small so the walk and the file
// scan run with fakes in tests and without any window.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/FileId.h"
#include "scan/ScanTypes.h"

// The labels the walk and the file scan keep current, by what they show.
enum EScanLabel { LABEL_CURRENT_FILE, LABEL_SCANNED, LABEL_INFECTED, LABEL_COUNT };

enum EEntryKind : uint8_t {
    ENTRY_FILE,     // regular file: may be handed to the engine
    ENTRY_FOLDER,   // real directory, not a link
    ENTRY_LINK,     // symbolic link: never followed, never counted
    ENTRY_SPECIAL,  // FIFO, socket, device: counted, never opened
};

// One folder's entries, names kept in a single buffer so a large folder costs
// little more than its names.
class CDirListing {
public:
    void Clear();
    void Add(const char* pszName, size_t nLen, EEntryKind eKind, CFileId id = CFileId());
    // Byte order, so every walk of the same tree meets files in the same order.
    void Sort();
    size_t GetCount() const { return m_arEntries.size(); }
    std::string_view GetName(size_t i) const {
        return std::string_view(m_strNames).substr(m_arEntries[i].nOffset, m_arEntries[i].nLen);
    }
    EEntryKind GetKind(size_t i) const { return m_arEntries[i].eKind; }
    // Which file or folder the name stood for when listed; unset when the
    // lister does not know.
    const CFileId& GetId(size_t i) const { return m_arEntries[i].id; }

private:
    struct SEntry {
        uint32_t nOffset;
        uint32_t nLen;
        EEntryKind eKind;
        CFileId id;
    };
    std::string m_strNames;
    std::vector<SEntry> m_arEntries;
};

class IDirLister {
public:
    virtual ~IDirLister() = default;
    // Fills listing with the entries of strFolder ("" is the root), sorted.
    // False when the folder cannot be listed; the listing is then empty.
    // bFollowLink: the folder may itself be a symbolic link; folders met in
    // the walk never are. pExpect: the folder must be that very folder (the
    // one its parent's listing named), else nothing is listed.
    virtual bool ListFolder(const std::string& strFolder, bool bFollowLink, CDirListing& listing,
                            const CFileId* pExpect = nullptr) = 0;
    // The real path of a target, every link and "." or ".." resolved; false
    // when it does not exist. pId, when given, gets what the path names
    // (left unset when not known).
    virtual bool Canonicalize(const std::string& strPath, std::string* pstrReal, CFileId* pId = nullptr) = 0;
};

class IFarsendEngine;

// Drive types by the numbers the rest of the program uses.
enum {
    DRIVE_TYPE_UNKNOWN = 0,
    DRIVE_TYPE_NO_ROOT = 1,
    DRIVE_TYPE_REMOVABLE = 2,
    DRIVE_TYPE_FIXED = 3,
    DRIVE_TYPE_REMOTE = 4,
    DRIVE_TYPE_CDROM = 5,
    DRIVE_TYPE_RAMDISK = 6,
};

inline bool IsWalkableDriveType(int nType) {
    return nType >= DRIVE_TYPE_REMOVABLE && nType <= DRIVE_TYPE_RAMDISK;
}

struct CMount {
    std::string strPath;  // mount point, absolute, as bytes
    int nType = DRIVE_TYPE_UNKNOWN;
    uint64_t nDev = 0;          // the device its files carry (st_dev); 0 when not known
    bool bAutomount = false;    // mounted on first use: opening it may wait on a device or a server
    uint32_t nMountId = 0;      // the table's id of this mount: a mount made anew gets a new one
};

class IDriveSource {
public:
    virtual ~IDriveSource() = default;
    // Every mount point with its type, pseudo file systems included.
    virtual std::vector<CMount> GetMounts() = 0;
};

class IEngineWorkers {
public:
    virtual ~IEngineWorkers() = default;
    virtual size_t GetWorkerCount() const = 0;
    // Worker i's engine; used by one thread at a time, once ready.
    virtual IFarsendEngine* GetWorker(size_t i) = 0;
    // Finishes worker i's loading, on the thread that will use it; false:
    // it cannot be used. Worker 0 is ready at once.
    virtual bool PrepareWorker(size_t i) {
        (void)i;
        return true;
    }
};

// A file held for cleaning: every other holder of the same file, in any
// Quillet process or thread, waits until this one is gone.
class IFileHold {
public:
    virtual ~IFileHold() = default;
    // The file held, whatever the path names by now.
    virtual CFileId GetId() const = 0;
};

class IFileAccess {
public:
    virtual ~IFileAccess() = default;
    virtual bool Access(const std::string& strPath, bool bWrite) = 0;
    // Permission bits only; neither follows a symbolic link.
    virtual bool GetMode(const std::string& strPath, uint32_t* pnMode) = 0;
    virtual bool SetMode(const std::string& strPath, uint32_t nMode) = 0;
    // The regular file at strPath itself (a link there is not followed);
    // false for anything else or nothing.
    virtual bool GetFileId(const std::string& strPath, CFileId* pId) = 0;
    // strFolder (a link there is not followed) is still that very folder.
    virtual bool IsSameFolder(const std::string& strFolder, const CFileId& id) = 0;
    // Holds the regular file at strPath (a link there is not followed; when
    // id is set, only that very file), waiting while another holder has it.
    // Null when it cannot be held. Safe to call from several threads.
    virtual std::unique_ptr<IFileHold> HoldFile(const std::string& strPath, const CFileId& id) = 0;
};

// Why something the walk met was not scanned, where the user can do
// something about it.
enum ESkipReason {
    SKIP_UNREADABLE,         // a file the access test refused: counted, not scanned
    SKIP_PATH_TOO_LONG,      // no path the system takes: not counted
    SKIP_ENGINE_FAULT,       // the engine crashed or hung on the file: counted
    SKIP_FOLDER_UNREADABLE,  // a folder that could not be listed
    SKIP_SYSTEM_FS,          // a target on a system file system (proc, sysfs...): nothing walked
    SKIP_ENGINE_PARTIAL,     // the engine stopped part way at a limit it names: counted, no row
    SKIP_NOT_LISTED,         // a file target "All files" keeps from the engine: counted
    SKIP_NOT_REGULAR,        // a target that is a FIFO, socket or device: counted, never opened
};

// The reason as the user reads it; strDetail fills SKIP_ENGINE_PARTIAL's limit.
std::string SkipReasonText(ESkipReason eReason, const std::string& strDetail);

class IScanView {
public:
    virtual ~IScanView() = default;
    // One line's worth for each such file or folder; the window keeps them
    // to its log, the console says them. strDetail: the limit the engine
    // named for SKIP_ENGINE_PARTIAL, else "".
    virtual void NotScanned(const std::string& strPath, ESkipReason eReason,
                            const std::string& strDetail = std::string()) {
        (void)strPath;
        (void)eReason;
        (void)strDetail;
    }
    // Why the engine failed, in its own words: each different reason once a
    // scan, before the files it cost are named.
    virtual void EngineFailed(const std::string& strReason) { (void)strReason; }
    // Serve pending window events; may call CScanner::Stop.
    virtual void Drain() = 0;
    virtual void SetLabel(EScanLabel eLabel, const std::string& strText) = 0;
    // The walk is over, by completion or by Stop.
    virtual void ScanEnded(bool bStopped) = 0;
    // The first nRows rows are final: the scan changes none of them again
    // (a window's repairs may, later). In the walk's order, whatever the
    // workers' order.
    virtual void RowsSettled(int nRows) { (void)nRows; }
};

// The result rows of one scan, as the scan, the repair roads and the event
// log see them. Rows are only appended; the row numbered n sits at n - 1.
// Decisions read the typed accessors; texts are made only where shown.
class IResultList {
public:
    virtual ~IResultList() = default;
    // Appends one row with its check box clear.
    virtual void AddResultRow(int nNum, const std::string& strPath, const std::string& strVirus,
                              EResultState eState) = 0;
    virtual int GetItemCount() const = 0;
    // A row that does not exist reads as STATE_OK (nothing to repair, no
    // notice) and with an empty path and virus name; setting it does nothing.
    virtual EResultState GetState(int nRow) const = 0;
    virtual void SetState(int nRow, EResultState eState) = 0;
    virtual std::string GetPath(int nRow) const = 0;
    virtual std::string GetVirusName(int nRow) const = 0;
    virtual void SetVirusName(int nRow, const std::string& strVirus) = 0;
    // A cell as the list shows it; "" for a row or column that does not exist.
    virtual std::string GetItemText(int nRow, int nCol) const = 0;
    virtual bool GetCheck(int nRow) const = 0;
    virtual void SetCheck(int nRow, bool bChecked) = 0;
    // The first selected row, -1 when none is.
    virtual int GetFirstSelected() const = 0;
};

enum { RESULT_COL_NUM = 0, RESULT_COL_PATH = 1, RESULT_COL_VIRUS = 2, RESULT_COL_STATUS = 3 };
