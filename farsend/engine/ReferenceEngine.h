// The reference engine behind the nine exported entry points. Callers use
// it from one thread, one call at a time, so it keeps no locks.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

#include "engine/ScannedFileStat.h"
#include "farsend/engine/ProbeTable.h"
#include "farsend/engine/SignatureScan.h"

namespace farsend {

inline constexpr uint32_t kFormatUnopenable = 10;
inline constexpr uint32_t kFormatNotRegular = 11;
inline constexpr int16_t kReportUnrepairable = 1;
inline constexpr int16_t kReportAccessDenied = 6;
inline constexpr int16_t kOutcomeCleaned = 1;
inline constexpr int16_t kOutcomeFailed = 3;
inline constexpr int16_t kOutcomeNothing = 0;

class CReferenceEngine {
public:
    CReferenceEngine() = default;
    ~CReferenceEngine();
    CReferenceEngine(const CReferenceEngine&) = delete;
    CReferenceEngine& operator=(const CReferenceEngine&) = delete;

    static const char* Version() { return "1.0.2612"; }

    void TurnOn();
    // Forgets every live handle; the engine stays usable.
    void TurnOff();

    uint32_t GetFileFormat(const char* pszPath);
    uint32_t Probe(const char* pszPath);
    int16_t Recover(uint32_t hProbe);
    int16_t Report(uint32_t hProbe);
    const char* Name(uint32_t hProbe);
    void Close(uint32_t hProbe);
    // After a probe that found nothing: the file it read (ScannedFile.h's
    // values); false when it cannot tell.
    bool GetScannedFile(uint64_t* parFile) const;

    // For the fault build: a handle whose file counts as infected by name.
    uint32_t AddFaultRecord(const char* pszPath, int nEntry, int nKind);
    CProbeRecord* Find(uint32_t hProbe) { return m_table.Find(hProbe); }

    // The format call leaves its descriptor and first chunk for the probe
    // that follows it; any other call gives them up.
    void DropPending();

private:
    bool CutSignature(const CProbeRecord& record);
    uint32_t AddUnreadable(const char* pszPath);

    CSignatureScanner m_scanner;
    CProbeTable m_table;
    std::string m_strPendingPath;
    int m_nPendingFd = -1;
    dev_t m_nPendingDevice = 0;
    ino_t m_nPendingInode = 0;
    uint64_t m_arPendingFile[SCANNED_VALUES] = {};
    bool m_bPendingFileKnown = false;
    uint64_t m_arScanned[SCANNED_VALUES] = {};
    bool m_bScannedKnown = false;
};

// The single engine of this library.
CReferenceEngine& Engine();

} // namespace farsend
