// The nine C entry points. Built three ways: the reference engine, the fault
// build (FARSEND_FAULTS) and a build lacking the close entry
// (FARSEND_OMIT_CLOSE) that a loader must refuse.
#include "engine/FarsendAbi.h"

#include "farsend/engine/ReferenceEngine.h"

#ifdef FARSEND_FAULTS
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <set>
#include <string>

#include "farsend/engine/FaultInjection.h"
#endif

#define FARSEND_EXPORT extern "C" __attribute__((visibility("default")))

using farsend::Engine;

namespace {

#ifdef FARSEND_FAULTS
using farsend::CFault;
using farsend::EFaultEntry;
using farsend::EFaultKind;

// Fault files are infected by name, so cleaning cannot change what a second
// probe sees; remember them so a caller re-probing after outcome 1 stops.
std::set<std::string>& SettledFaultPaths()
{
    static std::set<std::string> s_setPaths;
    return s_setPaths;
}

void FaultOnPath(const char* pszPath, EFaultEntry eEntry)
{
    CFault fault;
    if (farsend::FaultFromPath(pszPath, &fault) && fault.m_eEntry == eEntry)
        farsend::TriggerFault(fault.m_eKind);
}

void FaultOnHandle(uint32_t hProbe, EFaultEntry eEntry)
{
    const farsend::CProbeRecord* pRecord = Engine().Find(hProbe);
    if (pRecord && pRecord->m_eKind == farsend::ERecordKind::Fault &&
        pRecord->m_nFaultEntry == static_cast<int>(eEntry))
        farsend::TriggerFault(static_cast<EFaultKind>(pRecord->m_nFaultKind));
}

void FaultOnCall(EFaultEntry eEntry)
{
    farsend::TriggerFault(farsend::FaultFromEnvironment(eEntry));
}
#else
#define FaultOnPath(pszPath, eEntry) ((void)0)
#define FaultOnHandle(hProbe, eEntry) ((void)0)
#define FaultOnCall(eEntry) ((void)0)
#endif

} // namespace

FARSEND_EXPORT uint32_t dlGetFileFormat_Farsend(const char* pszPath)
{
    FaultOnPath(pszPath, EFaultEntry::Format);
    return Engine().GetFileFormat(pszPath);
}

#ifdef FARSEND_FAULTS
// A file named "engine-error..." is one the engine cannot scan, as when its
// daemon is gone: the probe says so through the optional export.
const char* g_pszLastError = nullptr;

FARSEND_EXPORT const char* dlGetLastError_Farsend(void)
{
    const char* pszError = g_pszLastError;
    g_pszLastError = nullptr;
    return pszError;
}
#endif

FARSEND_EXPORT uint32_t dlProbeInto_Farsend(const char* pszPath)
{
#ifdef FARSEND_FAULTS
    const char* pszSlash = std::strrchr(pszPath, '/');
    // "slow-NNN...": the probe takes NNN ms, so answers from several
    // workers come back out of order.
    const char* pszBase = pszSlash ? pszSlash + 1 : pszPath;
    if (std::strncmp(pszBase, "slow-", 5) == 0)
        ::usleep(static_cast<useconds_t>(std::atoi(pszBase + 5)) * 1000);
    if (std::strncmp(pszBase, "engine-error", 12) == 0) {
        g_pszLastError = "the daemon went away (test)";
        return 0;
    }
    CFault fault;
    if (farsend::FaultFromPath(pszPath, &fault)) {
        if (fault.m_eEntry == EFaultEntry::Probe)
            farsend::TriggerFault(fault.m_eKind);
        if (fault.m_eEntry != EFaultEntry::Format) {
            if (SettledFaultPaths().count(pszPath) != 0) {
                Engine().DropPending();
                return 0;
            }
            return Engine().AddFaultRecord(pszPath, static_cast<int>(fault.m_eEntry),
                                           static_cast<int>(fault.m_eKind));
        }
    }
#endif
    return Engine().Probe(pszPath);
}

