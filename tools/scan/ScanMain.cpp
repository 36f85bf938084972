// quillet-scan: the scan without a window, for scripts and benchmarks.
// It runs the same scan as the results dialog and prints one line per
// result row, then the counters.

#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <thread>
#include <cstdlib>

#include <string>
#include <vector>

#include "base/Diagnostics.h"
#include "base/EscapeField.h"
#include "platform/DesktopNotifier.h"
#include "platform/EngineChoice.h"
#include "platform/PlatformServices.h"
#include "platform/ScheduleUnits.h"
#include "platform/UserLanguage.h"
#include "res/Strings.h"
#include "res/Version.h"
#include "scan/History.h"
#include "scan/ResultRows.h"
#include "scan/ScanSession.h"
#include "scan/SignatureHealth.h"
#include "schedule/Schedule.h"
#include "JsonLines.h"
#include "ProgressLine.h"

namespace {

volatile sig_atomic_t g_nInterrupts = 0;
volatile sig_atomic_t g_nSignal = 0;  // the first that stopped the scan

constexpr int64_t LOADING_NOTICE_MS = 3000;

void OnInterrupt(int nSignal) {
    if (g_nSignal == 0)
        g_nSignal = nSignal;
    if (g_nInterrupts < 2)
        g_nInterrupts = g_nInterrupts + 1;
}

// One row is one line whatever a file name or the engine holds.
void WriteField(const std::string& str) {
    const std::string strOut = EscapeField(str);
    fwrite(strOut.data(), 1, strOut.size(), stdout);
}

// The console's view of the scan: each row printed once it is final, in
// the walk's order, so a script reading the output sees findings as they
// come; the progress line on a terminal; an interrupt is its Stop button,
// and a second one during an engine call ends the engine's host.
class CConsoleView : public IScanView, public IEngineWait {
public:
    CScanRun* m_pRun = nullptr;
    const CResultRows* m_pRows = nullptr;
    CProgressLine* m_pProgress = nullptr;  // none: no progress line
    bool m_bQuiet = false;                 // no "not scanned" lines
    bool m_bJson = false;                  // JSON Lines on standard output
    bool m_bOutputLost = false;            // standard output could not be written
    // Why auto chose the engine: said with the first failure of an engine
    // the user did not name, so they know which one failed.
    std::string m_strAutoReason;
    bool m_bVerbose = false;  // said already, at the start

    void SayAutoReason() {
        if (!m_strAutoReason.empty() && !m_bVerbose) {
            if (m_pProgress)
                m_pProgress->Erase();
            fprintf(stderr, "quillet-scan: %s: %s\n", LoadText(IDS_ENGINE_CHOICE_WHAT), m_strAutoReason.c_str());
        }
        m_strAutoReason.clear();
    }

