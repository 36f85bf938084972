// Deliberate failures for the fault build of the engine, so the host and the
// front end can be tested against an engine that crashes, aborts, hangs or
// exits inside any entry point. The shipped library never contains this.
#pragma once

namespace farsend {

enum class EFaultEntry { None, Format, Probe, Recover, Report, Name, Close, Version, TurnOn, TurnOff };
enum class EFaultKind { None, Crash, Abort, Hang, Exit };

struct CFault {
    EFaultEntry m_eEntry = EFaultEntry::None;
    EFaultKind m_eKind = EFaultKind::None;
};

// A file whose last path component begins with fault-<entry>-<kind>, entry
// one of format, probe, recover, report, name, close.
bool FaultFromPath(const char* pszPath, CFault* pFault);

// FARSEND_FAULT=<entry>-<kind> for the entries that take no path or handle:
// version, turnon, turnoff. Returns the kind when it names eEntry.
EFaultKind FaultFromEnvironment(EFaultEntry eEntry);

// Does not return for any kind but None.
void TriggerFault(EFaultKind eKind);

} // namespace farsend
