// Helpers for the ClamAV engine tests: the library loaded from beside the
// test, a signature database written with the real tools, what clamscan
// says, and a clamd started with a private configuration.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "engine/EngineTestSupport.h"

namespace clamtest {

struct CClamApi : enginetest::CEngineApi {
    PFN_dlGetTurnOnError_Farsend m_pfnTurnOnError = nullptr;
    // Optional in the contract, always here: why the last call failed, and
    // the limit a clean probe stopped at.
    const char* (*m_pfnLastError)(void) = nullptr;
    PFN_dlGetScanNote_Farsend m_pfnScanNote = nullptr;
    std::string TurnOnError() const
    {
        const char* psz = m_pfnTurnOnError();
        return psz ? psz : "";
    }
    std::string LastError() const
    {
        const char* psz = m_pfnLastError();
        return psz ? psz : "";
    }
};

// Loaded once per process, not turned on; aborts when an entry is missing.
const CClamApi& Clam();

// Turns the engine on with the in-process database strFolder, or with the
// daemon at strAddress, and returns the turn-on error ("" when ready).
std::string TurnOnWithDatabase(const std::string& strFolder);
std::string TurnOnWithDaemon(const std::string& strAddress);

// Full path of a program in PATH or the sbin folders; "" when absent.
std::string FindTool(const std::string& strName);

// Where Debian's clamav-testfiles keeps its samples.
inline constexpr const char* kTestFilesDir = "/usr/share/clamav-testfiles";

// What the engine says of one file, as a front end would ask it.
struct CVerdict {
    bool m_bScannable = false;
    std::string m_strName;  // "" when clean
    int m_nReport = 0;
    int m_nOutcome = 0;
    // Why the engine could not scan it; "" when it could.
    std::string m_strFailure;
    // Clean, but read only part way: the limit that stopped it.
    std::string m_strNote = "";
    bool operator==(const CVerdict&) const = default;
};
// For gtest's messages.
void PrintTo(const CVerdict& verdict, std::ostream* pOut);
CVerdict Ask(const CClamApi& api, const std::string& strPath);
// Ask on every entry of a folder, by name.
std::map<std::string, CVerdict> AskFolder(const CClamApi& api, const std::string& strFolder);

// The sample folder and its database: a file of our own signed by its MD5
// (sigtool --md5), the test files' program when installed, EICAR anywhere
// and a marker under a heuristic name (body signatures).
class CSampleSet {
public:
    // False, with pstrWhy, when sigtool is missing or fails.
    bool Write(const std::string& strRoot, std::string* pstrWhy);
    const std::string& Database() const { return m_strDatabase; }
    const std::string& Samples() const { return m_strSamples; }

private:
    std::string m_strDatabase;
    std::string m_strSamples;
};

// clamscan --no-summary -d strDatabase [arOptions] strFolder: file name ->
// virus name, for the files it reports FOUND. False when clamscan fails.
bool ClamscanNames(const std::string& strDatabase, const std::string& strFolder,
                   std::map<std::string, std::string>* pmapNames, std::string* pstrWhy,
                   const std::vector<std::string>& arOptions = {});

// Files libclamav reads only part way under kSmallLimits (in strFolder,
// made with zip; false with pstrWhy when it is missing), each with the real
// signature's twin where one follows the limit:
//   oversize.txt    EICAR past MaxFileSize
//   deep.zip        EICAR below MaxRecursion
//   deep-real.zip   deep.zip, then EICAR within reach
//   locked.zip      encrypted
//   locked-real.zip locked.zip, then EICAR unencrypted
bool WritePartialSamples(const std::string& strFolder, std::string* pstrWhy);
// The same limits for libclamav in the engine (QUILLET_CLAMAV_LIMITS) and,
// in clamd.conf's words, for a daemon.
inline constexpr const char* kSmallLimits = "MaxFileSize=20000,MaxRecursion=3";
inline constexpr const char* kSmallLimitsClamd = "MaxFileSize 20000\nMaxRecursion 3\n";

// A free loopback TCP port (bound and released; the race is harmless here).
int FreeLoopbackPort();

// A clamd of our own: private configuration and sockets in strRoot,
// the given database, stopped by the destructor.
class CClamdProcess {
public:
    ~CClamdProcess();
    // Starts it and waits until both sockets answer; false, with pstrWhy
    // (its own output included), when it does not come up. strMore: more
    // lines for its configuration.
    bool Start(const std::string& strClamd, const std::string& strRoot, const std::string& strDatabase,
               std::string* pstrWhy, const std::string& strMore = "");
    std::string LocalAddress() const { return "unix:" + m_strSocket; }
    std::string TcpAddress() const { return "tcp:127.0.0.1:" + std::to_string(m_nPort); }

private:
    pid_t m_nPid = -1;
    std::string m_strSocket;
    int m_nPort = 0;
};

} // namespace clamtest
