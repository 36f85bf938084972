// The engine contract over libclamav, in this process or through a clamd
// daemon. Callers use it from one thread, one call at a time.
//
// A file the engine could not scan is never answered "clean": the probe
// answers 0 and LastError says why, which the host turns into an engine
// fault on that file.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/ScannedFileStat.h"
#include "farsend/clamav/ClamdClient.h"

struct cl_engine;

namespace farsend {

inline constexpr uint32_t kClamFormatScannable = 0;
inline constexpr uint32_t kClamFormatUnopenable = 10;
inline constexpr uint32_t kClamFormatNotRegular = 11;
inline constexpr int16_t kClamReportSignature = 1;  // "Unrepairable"
inline constexpr int16_t kClamReportSuspected = 3;  // heuristic or PUA
inline constexpr int16_t kClamOutcomeFailed = 3;    // ClamAV cleans nothing
inline constexpr int16_t kClamOutcomeNothing = 0;

// The version text, at most ten characters: the engine's version and the
// signed database's, as "clamscan --version" shows them ("1.4.6/27453").
// Too long, the engine's patch level goes first ("1.4/27453"), then its
// minor ("1/27453"); without a signed database only the engine's version.
std::string ShortVersionText(const std::string& strEngine, unsigned long nDatabase);

class CClamavEngine {
public:
    CClamavEngine() = default;
    ~CClamavEngine();
    CClamavEngine(const CClamavEngine&) = delete;
    CClamavEngine& operator=(const CClamavEngine&) = delete;

    // Reads QUILLET_CLAMD and QUILLET_CLAMAV_DATABASE, the alert settings
    // QUILLET_CLAMAV_ALERT_EXCEEDS_MAX and QUILLET_CLAMAV_ALERT_ENCRYPTED
    // ("yes": those stay findings) and QUILLET_CLAMAV_LIMITS
    // ("MaxFileSize=N,MaxScanSize=N,MaxRecursion=N,MaxFiles=N,MaxScanTime=MS",
    // libclamav's limits for the database in this process); on failure
    // TurnOnError says why.
    void TurnOn();
    void TurnOff();
    // "" when ready, else one line for the user.
    const char* TurnOnError() const { return m_strTurnOnError.c_str(); }
    // Why the last format, probe or recover call could not do its work;
    // "" when it did.
    const char* LastError() const { return m_strLastError.c_str(); }
    // After a probe that answered clean: the limit that stopped libclamav
    // part way ("MaxFileSize", "encrypted"...); "" when it read it all.
    const char* ScanNote() const { return m_strScanNote.c_str(); }
    // After a probe that answered clean: the file it read (ScannedFile.h's
    // values); false when it cannot tell.
    bool GetScannedFile(uint64_t* parFile) const;

    // In a fork()ed copy, before its first call: what the copy must not
    // share with its parent. The compiled engine is read-only and stays
    // shared; a daemon is reached over a connection of each call's own.
    void AfterFork();

    // Told of a file the format and probe calls will soon ask of: a daemon
    // is handed it at once, so several scan at a time; its answer is read
    // at the probe. Nothing for libclamav in this process.
    void Prepare(const char* pszPath);
    // How many files ahead the engine would be told of (0: none).
    int PipelineDepth() const;

    uint32_t GetFileFormat(const char* pszPath);
    uint32_t Probe(const char* pszPath);
    int16_t Recover(uint32_t hProbe);
    int16_t Report(uint32_t hProbe);
    const char* Name(uint32_t hProbe);
    const char* Version();
    void Close(uint32_t hProbe);

private:
    struct CFinding {
        std::string m_strName;
        int16_t m_nReport = kClamReportSignature;
    };

    bool LoadDatabase(const std::string& strFolder);
    bool ReachDaemon(const std::string& strAddress);
    int OpenForScan(const char* pszPath);
    uint32_t ScanInProcess(int nFd, const char* pszPath);
    uint32_t ScanWithDaemon(int nFd);
    uint32_t DaemonVerdict(EClamd eResult, const std::string& strName, const std::string& strWhy);
    void DropPrepared();
    uint32_t AddFinding(const char* pszName);
    // A finding that only says libclamav stopped part way becomes a note,
    // unless the user asked for such alerts as findings.
    uint32_t AddFindingOrNote(const char* pszName);
    bool ApplyLimits(const char* pszLimits);
    // Sets LastError; the probe's answer, 0, is then no verdict.
    uint32_t Fail(const std::string& strWhy);
    void DropPending();
    void FreeRetired();

    cl_engine* m_pEngine = nullptr;
    cl_engine* m_pRetired = nullptr;  // turned off, not yet freed
    CClamdClient m_clamd;
    bool m_bDaemon = false;
    std::map<uint32_t, CFinding> m_mapFindings;
    uint32_t m_nLastHandle = 0;
    std::string m_strVersion;
    std::string m_strTurnOnError;
    std::string m_strLastError;
    std::string m_strScanNote;
    bool m_bAlertExceedsMax = false;
    bool m_bAlertEncrypted = false;
    // The format call leaves its open file for the probe that follows.
    std::string m_strPendingPath;
    int m_nPendingFd = -1;
    uint64_t m_arScanned[SCANNED_VALUES] = {};
    bool m_bScannedKnown = false;
    // Files handed to the daemon ahead of their probe, oldest first.
    struct CPrepared {
        std::string m_strPath;
        uint64_t m_nTicket = 0;
        EClamd m_eFailed = EClamd::Clean;  // else nothing was sent, and why
        std::string m_strWhy;
        uint64_t m_arScanned[SCANNED_VALUES] = {};
        bool m_bScannedKnown = false;
    };
    std::vector<CPrepared> m_arPrepared;
};

// The single engine of this library.
CClamavEngine& ClamavEngine();

} // namespace farsend
