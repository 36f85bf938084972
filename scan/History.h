// The history of scans: one record per scan by any road, kept as plain
// text, one field a line, each record closed by a line that carries its
// length and checksum so a reader knows a whole record from a torn one.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "repair/RepairInterfaces.h"
#include "scan/ScanTypes.h"

enum EHistoryRoad { HISTORY_ROAD_WINDOW, HISTORY_ROAD_COMMAND, HISTORY_ROAD_SCHEDULE };

struct SHISTORYFINDING {
    std::string strPath;
    EResultState eState = STATE_REPAIRABLE;
    std::string strVirus;
};

struct SHISTORYRECORD {
    std::string strId;         // start time and pid: what a notification points at
    int64_t nStart = 0;        // seconds since the epoch, as the clock said
    int64_t nEnd = 0;
    EHistoryRoad eRoad = HISTORY_ROAD_COMMAND;
    std::string strSchedule;   // its name, for a scheduled run
    std::vector<std::string> arTargets;  // "" stands for all drives
    std::string strEngine;
    std::string strEngineVersion;
    int nScanned = 0;
    std::vector<SHISTORYFINDING> arFindings;
    // Final states of the rows that say what was done (repaired,
    // quarantined, ...), each with how many.
    std::vector<std::pair<EResultState, int>> arActions;
    int nBackups = 0;
    int nExit = 0;
    std::vector<std::string> arErrors;  // "PATH: REASON" lines, engine failures
    // Left out so one record stays readable; said in the record.
    int nOmittedFindings = 0;
    int nOmittedErrors = 0;
};

// A record is never larger than this: what does not fit is counted, not kept.
constexpr size_t HISTORY_MAX_RECORD_BYTES = 512u * 1024;

// One record found in a stretch of the file.
struct SHISTORYSPAN {
    size_t nOffset = 0;  // where it starts in the text handed over
    size_t nSize = 0;    // its bytes, the closing line included
    SHISTORYRECORD rec;
};

struct SHISTORYPRUNE {
    int64_t nMaxAgeSeconds = 90LL * 24 * 3600;
    uint64_t nMaxBytes = 4u << 20;  // above it, keep the newest that fit half
};

class CScanHistory {
public:
    // The id a record of a scan started at nStart by process nPid carries.
    static std::string MakeId(int64_t nStart, long nPid);

    // The record's text, closing line included.
    static std::string Format(const SHISTORYRECORD& rec);

    // Every whole record in the text, in file order; torn or damaged ones
    // are skipped. The text may start in the middle of a record.
    static std::vector<SHISTORYSPAN> Parse(std::string_view strText);

    // Which records stay (indexes into arSpans, in file order) when the
    // last one is the record just written. Newest means last in the file,
    // whatever their clocks said; the last record always stays.
    static std::vector<size_t> ChooseKept(const std::vector<SHISTORYSPAN>& arSpans, uint64_t nFileBytes,
                                          int64_t nNow, const SHISTORYPRUNE& limits);

    // Fills the counts of what was done from the findings' final states.
    static void CountActions(SHISTORYRECORD* pRec);

    // The block quillet-scan --history prints for one record.
    static std::string Describe(const SHISTORYRECORD& rec);
    // The start (or end) time in local time, "YYYY-MM-DD HH:MM:SS".
    static std::string LocalTime(int64_t nTime);
    // "command line", "window" or "schedule NAME".
    static std::string RoadText(const SHISTORYRECORD& rec);

    // A desktop notification's title and body for a finished scan.
    static void NoticeText(const SHISTORYRECORD& rec, std::string* pstrSummary, std::string* pstrBody);
};

// Where the records are kept.
class IScanHistory {
public:
    virtual ~IScanHistory() = default;
    // Appends the record (nNow: the clock's time, for pruning); false with
    // why when it was not written.
    virtual bool Append(const SHISTORYRECORD& rec, int64_t nNow, std::string* pstrWhy) = 0;
    // The newest records, oldest first; false with why when unreadable.
    virtual bool Read(std::vector<SHISTORYRECORD>* parRecords, std::string* pstrWhy) = 0;
    // Where they are, for messages.
    virtual std::string GetLocation() const = 0;
};

// Counts the backups a scan's repairs and quarantines wrote, for its record.
class CCountingBackupWriter : public IBackupWriter {
public:
    explicit CCountingBackupWriter(IBackupWriter* pInner) : m_pInner(pInner) {}
    bool WriteBackup(uint32_t* pnNumber, const std::string& strFolder, const std::string& strName,
                     CFileId* pId) override {
        const bool bOk = m_pInner->WriteBackup(pnNumber, strFolder, strName, pId);
        m_nBackups += bOk ? 1 : 0;
        return bOk;
    }
    EQuarantined QuarantineFile(uint32_t* pnNumber, const std::string& strFolder, const std::string& strName,
                                const CFileId& id, const CQuarantineRecord& record, uint32_t nMode,
                                std::unique_ptr<IPendingQuarantine>* ppPending = nullptr) override {
        return m_pInner->QuarantineFile(pnNumber, strFolder, strName, id, record, nMode, ppPending);
    }
    void FinishQuarantines(IPendingQuarantine* const* arPending, size_t nCount, EQuarantined* arResults) override {
        m_pInner->FinishQuarantines(arPending, nCount, arResults);
    }
    int GetCount() const { return m_nBackups.load(); }

private:
    IBackupWriter* m_pInner;
    // Workers back files up one at a time, but quarantine side by side.
    std::atomic<int> m_nBackups{0};
};
