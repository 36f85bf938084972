#include "base/Diagnostics.h"

#include <stdio.h>
#include <string.h>

#include <mutex>

namespace {

IDiagnosticSink* g_pSink = nullptr;
// Engine workers report from their own threads; a sink sees one line at a
// time.
std::mutex g_mutexSink;

}  // namespace

void SetDiagnosticSink(IDiagnosticSink* pSink) {
    std::lock_guard<std::mutex> lock(g_mutexSink);
    g_pSink = pSink;
}

void Diagnose(const std::string& strWhat, const std::string& strPath, int nErrno) {
    std::lock_guard<std::mutex> lock(g_mutexSink);
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
