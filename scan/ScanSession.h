// A program's scanning, outside any window: the engine's loading, the
// backup numbering carried from one scan to the next, and each scan with
// its treatment, rows, records, counters and exit status. The main and
// results dialogs, quillet-scan and a scheduled scan each drive one and
// render only what it decided.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "repair/RepairRoads.h"
#include "scan/History.h"
#include "scan/ResultRows.h"
#include "scan/ScanServices.h"
#include "scan/Scanner.h"

class CScanRun;

class CScanSession {
public:
    explicit CScanSession(const CScanServices& services);
    CScanSession(const CScanSession&) = delete;
    CScanSession& operator=(const CScanSession&) = delete;

    const CScanServices& GetServices() const { return m_services; }

    // The engine gets ready in its own process: ENGINE_LOAD_* of the engine
    // contract. Without an engine every answer is ENGINE_LOAD_FAILED.
    int BeginLoad();
    int PollLoad();
    // Polls for up to nMs (-1: until it settles).
    int WaitLoad(int64_t nMs);
    bool IsEngineLoaded() const { return m_nLoadResult == ENGINE_LOAD_OK; }
    int GetLoadResult() const { return m_nLoadResult; }
    // What the user is told when loading ended as it did: an engine that
    // loaded but cannot work says why in its own words.
    std::string GetLoadFailureText() const;
    std::string GetEngineVersion() const;
    void Unload();

    // The work folder made ready (once): backups are numbered on from the
    // highest in it.
    void PrepareBackups();
    uint32_t GetLastBackupNo() const { return m_nLastBackupNo; }
    const std::string& GetWorkDir() const { return m_strWorkDir; }

    // A scan of req, watched by view, its rows in rows; the session fills
    // in the backup numbering. pWait: served while the walk waits for the
    // engines (a window); none: view.Drain().
    std::unique_ptr<CScanRun> NewScan(SCANREQUEST req, IScanView& view, CResultRows& rows,
                                      IEngineWait* pWait = nullptr);

private:
    friend class CScanRun;
    CScanServices m_services;
    int m_nLoadResult = ENGINE_LOAD_FAILED;
    bool m_bLoadBegun = false;
    bool m_bPrepared = false;
    uint32_t m_nLastBackupNo = 0;
    std::string m_strWorkDir;
};

// One scan of a session. Between its driver's view and the scanner it
// keeps what the history needs: every line said about a file or the engine.
class CScanRun : private IScanView {
public:
    CScanRun(CScanSession& session, SCANREQUEST req, IScanView& view, CResultRows& rows, IEngineWait* pWait);
    ~CScanRun() override;
    CScanRun(const CScanRun&) = delete;
    CScanRun& operator=(const CScanRun&) = delete;

    // The walk, the workers and the treatment; runs once.
    void Run();
    void Stop() { m_scanner.Stop(); }
    bool HasRun() const { return m_bRun; }
    CScanner& GetScanner() { return m_scanner; }
    const CScanner& GetScanner() const { return m_scanner; }
    const SCANREQUEST& GetRequest() const { return m_req; }
    CResultRows& GetRows() { return m_rows; }
    // The Repair pass, double-click and menu roads over this scan's rows.
    CRepairRoads& GetRoads(IRepairView& view);
    CRepairRoads* FindRoads() { return m_pRoads.get(); }

    // As closing the results window does: the findings go to the agent when
    // one is registered.
    void WriteEventRecords();
    // How a program that ran this scan ends: 1 with rows, else 2 when a
    // target was missing or a file or folder was left unscanned, else 0;
    // 128 + the signal that stopped it.
    int GetExitStatus(bool bTargetMissing, int nSignal) const;
    // Every line said about a file or the engine, in order.
    const std::vector<std::string>& GetErrorLines() const { return m_record.arErrors; }

    // The history's record: how the scan was started (and the schedule's
    // name), the engine asked for, and a line the driver said itself (a
    // target missing, the engine not loaded).
    void SetRoad(EHistoryRoad eRoad, const std::string& strSchedule = std::string());
    void SetEngineName(const std::string& strEngine) { m_record.strEngine = strEngine; }
    // The targets as asked, where the driver leaves out some it said were missing.
    void SetTargetsAsked(const std::vector<CScanTarget>& arTargets);
    void AddErrorLine(const std::string& strLine) { m_record.arErrors.push_back(strLine); }
    // Completes the record with the rows as they are now and its exit
    // status, and appends it to the history; false with why when it could
    // not be written.
    bool RecordHistory(int nExit, std::string* pstrWhy);
    const SHISTORYRECORD& GetRecord() const { return m_record; }

private:
    void Drain() override { m_view.Drain(); }
    void SetLabel(EScanLabel eLabel, const std::string& strText) override { m_view.SetLabel(eLabel, strText); }
    void ScanEnded(bool bStopped) override;
    void RowsSettled(int nRows) override { m_view.RowsSettled(nRows); }
    void NotScanned(const std::string& strPath, ESkipReason eReason, const std::string& strDetail) override;
    void EngineFailed(const std::string& strReason) override;

    CScanSession& m_session;
    SCANREQUEST m_req;
    IScanView& m_view;
    CResultRows& m_rows;
    CCountingBackupWriter m_backups;
    SHISTORYRECORD m_record;
    CScanner m_scanner;
    std::unique_ptr<CRepairRoads> m_pRoads;
    bool m_bRun = false;
};
