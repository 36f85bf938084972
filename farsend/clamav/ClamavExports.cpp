// The nine entry points of the engine contract, the two optional ones
// that say why turning on, or a call, could not do its work, the one that
// lets the host fork copies of the turned-on engine, the one that names
// the limit a clean probe stopped at, and the pair that hand a daemon files
// ahead of their probes.
#include "engine/FarsendAbi.h"

#include <pthread.h>

#include "farsend/clamav/ClamavEngine.h"

#define FARSEND_EXPORT extern "C" __attribute__((visibility("default")))

using farsend::ClamavEngine;

FARSEND_EXPORT uint32_t dlGetFileFormat_Farsend(const char* pszPath)
{
    return ClamavEngine().GetFileFormat(pszPath);
}

FARSEND_EXPORT uint32_t dlProbeInto_Farsend(const char* pszPath)
{
    return ClamavEngine().Probe(pszPath);
}

FARSEND_EXPORT int16_t dlRecoverFile_Farsend(uint32_t hProbe)
{
    return ClamavEngine().Recover(hProbe);
}

FARSEND_EXPORT int16_t dlGetVirusReport_Farsend(uint32_t hProbe)
{
    return ClamavEngine().Report(hProbe);
}

FARSEND_EXPORT const char* dlGetVirusName_Farsend(uint32_t hProbe)
{
    return ClamavEngine().Name(hProbe);
}

FARSEND_EXPORT const char* dlGetTorvaneVersion_Farsend(void)
{
    return ClamavEngine().Version();
}

FARSEND_EXPORT void dlCloseProbe_Farsend(uint32_t hProbe)
{
    ClamavEngine().Close(hProbe);
}

FARSEND_EXPORT void dlTurnOnTorvane_Farsend(void)
{
    ClamavEngine().TurnOn();
}

FARSEND_EXPORT void dlTurnOffTorvane_Farsend(void)
{
    ClamavEngine().TurnOff();
}

FARSEND_EXPORT const char* dlGetTurnOnError_Farsend(void)
{
    return ClamavEngine().TurnOnError();
}

FARSEND_EXPORT const char* dlGetLastError_Farsend(void)
{
    return ClamavEngine().LastError();
}

FARSEND_EXPORT const char* dlGetScanNote_Farsend(void)
{
    return ClamavEngine().ScanNote();
}

// Which file a clean probe read, so its verdict can be remembered.
FARSEND_EXPORT int dlGetScannedFile_Farsend(uint64_t* parFile)
{
    return parFile && ClamavEngine().GetScannedFile(parFile) ? 1 : 0;
}

// With a daemon, several files are in flight at once.
FARSEND_EXPORT int dlGetPipelineDepth_Farsend(void)
{
    return ClamavEngine().PipelineDepth();
}

FARSEND_EXPORT void dlPrepareProbe_Farsend(const char* pszPath)
{
    ClamavEngine().Prepare(pszPath);
}

namespace {

void OnForkChild()
{
    ClamavEngine().AfterFork();
}

} // namespace

// libclamav's compiled engine is only read by scans, so copies share its
// pages; a copy talking to clamd opens its own session.
FARSEND_EXPORT int dlCanFork_Farsend(void)
{
    static const bool s_bReady = ::pthread_atfork(nullptr, nullptr, OnForkChild) == 0;
    return s_bReady ? 1 : 0;
}

// The exports must match the contract's pointer types exactly.
#include <type_traits>
static_assert(std::is_same_v<decltype(&dlGetFileFormat_Farsend), PFN_dlGetFileFormat_Farsend>);
static_assert(std::is_same_v<decltype(&dlProbeInto_Farsend), PFN_dlProbeInto_Farsend>);
static_assert(std::is_same_v<decltype(&dlRecoverFile_Farsend), PFN_dlRecoverFile_Farsend>);
static_assert(std::is_same_v<decltype(&dlGetVirusReport_Farsend), PFN_dlGetVirusReport_Farsend>);
static_assert(std::is_same_v<decltype(&dlGetVirusName_Farsend), PFN_dlGetVirusName_Farsend>);
static_assert(std::is_same_v<decltype(&dlGetTorvaneVersion_Farsend), PFN_dlGetTorvaneVersion_Farsend>);
static_assert(std::is_same_v<decltype(&dlCloseProbe_Farsend), PFN_dlCloseProbe_Farsend>);
static_assert(std::is_same_v<decltype(&dlTurnOnTorvane_Farsend), PFN_dlTurnOnTorvane_Farsend>);
static_assert(std::is_same_v<decltype(&dlTurnOffTorvane_Farsend), PFN_dlTurnOffTorvane_Farsend>);
static_assert(std::is_same_v<decltype(&dlGetTurnOnError_Farsend), PFN_dlGetTurnOnError_Farsend>);
static_assert(std::is_same_v<decltype(&dlCanFork_Farsend), PFN_dlCanFork_Farsend>);
static_assert(std::is_same_v<decltype(&dlGetScanNote_Farsend), PFN_dlGetScanNote_Farsend>);
static_assert(std::is_same_v<decltype(&dlGetScannedFile_Farsend), PFN_dlGetScannedFile_Farsend>);
static_assert(std::is_same_v<decltype(&dlGetPipelineDepth_Farsend), PFN_dlGetPipelineDepth_Farsend>);
static_assert(std::is_same_v<decltype(&dlPrepareProbe_Farsend), PFN_dlPrepareProbe_Farsend>);
