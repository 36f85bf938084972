// The window program's diagnostics go to wx's log as verbose messages:
// nothing is shown in a dialog, and `quillet --verbose` sends them to
// standard error.
#pragma once

#include "base/Diagnostics.h"

class CWxDiagnosticSink : public IDiagnosticSink {
public:
    void WriteLine(const std::string& strLine) override;
};

// Call once at start: with bVerbose, verbose messages go to standard error
// rather than to a dialog.
void SetUpDiagnosticLog(bool bVerbose);