    void Drain() override {
        if (g_nInterrupts && m_pRun)
            m_pRun->Stop();
        if (m_pProgress)
            m_pProgress->Tick();
    }
    void SetLabel(EScanLabel eLabel, const std::string& strText) override {
        if (!m_pProgress)
            return;
        if (eLabel == LABEL_CURRENT_FILE)
            m_pProgress->SetFile(strText);
        else if (eLabel == LABEL_SCANNED)
            m_pProgress->SetScanned(atoi(strText.c_str()));
        else if (eLabel == LABEL_INFECTED)
            m_pProgress->SetFound(atoi(strText.c_str()));
    }
    void ScanEnded(bool) override {
        if (m_pProgress)
            m_pProgress->Erase();
    }
    void NotScanned(const std::string& strPath, ESkipReason eReason, const std::string& strDetail) override {
        if (m_bJson) {
            NotScannedJson(strPath, SkipReasonText(eReason, strDetail));
            return;
        }
        if (m_bQuiet)
            return;
        if (m_pProgress)
            m_pProgress->Erase();
        fprintf(stderr, LoadText(IDS_SCAN_TOOL_NO_TARGET), EscapeField(strPath).c_str(),
                SkipReasonText(eReason, EscapeField(strDetail)).c_str());
    }
    void EngineFailed(const std::string& strReason) override {
        SayAutoReason();
        if (m_pProgress)
            m_pProgress->Erase();
        fprintf(stderr, "quillet-scan: engine: %s\n", EscapeField(strReason).c_str());
    }
    void RowsSettled(int nRows) override { PrintRows(static_cast<size_t>(nRows)); }
    bool WhileWaiting(uint64_t, int64_t) override {
        Drain();
        return g_nInterrupts < 2;
    }
    // The rows up to nRows not printed yet, then out at once.
    void PrintRows(size_t nRows) {
        if (!m_pRows || nRows <= m_nPrinted)
            return;
        if (m_pProgress)
            m_pProgress->Erase();
        for (; m_nPrinted < nRows && m_nPrinted < m_pRows->GetCount(); ++m_nPrinted) {
            const CResultRow& row = m_pRows->GetRow(m_nPrinted);
            if (m_bJson) {
                printf("{\"type\":\"row\",\"number\":%d,%s,%s,\"state\":%d,\"state_text\":%s}\n", row.nNum,
                       JsonBytesField("path", row.strPath).c_str(), JsonBytesField("virus", row.strVirus).c_str(),
                       static_cast<int>(row.eState), JsonString(GetStateText(row.eState, true)).c_str());
                continue;
            }
            printf("%d\t", row.nNum);
            WriteField(row.strPath);
            fputc('\t', stdout);
            WriteField(row.strVirus);
            fputc('\t', stdout);
            WriteField(GetStateText(row.eState));
            fputc('\n', stdout);
        }
        Flush();
    }
    void NotScannedJson(const std::string& strPath, const std::string& strReason) {
        printf("{\"type\":\"not_scanned\",%s,\"reason\":%s}\n", JsonBytesField("path", strPath).c_str(),
               JsonString(strReason).c_str());
        Flush();
    }
    // What cannot reach its reader stops the scan: nothing would see the rest.
    void Flush() {
        if ((fflush(stdout) != 0 || ferror(stdout)) && !m_bOutputLost) {
            m_bOutputLost = true;
            if (m_pRun)
                m_pRun->Stop();
        }
    }

private:
    size_t m_nPrinted = 0;
};

// A target naming a regular file is scanned as that file alone: the scan
// walks its folder, and the listing of that walk holds only its name. The
// core walks folders only, and the window's targets always are folders, so
// this stays here. The scan resolves each target just before walking it.

// The scan walks absolute paths only; a relative one is taken from here.
std::string AbsoluteTarget(const char* pszArg) {
    if (pszArg[0] == '/')
        return pszArg;
    char szCwd[PATH_MAX];
    if (!getcwd(szCwd, sizeof szCwd))
        return pszArg;
    std::string strCwd = szCwd;
    if (strCwd.back() != '/')
        strCwd += '/';
    return strCwd + pszArg;
}

// Newest first, one block a scan.
int PrintHistory() {
    CHistoryFile history;
    std::vector<SHISTORYRECORD> arRecords;
    std::string strWhy;
    if (!history.Read(&arRecords, &strWhy)) {
        fprintf(stderr, LoadText(IDS_HISTORY_UNREADABLE), EscapeField(history.GetLocation()).c_str(), strWhy.c_str());
        return 2;
    }
    for (size_t i = arRecords.size(); i-- > 0;)
        printf("%s%s", CScanHistory::Describe(arRecords[i]).c_str(), i ? "\n" : "");
    return fflush(stdout) == 0 && !ferror(stdout) ? 0 : 1;
}

// Every scan ends here, whatever its end: its record goes into the history
// and, for a scheduled run, into one desktop notification.
int EndScan(CScanRun& run, const CScanServices& services, int nExit, bool bNotify) {
    std::string strWhy;
    if (!run.RecordHistory(nExit, &strWhy))
        fprintf(stderr, LoadText(IDS_HISTORY_NOT_WRITTEN), EscapeField(services.pHistory->GetLocation()).c_str(),
                strWhy.c_str());
    if (bNotify) {
        std::string strSummary, strBody;
        CScanHistory::NoticeText(run.GetRecord(), &strSummary, &strBody);
        CDesktopNotifier notifier;
        if (notifier.Send(strSummary, strBody, run.GetRecord().strId, &strWhy) != NOTIFY_SENT)
            fprintf(stderr, LoadText(IDS_NOTIFY_NOT_SENT), EscapeField(strWhy).c_str());
    }
    return nExit;
}

// A large signature database takes seconds: after a few, say why nothing
// happens yet.
int LoadEngine(CScanSession& session) {
    int nLoad = session.BeginLoad();
    if (nLoad == ENGINE_LOAD_PENDING)
        nLoad = session.WaitLoad(LOADING_NOTICE_MS);
    if (nLoad == ENGINE_LOAD_PENDING) {
        fputs(LoadText(IDS_SCAN_TOOL_STILL_LOADING), stderr);
        nLoad = session.WaitLoad(-1);
    }
    return nLoad;
}

// The program's version; with an engine named, the engine's and each of its
// databases' (their warnings on standard error, as before a scan).
int PrintVersion(const CEngineChoice* pChoice) {
    printf(LoadText(IDS_SCAN_TOOL_VERSION), QUILLET_VERSION_MAJOR, QUILLET_VERSION_MINOR, QUILLET_VERSION_PATCH,
           QUILLET_VERSION_BUILD);
    if (!pChoice)
        return fflush(stdout) == 0 && !ferror(stdout) ? 0 : 1;
    CPlatformServices platform;
    std::string strChoiceError;
    if (!ApplyEngineChoice(*pChoice, platform.engine, &strChoiceError)) {
        fprintf(stderr, "quillet-scan: %s\n", strChoiceError.c_str());
        return 64;
    }
    platform.signatures.SetChoice(*pChoice);
    SSIGNATUREHEALTH health;
    platform.signatures.Check(&health);
    for (const std::string& strLine : SignatureWarnings(health, time(nullptr)))
        fprintf(stderr, LoadText(IDS_SIG_TOOL_WARNING), strLine.c_str());
    CScanServices services = platform.Get();
    services.pWorkers = nullptr;
    CScanSession session(services);
    int nLoad = LoadEngine(session);
    int nExit = 0;
    if (nLoad == ENGINE_LOAD_OK) {
        printf(LoadText(IDS_SIG_TOOL_ENGINE), EscapeField(session.GetEngineVersion()).c_str());
        session.Unload();
    } else {
        fprintf(stderr, nLoad == ENGINE_LOAD_ENGINE_ERROR ? "quillet-scan: %s\n" : "%s\n",
                EscapeField(session.GetLoadFailureText()).c_str());
        nExit = 2;
    }
    for (const std::string& strLine : DescribeSignatures(health))
        printf(LoadText(IDS_SIG_TOOL_LINE), strLine.c_str());
    return fflush(stdout) == 0 && !ferror(stdout) ? nExit : 1;
}

int Usage() {
    fputs(LoadText(IDS_SCAN_TOOL_USAGE), stderr);
    return 64;
}

}  // namespace

