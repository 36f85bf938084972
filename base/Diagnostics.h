// Why something failed quietly, for a user or developer who wants to know:
// an engine restart, a backup or restore that failed, a folder that could
// not be listed, a slow mount given up on. Never shown in a dialog; the
// window program hands lines to its log, the command-line tools to standard
// error under --verbose. Set once by each program's composition root; none
// set means silence.
#pragma once

#include <string>

class IDiagnosticSink {
public:
    virtual ~IDiagnosticSink() = default;
    virtual void WriteLine(const std::string& strLine) = 0;
};

void SetDiagnosticSink(IDiagnosticSink* pSink);

// "what: path: reason"; nErrno 0 leaves the reason out. Paths are bytes and
// go out as they are.
void Diagnose(const std::string& strWhat, const std::string& strPath, int nErrno = 0);

// The command-line tools' sink under --verbose: one line each on standard
// error, after the program's name.
class CStderrDiagnosticSink : public IDiagnosticSink {
public:
    explicit CStderrDiagnosticSink(const char* pszProgram) : m_pszProgram(pszProgram) {}
    void WriteLine(const std::string& strLine) override;

private:
    const char* m_pszProgram;
};
