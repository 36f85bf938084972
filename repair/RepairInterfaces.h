// What the repair roads need from the world: the backup writer and the
// windows they talk through (notice box, message boxes, progress window).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/FileId.h"
#include "repair/BackupFormat.h"

// How a quarantine ended. Only QUARANTINE_OK removed the file.
enum EQuarantined {
    QUARANTINE_OK = 0,
    QUARANTINE_NO_COPY,    // no backup could be written (work folder, disk full, unreadable): nothing removed
    QUARANTINE_CHANGED,    // the path no longer holds the file scanned, or it changed: nothing removed
    QUARANTINE_READ_ONLY,  // its folder may not be written (a read-only folder or mount): nothing removed
};

// A quarantine half done: its copy is named in the store, not yet synced,
// and the file is still in place. Dropped unfinished, it takes its copy back.
class IPendingQuarantine {
public:
    virtual ~IPendingQuarantine() = default;
};

class IBackupWriter {
public:
    virtual ~IBackupWriter() = default;
    // Writes a backup of strFolder/strName under the first number after
    // *pnNumber that no file in the store holds yet, and leaves that number
    // in *pnNumber (used up even when the copy fails). Never replaces a file.
    // pId: when set on entry, the source must be that very file; on success
    // it holds the identity of the file that was read. False on any failure.
    virtual bool WriteBackup(uint32_t* pnNumber, const std::string& strFolder, const std::string& strName,
                             CFileId* pId) = 0;
    // Moves the file id at strFolder/strName into the store as a backup with
    // its record; nMode: the mode to give back (UINT32_MAX: the file's own).
    // ppPending: when given, QUARANTINE_OK means only that the copy is named
    // and *ppPending holds the rest, for FinishQuarantines: many copies then
    // share their syncs.
    virtual EQuarantined QuarantineFile(uint32_t* pnNumber, const std::string& strFolder, const std::string& strName,
                                        const CFileId& id, const CQuarantineRecord& record, uint32_t nMode,
                                        std::unique_ptr<IPendingQuarantine>* ppPending = nullptr) {
        (void)pnNumber, (void)strFolder, (void)strName, (void)id, (void)record, (void)nMode, (void)ppPending;
        return QUARANTINE_NO_COPY;
    }
    // Syncs the copies of arPending, then removes each file that still is
    // the one copied: arResults[i] says how quarantine i ended.
    virtual void FinishQuarantines(IPendingQuarantine* const* arPending, size_t nCount, EQuarantined* arResults) {
        for (size_t i = 0; i < nCount; ++i)
            arResults[i] = QUARANTINE_NO_COPY;
    }
};

enum EMessageIcon { ICON_EXCLAMATION, ICON_QUESTION, ICON_STOP, ICON_INFORMATION };

class IRepairView {
public:
    virtual ~IRepairView() = default;
    // The notice box with "Don't show this message box again."; true when
    // closed with OK, and then *pbDontShow holds the box's tick.
    virtual bool ShowNotice(const std::string& strMessage, bool* pbDontShow) = 0;
    virtual void ShowMessage(const std::string& strText, const std::string& strCaption, EMessageIcon eIcon) = 0;
    // Yes/No question box; true on Yes.
    virtual bool AskYesNo(const std::string& strText, const std::string& strCaption) = 0;

    // The progress window of a Repair pass, open from before the first row
    // until after the last.
    virtual void OpenProgress() = 0;
    virtual void SetProgressRange(int nMax) = 0;
    virtual void SetProgressPos(int nPos) = 0;
    virtual void SetProgressText(const std::string& strText) = 0;
    virtual void CloseProgress() = 0;

    // Serve pending window events between two rows.
    virtual void Drain() = 0;
};
