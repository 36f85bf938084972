// How fresh the ClamAV signatures are, read from the databases themselves
// (or asked of the daemon), and what to tell the user when they are old,
// missing or unreadable. Parsing and wording are here; the folder, the
// daemon and the updater's state are read by the platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A signed or unsigned container (.cvd, .cld, .cud) opens with this many
// bytes of colon-separated text: "ClamAV-VDB", build time text, version,
// signature count, functionality level, MD5, digital signature, builder,
// build time in seconds; blank-padded.
constexpr size_t DATABASE_HEADER_SIZE = 512;
// Older than this, the newest database is said to be out of date.
constexpr int64_t DATABASE_STALE_SECONDS = 7 * 24 * 3600;
// Clocks differ a little; a build time further ahead than this is wrong.
constexpr int64_t DATABASE_FUTURE_SLACK_SECONDS = 24 * 3600;

enum EDatabaseKind {
    DATABASE_NONE,       // not a name libclamav loads
    DATABASE_CONTAINER,  // .cvd .cld .cud: a header of its own
    DATABASE_LOCAL,      // .hdb .ndb .ldb ...: signatures, no header
    DATABASE_LIST,       // .ign .ign2 .fp .sfp ...: ignore and allow lists, configuration
};
EDatabaseKind DatabaseKindOf(const std::string& strName);

enum EHeaderResult {
    HEADER_OK,
    HEADER_TRUNCATED,  // fewer bytes than a header
    HEADER_NOT_ONE,    // no "ClamAV-VDB:" at the start
    HEADER_DAMAGED,    // a version or count that is no number
};

struct SDATABASEHEADER {
    unsigned long nVersion = 0;
    unsigned long nSignatures = 0;
    bool bDated = false;  // false: neither build time field could be read
    int64_t nBuildTime = 0;  // seconds since the epoch, UTC
};

// The header in the first nSize bytes of a container. Reads nothing past
// DATABASE_HEADER_SIZE.
EHeaderResult ParseDatabaseHeader(const unsigned char* pData, size_t nSize, SDATABASEHEADER* pHeader);

// "ClamAV 1.0.3/27100/Tue Dec  5 08:24:01 2026" (the date in the daemon's
// local time) or "ClamAV 1.4.6" (no signed database). False for anything else.
bool ParseDaemonVersion(const std::string& strLine, std::string* pstrEngine, unsigned long* pnVersion,
                        bool* pbDated, int64_t* pnBuildTime);

// Whether the updater (clamav-freshclam) keeps the default folder current.
enum EUpdaterState {
    UPDATER_UNKNOWN,   // not asked: a folder of the user's own
    UPDATER_ACTIVE,
    UPDATER_STOPPED,   // installed, not running
    UPDATER_MISSING,   // not installed
};

struct SDATABASEFILE {
    std::string strName;
    EDatabaseKind eKind = DATABASE_NONE;
    // Containers: how the header read; every kind: why it could not be
    // opened ("" when it could).
    EHeaderResult eHeader = HEADER_OK;
    std::string strProblem;
    SDATABASEHEADER header;
};

struct SSIGNATUREHEALTH {
    // An engine with signatures to speak of (not the reference engine).
    bool bChecked = false;
    // In the host: the folder and what is in it.
    std::string strFolder;
    std::string strFolderProblem;  // why it could not be listed
    std::vector<SDATABASEFILE> arFiles;  // by name
    // Through a daemon: its address and its answer, or why there is none.
    std::string strDaemon;
    bool bDaemonAnswered = false;
    std::string strDaemonLine;
    std::string strDaemonProblem;
    EUpdaterState eUpdater = UPDATER_UNKNOWN;
    bool bSystemd = true;  // how the updater is started
};

// One line per database (and for the daemon), for --version and the
// information box.
std::vector<std::string> DescribeSignatures(const SSIGNATUREHEALTH& health);
// What is wrong, one sentence a line, with what to do; none when nothing is.
std::vector<std::string> SignatureWarnings(const SSIGNATUREHEALTH& health, int64_t nNow);
// "2026-12-05 08:24 UTC".
std::string FormatBuildTime(int64_t nTime);

// The platform's side: fills health for the engine the program runs.
class ISignatureHealth {
public:
    virtual ~ISignatureHealth() = default;
    virtual void Check(SSIGNATUREHEALTH* pHealth) = 0;
};
