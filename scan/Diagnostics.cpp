#include "scan/Diagnostics.h"

#include <stdio.h>
#include <string.h>

namespace {

IDiagnosticSink* g_pSink = nullptr;

}  // namespace

void SetDiagnosticSink(IDiagnosticSink* pSink) {
    g_pSink = pSink;
}

void Diagnose(const std::string& strWhat, const std::string& strPath, int nErrno) {
    if (!g_pSink)
        return;
    std::string strLine = strWhat + ": " + strPath;
    if (nErrno != 0) {
        char szBuf[256];
        strLine += ": ";
        strLine += strerror_r(nErrno, szBuf, sizeof szBuf);
    }
    g_pSink->WriteLine(strLine);
}

void CStderrDiagnosticSink::WriteLine(const std::string& strLine) {
    std::string strOut = std::string(m_pszProgram) + ": " + strLine + "\n";
    fwrite(strOut.data(), 1, strOut.size(), stderr);
}