int main(int argc, char** argv) {
    UseCommandLineLanguage();
    // This program started anew to serve a scheduled scan's notification.
    if (argc > 1 && strcmp(argv[1], NOTIFY_CHILD_OPTION) == 0)
        return RunNotifyChild(argc - 1, argv + 1);
    static CStderrDiagnosticSink s_verbose("quillet-scan");
    SCANREQUEST req;
    req.bAutoRepair = false;
    std::string strSchedule;  // the schedule this run is, when a timer started it
    bool bOptions = true;
    bool bHidden = false;
    bool bProgress = false, bQuiet = false, bJson = false;
    bool bVersion = false;
    // The settings file first; what the command line says wins.
    CEngineChoice engineChoice;
    std::string strSettingsError;
    ReadEngineSettingsFile(&engineChoice, &strSettingsError);
    bool bEngineGiven = false, bClamdGiven = false, bDatabaseGiven = false, bVerbose = false;
    bool bCache = true;
    int nAllFiles = -1;  // -1: as the engine suggests
    // As many engine workers as cores; 1 is the one-at-a-time scan.
    int nJobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::vector<const char*> arArgs;  // as given, beside req.arTargets; none for all drives
    for (int i = 1; i < argc; ++i) {
        const char* pszArg = argv[i];
        if (bOptions && strcmp(pszArg, "--") == 0) {
            bOptions = false;
        } else if (bOptions && strcmp(pszArg, "--help") == 0) {
            fputs(LoadText(IDS_SCAN_TOOL_USAGE), stdout);
            fputs(LoadText(IDS_SCAN_TOOL_OPTIONS), stdout);
            return fflush(stdout) == 0 && !ferror(stdout) ? 0 : 1;
        } else if (bOptions && strcmp(pszArg, "--version") == 0) {
            bVersion = true;
        } else if (bOptions && strcmp(pszArg, "--history") == 0) {
            return PrintHistory();
        } else if (bOptions && strcmp(pszArg, "--progress") == 0) {
            bProgress = true;
        } else if (bOptions && strcmp(pszArg, "--quiet") == 0) {
            bQuiet = true;
        } else if (bOptions && strcmp(pszArg, "--json") == 0) {
            bJson = true;
        } else if (bOptions && strcmp(pszArg, "--verbose") == 0) {
            SetDiagnosticSink(&s_verbose);
            bVerbose = true;
        } else if (bOptions && strcmp(pszArg, "--no-subfolders") == 0) {
            req.bSubfolders = false;
        } else if (bOptions && strcmp(pszArg, "--all-files") == 0) {
            nAllFiles = 1;
        } else if (bOptions && strcmp(pszArg, "--listed-types") == 0) {
            nAllFiles = 0;
        } else if (bOptions && strcmp(pszArg, "--no-cache") == 0) {
            bCache = false;
        } else if (bOptions && strcmp(pszArg, "--hidden") == 0) {
            bHidden = true;
        } else if (bOptions && strcmp(pszArg, "--repair") == 0) {
            req.bAutoRepair = true;
        } else if (bOptions && strcmp(pszArg, "--quarantine") == 0) {
            req.bQuarantine = true;
        } else if (bOptions && strcmp(pszArg, "--engine") == 0 && i + 1 < argc) {
            // An engine by name, or any library honouring the engine
            // contract by its path.
            const char* pszEngine = argv[++i];
            engineChoice.strEngine = strchr(pszEngine, '/') ? AbsoluteTarget(pszEngine) : pszEngine;
            bEngineGiven = true;
        } else if (bOptions && strcmp(pszArg, "--database") == 0 && i + 1 < argc) {
            engineChoice.strDatabase = AbsoluteTarget(argv[++i]);
            bDatabaseGiven = true;
        } else if (bOptions && strcmp(pszArg, "--jobs") == 0 && i + 1 < argc) {
            char* pszEnd = nullptr;
            long nValue = strtol(argv[++i], &pszEnd, 10);
            if (!pszEnd || *pszEnd != '\0' || nValue < 1 || nValue > 256)
                return Usage();
            nJobs = static_cast<int>(nValue);
        } else if (bOptions && strcmp(pszArg, "--clamd") == 0 && i + 1 < argc) {
            engineChoice.strClamd = argv[++i];
            bClamdGiven = true;
        } else if (bOptions && strcmp(pszArg, "--schedule") == 0 && i + 1 < argc) {
            strSchedule = argv[++i];
            if (!IsScheduleName(strSchedule))
                return Usage();
        } else if (bOptions && strcmp(pszArg, "--all-drives") == 0) {
            req.arTargets.push_back(CScanTarget(std::string(), true));
            arArgs.push_back(nullptr);
        } else if (bOptions && pszArg[0] == '-' && pszArg[1] != '\0') {
            return Usage();
        } else {
            req.arTargets.push_back(AbsoluteTarget(pszArg));
            arArgs.push_back(pszArg);
        }
    }
    // A signature folder named alone: auto over that folder, not a daemon
    // or engine the settings file names.
    if (bDatabaseGiven && !bEngineGiven) {
        engineChoice.strEngine = "auto";
        if (!bClamdGiven)
            engineChoice.strClamd.clear();
    }
    if (bVersion) {
        // With an engine named, the one it resolves to.
        const bool bEngineNamed = bEngineGiven || bDatabaseGiven || bClamdGiven;
        std::string strReason;
        if (bEngineNamed && IsEngineName(engineChoice.strEngine))
            ResolveAutoEngine(&engineChoice, &strReason);
        return PrintVersion(bEngineNamed ? &engineChoice : nullptr);
    }
    if (req.arTargets.empty())
        return Usage();
    if (!strSettingsError.empty()) {
        fprintf(stderr, "quillet-scan: %s\n", strSettingsError.c_str());
        return 2;
    }
    if (!IsEngineName(engineChoice.strEngine)) {
        fprintf(stderr, "quillet-scan: unknown engine \"%s\": auto, reference, clamav, clamd or a library's path\n",
                engineChoice.strEngine.c_str());
        return 64;
    }
    // A scheduled run: its end is also told as a desktop notification.
    const bool bScheduled = !strSchedule.empty();
    const char* pszNotify = getenv("QUILLET_NOTIFY");
    const bool bNotify = bScheduled || (pszNotify && strcmp(pszNotify, "1") == 0);
    const std::vector<CScanTarget> arAsked = req.arTargets;
    std::vector<std::string> arMissing;  // the history's lines for them

    // A target that is not there is said, and the others are still scanned.
    bool bMissing = false;
    std::vector<CScanTarget> arFound;
    for (size_t i = 0; i < req.arTargets.size(); ++i) {
        const CScanTarget& target = req.arTargets[i];
        struct stat st;
        if (!target.bAllDrives && stat(target.strPath.c_str(), &st) != 0) {
            const int nErr = errno;
            fprintf(stderr, LoadText(IDS_SCAN_TOOL_NO_TARGET), EscapeField(arArgs[i]).c_str(), strerror(nErr));
            if (bJson)
                printf("{\"type\":\"not_scanned\",%s,\"reason\":%s}\n", JsonBytesField("path", arArgs[i]).c_str(),
                       JsonString(strerror(nErr)).c_str());
            arMissing.push_back(std::string(arArgs[i]) + ": " + strerror(nErr));
            bMissing = true;
            continue;
        }
        arFound.push_back(target);
    }
    req.arTargets = std::move(arFound);
    req.bHidden = bHidden;
    // A file named on the command line is scanned as that one file.
    req.bFileTargets = true;

    // The Linux objects the program hands its windows, built once here too,
    // and the session the window's scans run in.
    CPlatformServices platform;
    std::string strChoiceError, strAutoReason;
    const bool bAuto = engineChoice.strEngine == "auto";
    ResolveAutoEngine(&engineChoice, &strAutoReason);
    if (bAuto)
        Diagnose(LoadText(IDS_ENGINE_CHOICE_WHAT), strAutoReason);
    if (!ApplyEngineChoice(engineChoice, platform.engine, &strChoiceError)) {
        fprintf(stderr, "quillet-scan: %s\n", strChoiceError.c_str());
        return 2;
    }
    // A real engine sees every file; the test engine keeps to the listed
    // types, as the window always did.
    req.bAllFiles = nAllFiles < 0 ? IsRealEngine(engineChoice.strEngine) : nAllFiles == 1;
    // Old, missing or unreadable signatures are said before the scan.
    platform.signatures.SetChoice(engineChoice);
    SSIGNATUREHEALTH health;
    platform.signatures.Check(&health);
    for (const std::string& strLine : SignatureWarnings(health, time(nullptr)))
        fprintf(stderr, LoadText(IDS_SIG_TOOL_WARNING), strLine.c_str());
    // Several workers: copies of the loaded engine where it allows, else
    // engines of their own; one is the one-at-a-time scan.
    platform.workers.SetWorkerCount(nJobs);
    platform.verdicts.SetEnabled(bCache);
    CScanServices services = platform.Get();
    if (nJobs <= 1)
        services.pWorkers = nullptr;
    CScanSession session(services);
    CConsoleView view;
    view.m_strAutoReason = strAutoReason;
    view.m_bVerbose = bVerbose;
    CResultRows rows;
    view.m_pRows = &rows;
    view.m_bQuiet = bQuiet;
    view.m_bJson = bJson;
    // On a terminal, or when asked; never written to a file or pipe unasked.
    std::unique_ptr<CProgressLine> progress;
    if (!bQuiet && (bProgress || isatty(STDERR_FILENO)))
        progress = std::make_unique<CProgressLine>(STDERR_FILENO);
    view.m_pProgress = progress.get();
    // Served while the walk waits for workers: an engine that pipelines has
    // one even alone.
    std::unique_ptr<CScanRun> pRun = session.NewScan(req, view, rows, &view);
    view.m_pRun = pRun.get();
    pRun->SetRoad(bScheduled ? HISTORY_ROAD_SCHEDULE : HISTORY_ROAD_COMMAND, strSchedule);
    pRun->SetEngineName(engineChoice.strEngine);
    pRun->SetTargetsAsked(arAsked);
    for (const std::string& strLine : arMissing)
        pRun->AddErrorLine(strLine);
    // Two runs of one schedule never overlap: a timer that fires while the
    // last run (or a `quillet-schedule run`) still scans would only repeat
    // it, so the second one says so, keeps that in the history and ends
    // without scanning.
    if (!strSchedule.empty()) {
        std::string strLock, strWhy;
        const int nLock = LockScheduleRun(strSchedule, &strLock, &strWhy);
        if (nLock < 0) {
            char szLine[4096];
            if (nLock == -1)
                snprintf(szLine, sizeof szLine, LoadText(IDS_SCHEDULE_ALREADY_RUNNING), strSchedule.c_str());
            else
                snprintf(szLine, sizeof szLine, LoadText(IDS_SCHEDULE_LOCK_FAILED), strSchedule.c_str(),
                         EscapeField(strLock).c_str(), strWhy.c_str());
            fputs(szLine, stderr);
            std::string strLine = szLine;
            if (!strLine.empty() && strLine.back() == '\n')
                strLine.pop_back();
            pRun->AddErrorLine(strLine);
            return EndScan(*pRun, services, 2, false);
        }
    }
    // Said once by a scan that is to happen: what it can find.
    if (engineChoice.strEngine == "reference")
        fputs(LoadText(IDS_SCAN_TOOL_TEST_ENGINE), stderr);
    int nLoad = LoadEngine(session);
    if (nLoad != ENGINE_LOAD_OK)
        view.SayAutoReason();
    if (nLoad == ENGINE_LOAD_ENGINE_ERROR) {
        fprintf(stderr, "quillet-scan: %s\n", EscapeField(session.GetLoadFailureText()).c_str());
        pRun->AddErrorLine(session.GetLoadFailureText());
        return EndScan(*pRun, services, 2, bNotify);
    }
    if (nLoad != ENGINE_LOAD_OK) {
        fprintf(stderr, "%s\n", session.GetLoadFailureText().c_str());
        pRun->AddErrorLine(session.GetLoadFailureText());
        return EndScan(*pRun, services, 2, bNotify);
    }

    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // The terminal closed: as an interrupt. A reader gone: the write fails
    // and the scan stops, with a status that says it is not complete.
    sigaction(SIGHUP, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    services.pEngine->SetWait(&view);
    pRun->Run();
    services.pEngine->SetWait(nullptr);
    platform.workers.Close();
    session.Unload();
    pRun->WriteEventRecords();

    view.PrintRows(rows.GetCount());
    const CScanner& scanner = pRun->GetScanner();
    const int nStatus = pRun->GetExitStatus(bMissing, g_nSignal);
    if (bVerbose && scanner.GetUnchanged() > 0)
        fprintf(stderr, LoadText(IDS_SCAN_TOOL_UNCHANGED), scanner.GetUnchanged());
    if (bVerbose && bCache && !platform.verdicts.GetOffReason().empty())
        fprintf(stderr, LoadText(IDS_SCAN_TOOL_CACHE_OFF), EscapeField(platform.verdicts.GetOffReason()).c_str());
    if (bJson)
        printf("{\"type\":\"summary\",\"scanned\":%d,\"infected\":%d,\"exit_status\":%d,%s,%s,\"unchanged\":%d}\n",
               scanner.GetScanned(), scanner.GetInfected(), nStatus,
               JsonBytesField("engine", pRun->GetRecord().strEngine).c_str(),
               JsonBytesField("engine_version", scanner.GetEngineVersion()).c_str(), scanner.GetUnchanged());
    else
        printf(LoadText(IDS_SCAN_TOOL_COUNTS), scanner.GetScanned(), scanner.GetInfected());
    view.Flush();
    if (nStatus > 128)
        fprintf(stderr, LoadText(IDS_SCAN_TOOL_STOPPED), scanner.GetScanned());
    // Rows or counts that never reached their reader: no complete answer.
    return EndScan(*pRun, services, view.m_bOutputLost && nStatus < 2 ? 2 : nStatus, bNotify);
}
