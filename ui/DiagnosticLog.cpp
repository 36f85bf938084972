#include "ui/DiagnosticLog.h"

#include <wx/log.h>

#include "ui/DisplayText.h"

void CWxDiagnosticSink::WriteLine(const std::string& strLine) {
    wxLogVerbose("%s", ToDisplay(strLine));
}

void SetUpDiagnosticLog(bool bVerbose) {
    if (!bVerbose)
        return;
    delete wxLog::SetActiveTarget(new wxLogStderr());
    wxLog::SetVerbose(true);
}