FARSEND_EXPORT int16_t dlRecoverFile_Farsend(uint32_t hProbe)
{
    FaultOnHandle(hProbe, EFaultEntry::Recover);
    const int16_t nOutcome = Engine().Recover(hProbe);
#ifdef FARSEND_FAULTS
    const farsend::CProbeRecord* pRecord = Engine().Find(hProbe);
    if (pRecord && pRecord->m_eKind == farsend::ERecordKind::Fault)
        SettledFaultPaths().insert(pRecord->m_strPath);
#endif
    return nOutcome;
}

FARSEND_EXPORT int16_t dlGetVirusReport_Farsend(uint32_t hProbe)
{
    FaultOnHandle(hProbe, EFaultEntry::Report);
    return Engine().Report(hProbe);
}

FARSEND_EXPORT const char* dlGetVirusName_Farsend(uint32_t hProbe)
{
    FaultOnHandle(hProbe, EFaultEntry::Name);
    return Engine().Name(hProbe);
}

FARSEND_EXPORT const char* dlGetTorvaneVersion_Farsend(void)
{
    FaultOnCall(EFaultEntry::Version);
    Engine().DropPending();
    return farsend::CReferenceEngine::Version();
}

#ifndef FARSEND_OMIT_CLOSE
FARSEND_EXPORT void dlCloseProbe_Farsend(uint32_t hProbe)
{
    FaultOnHandle(hProbe, EFaultEntry::Close);
    Engine().Close(hProbe);
}
#endif

FARSEND_EXPORT void dlTurnOnTorvane_Farsend(void)
{
    FaultOnCall(EFaultEntry::TurnOn);
    Engine().TurnOn();
}

#ifdef FARSEND_FAULTS
// The optional export: an engine that turned on but cannot work says why.
FARSEND_EXPORT const char* dlGetTurnOnError_Farsend(void)
{
    return std::getenv("FARSEND_TURN_ON_ERROR");
}

// The reference engine keeps nothing a fork would break; the fault build
// says so, so that copies can be made to crash and hang in tests, unless
// FARSEND_NO_FORK asks it to pass for an engine of the oldest kind, as the
// shipped one is.
FARSEND_EXPORT int dlCanFork_Farsend(void)
{
    return std::getenv("FARSEND_NO_FORK") ? 0 : 1;
}
#endif

// Which file a clean probe read, so its verdict can be remembered.
FARSEND_EXPORT int dlGetScannedFile_Farsend(uint64_t* parFile)
{
    return parFile && Engine().GetScannedFile(parFile) ? 1 : 0;
}

FARSEND_EXPORT void dlTurnOffTorvane_Farsend(void)
{
    FaultOnCall(EFaultEntry::TurnOff);
    Engine().TurnOff();
}

// The exports must match the contract's pointer types exactly.
#include <type_traits>
static_assert(std::is_same_v<decltype(&dlGetFileFormat_Farsend), PFN_dlGetFileFormat_Farsend>);
static_assert(std::is_same_v<decltype(&dlProbeInto_Farsend), PFN_dlProbeInto_Farsend>);
static_assert(std::is_same_v<decltype(&dlRecoverFile_Farsend), PFN_dlRecoverFile_Farsend>);
static_assert(std::is_same_v<decltype(&dlGetVirusReport_Farsend), PFN_dlGetVirusReport_Farsend>);
static_assert(std::is_same_v<decltype(&dlGetVirusName_Farsend), PFN_dlGetVirusName_Farsend>);
static_assert(std::is_same_v<decltype(&dlGetTorvaneVersion_Farsend), PFN_dlGetTorvaneVersion_Farsend>);
#ifndef FARSEND_OMIT_CLOSE
static_assert(std::is_same_v<decltype(&dlCloseProbe_Farsend), PFN_dlCloseProbe_Farsend>);
#endif
static_assert(std::is_same_v<decltype(&dlTurnOnTorvane_Farsend), PFN_dlTurnOnTorvane_Farsend>);
static_assert(std::is_same_v<decltype(&dlTurnOffTorvane_Farsend), PFN_dlTurnOffTorvane_Farsend>);
static_assert(std::is_same_v<decltype(&dlGetScannedFile_Farsend), PFN_dlGetScannedFile_Farsend>);
#ifdef FARSEND_FAULTS
static_assert(std::is_same_v<decltype(&dlCanFork_Farsend), PFN_dlCanFork_Farsend>);
#endif
