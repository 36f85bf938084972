// The Linux side of the signature health: the database folder read without
// following links or waiting on FIFOs, the daemon asked its VERSION with a
// time bound, and whether clamav-freshclam runs.
#pragma once

#include <string>

#include "platform/EngineChoice.h"
#include "scan/SignatureHealth.h"

// Lists strFolder (a link there is not followed) and reads each
// container's header, at most DATABASE_HEADER_SIZE bytes.
void ReadSignatureFolder(const std::string& strFolder, SSIGNATUREHEALTH* pHealth);
// Sends VERSION to the daemon at unix:PATH or tcp:HOST:PORT and waits at
// most nTimeoutMs in all; false with *pstrWhy when no line came.
bool AskDaemonVersion(const std::string& strAddress, int nTimeoutMs, std::string* pstrLine, std::string* pstrWhy);
// clamav-freshclam's state: systemd's word for its unit, else its pid file.
EUpdaterState FindUpdaterState(bool* pbSystemd);

class CSignatureCheck : public ISignatureHealth {
public:
    // What the program runs: the reference engine or a library of the
    // user's own has no signatures to check.
    void SetChoice(const CEngineChoice& choice) { m_choice = choice; }
    void Check(SSIGNATUREHEALTH* pHealth) override;

private:
    CEngineChoice m_choice;
};
