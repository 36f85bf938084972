// `quillet PATH...`: the results dialog straight away over the files and
// folders the command line (or a file manager) named, with the main
// dialog's options as its last scan saved them. No main dialog opens.
#pragma once

#include <string>
#include <vector>

#include "scan/ScanSession.h"

// arArgs: the targets as handed over (paths as bytes, or file: URIs).
// Missing targets are named in a message box first and the others scanned;
// the engine is loaded (a notice while it takes long; a failure is said as
// the main dialog says it). Returns the program's exit status: 0 once the
// results dialog closes, 2 when nothing could be scanned (no target found,
// no engine, or the wait for it cancelled).
int RunLaunchScan(CScanSession& session, const std::vector<std::string>& arArgs, bool bQuarantine);
