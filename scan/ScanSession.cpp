#include "scan/ScanSession.h"

#include <chrono>
#include <thread>

#include <time.h>
#include <unistd.h>

#include "res/Strings.h"
#include "scan/EventLog.h"

namespace {

constexpr int64_t LOAD_POLL_MS = 20;

}  // namespace

CScanSession::CScanSession(const CScanServices& services) : m_services(services) {}

int CScanSession::BeginLoad() {
    m_bLoadBegun = true;
    m_nLoadResult = m_services.pEngine ? m_services.pEngine->BeginLoad() : ENGINE_LOAD_FAILED;
    return m_nLoadResult;
}

int CScanSession::PollLoad() {
    if (!m_bLoadBegun)
        return BeginLoad();
    if (m_nLoadResult == ENGINE_LOAD_PENDING)
        m_nLoadResult = m_services.pEngine->PollLoad();
    return m_nLoadResult;
}

int CScanSession::WaitLoad(int64_t nMs) {
    const auto tEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(nMs);
    while (PollLoad() == ENGINE_LOAD_PENDING) {
        if (nMs >= 0 && std::chrono::steady_clock::now() >= tEnd)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(LOAD_POLL_MS));
    }
    return m_nLoadResult;
}

std::string CScanSession::GetLoadFailureText() const {
    if (m_nLoadResult == ENGINE_LOAD_ENGINE_ERROR && m_services.pEngine)
        return m_services.pEngine->GetLoadError();
    return LoadText(IDS_ENGINE_LOAD_FAILED);
}

std::string CScanSession::GetEngineVersion() const {
    return IsEngineLoaded() ? m_services.pEngine->GetTorvaneVersion() : std::string();
}

void CScanSession::Unload() {
    // One still turning on is stopped too: a new choice may follow.
    if (m_services.pEngine && (IsEngineLoaded() || m_nLoadResult == ENGINE_LOAD_PENDING))
        m_services.pEngine->Unload();
    m_nLoadResult = ENGINE_LOAD_FAILED;
    m_bLoadBegun = false;
}

void CScanSession::PrepareBackups() {
    if (m_bPrepared)
        return;
    m_bPrepared = true;
    m_nLastBackupNo = m_services.pWorkFolder ? m_services.pWorkFolder->Prepare(&m_strWorkDir) : 0;
}

std::unique_ptr<CScanRun> CScanSession::NewScan(SCANREQUEST req, IScanView& view, CResultRows& rows,
                                                IEngineWait* pWait) {
    // Backups before every treatment, into the work folder.
    if (req.bAutoRepair || req.bQuarantine)
        PrepareBackups();
    req.nLastBackupNo = m_nLastBackupNo;
    req.szWorkDir = m_strWorkDir;
    return std::make_unique<CScanRun>(*this, std::move(req), view, rows, pWait);
}

namespace {

CScanEnv MakeEnv(const CScanServices& services, IBackupWriter* pBackup, IScanView* pView, CResultRows* pRows,
                 IEngineWait* pWait) {
    CScanEnv env{services.pEngine, services.pLister, services.pDrives, services.pAccess,
                 pView,            pRows,            pBackup};
    env.pWorkers = services.pWorkers;
    env.pAllow = services.pAllow;
    env.pVerdicts = services.pVerdicts;
    env.pWait = pWait;
    return env;
}

}  // namespace

CScanRun::CScanRun(CScanSession& session, SCANREQUEST req, IScanView& view, CResultRows& rows, IEngineWait* pWait)
    : m_session(session),
      m_req(std::move(req)),
      m_view(view),
      m_rows(rows),
      m_backups(session.m_services.pBackup),
      m_scanner(m_req,
                MakeEnv(session.m_services, session.m_bPrepared && session.m_services.pBackup ? &m_backups : nullptr,
                        this, &rows, pWait)) {
    m_record.nStart = static_cast<int64_t>(time(nullptr));
    m_record.strId = CScanHistory::MakeId(m_record.nStart, static_cast<long>(getpid()));
    SetTargetsAsked(m_req.arTargets);
}

CScanRun::~CScanRun() {
    // Repairs made after the scan numbered their backups on from it.
    m_session.m_nLastBackupNo = m_scanner.GetLastBackupNo();
}

void CScanRun::Run() {
    if (m_bRun)
        return;
    m_bRun = true;
    m_scanner.RunScan();
}

CRepairRoads& CScanRun::GetRoads(IRepairView& view) {
    if (!m_pRoads)
        m_pRoads = std::make_unique<CRepairRoads>(m_scanner, view);
    return *m_pRoads;
}

void CScanRun::ScanEnded(bool bStopped) {
    m_view.ScanEnded(bStopped);
}

void CScanRun::NotScanned(const std::string& strPath, ESkipReason eReason, const std::string& strDetail) {
    // The record escapes what it keeps.
    m_record.arErrors.push_back(strPath + ": " + SkipReasonText(eReason, strDetail));
    m_view.NotScanned(strPath, eReason, strDetail);
}

void CScanRun::EngineFailed(const std::string& strReason) {
    m_record.arErrors.push_back("engine: " + strReason);
    m_view.EngineFailed(strReason);
}

void CScanRun::SetTargetsAsked(const std::vector<CScanTarget>& arTargets) {
    m_record.arTargets.clear();
    for (const CScanTarget& target : arTargets)
        m_record.arTargets.push_back(target.bAllDrives ? std::string() : target.strPath);
}

void CScanRun::SetRoad(EHistoryRoad eRoad, const std::string& strSchedule) {
    m_record.eRoad = eRoad;
    m_record.strSchedule = strSchedule;
}

bool CScanRun::RecordHistory(int nExit, std::string* pstrWhy) {
    m_record.nEnd = static_cast<int64_t>(time(nullptr));
    m_record.nExit = nExit;
    m_record.strEngineVersion = m_scanner.GetEngineVersion();
    m_record.nScanned = m_scanner.GetScanned();
    m_record.nBackups = m_backups.GetCount();
    m_record.arFindings.clear();
    for (size_t i = 0; i < m_rows.GetCount(); ++i) {
        const CResultRow& row = m_rows.GetRow(i);
        m_record.arFindings.push_back(SHISTORYFINDING{row.strPath, row.eState, row.strVirus});
    }
    CScanHistory::CountActions(&m_record);
    pstrWhy->clear();
    IScanHistory* pHistory = m_session.m_services.pHistory;
    return !pHistory || pHistory->Append(m_record, m_record.nEnd, pstrWhy);
}

void CScanRun::WriteEventRecords() {
    const CScanServices& services = m_session.m_services;
    if (!services.pRegistry || !services.pNotifier || !services.pClock)
        return;
    CEventLog eventLog(*services.pRegistry, *services.pNotifier, *services.pClock);
    eventLog.WriteIfAgent(m_rows, m_scanner.GetEngineVersion());
}

int CScanRun::GetExitStatus(bool bTargetMissing, int nSignal) const {
    // A stopped scan never passes for a complete one: it ends as a program
    // stopped by that signal does.
    if (m_scanner.IsStopped() && nSignal != 0)
        return 128 + nSignal;
    // Stopped from a window: nothing says the rest was clean.
    if (m_scanner.IsStopped())
        return 2;
    if (bTargetMissing)
        return 2;
    if (m_rows.GetCount() != 0)
        return 1;
    // Nothing found is no all-clear while some file was left unscanned.
    return m_scanner.GetNotScanned() == 0 ? 0 : 2;
}
