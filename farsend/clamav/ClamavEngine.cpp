#include "farsend/clamav/ClamavEngine.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <clamav.h>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <strings.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "base/ClamavAdvice.h"
#include "engine/RegularFile.h"

namespace farsend {

namespace {

constexpr int kOpenRead = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
// At turn-on a daemon answers its version at once or not at all.
constexpr int kTurnOnWaitMs = 10000;
constexpr std::size_t kVersionMax = 10;
constexpr std::size_t kReasonMax = 300;
// Files in flight on the daemon, all workers together: enough that its
// threads never wait for our next ask (fewer measured slower), few enough
// that a stop waits on little.
constexpr int kDaemonDepth = 32;
// Over TCP none: a stream sent behind another waits at the daemon (4,000
// small files took 13.5 s so, 1.6 s one at a time).
constexpr int kStreamDepth = 0;
// Files told of and never asked for (a host's caller that went away) are
// dropped beyond this.
constexpr std::size_t kPreparedMax = 64;
// libclamav allocates and frees megabytes for every file it scans (more the
// more logical signatures the database holds); left to give that back to
// the system after each file, malloc takes it anew page by page, over a
// thousand page faults a file with a full database.
constexpr int kHeapSlackBytes = 16 << 20;

const char kDefaultDatabase[] = "/var/lib/clamav";

void CloseQuietly(int nFd)
{
    // Linux releases the descriptor even when close reports EINTR; never retry.
    if (nFd >= 0)
        ::close(nFd);
}

// libclamav's own error lines while a database loads, to tell the user why;
// null the rest of the time.
std::vector<std::string>* s_parLoadErrors = nullptr;

void OnLibraryMessage(enum cl_msg eSeverity, const char* /*pszFull*/, const char* pszMessage, void* /*pContext*/)
{
    // Left alone libclamav writes to the front end's terminal; its warnings
    // about single files say nothing the scan's result does not.
    if (!s_parLoadErrors || eSeverity != CL_MSG_ERROR || !pszMessage)
        return;
    std::string strLine = pszMessage;
    // "cli_loadhash: Empty database file": the function's name helps no user.
    std::size_t nName = 0;
    const auto IsNameChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    while (nName < strLine.size() && IsNameChar(strLine[nName]))
        ++nName;
    if (nName > 0 && strLine.compare(nName, 2, "()") == 0)
        nName += 2;
    if (nName > 0 && strLine.compare(nName, 2, ": ") == 0)
        strLine.erase(0, nName + 2);
    while (!strLine.empty() && (strLine.back() == '\n' || strLine.back() == ' '))
        strLine.pop_back();
    if (!strLine.empty())
        s_parLoadErrors->push_back(strLine);
}

// libclamav leaves the name out of cl_scandesc's answer for a file above
// MaxFileSize, but calls this back with it.
void OnVirusFound(int /*nFd*/, const char* pszName, void* pContext)
{
    if (pContext && pszName)
        static_cast<std::string*>(pContext)->assign(pszName);
}

// One line for the user: no control characters.
std::string OneLine(std::string str)
{
    for (char& c : str)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return str;
}

// libclamav's words can run long; what follows them must stay in view.
std::string Clip(std::string str)
{
    if (str.size() > kReasonMax)
        str = str.substr(0, kReasonMax - 3) + "...";
    return str;
}

const char* Environment(const char* pszName)
{
    const char* psz = std::getenv(pszName);
    return psz && *psz ? psz : nullptr;
}

// The options clamscan scans with when given none: every parser, heuristic
// alerts on, first match only, no alert beyond the defaults.
cl_scan_options ClamscanDefaultOptions()
{
    cl_scan_options options = {};
    options.general = CL_SCAN_GENERAL_HEURISTICS;
    options.parse = CL_SCAN_PARSE_ARCHIVE | CL_SCAN_PARSE_ELF | CL_SCAN_PARSE_PDF | CL_SCAN_PARSE_SWF |
                    CL_SCAN_PARSE_HWP3 | CL_SCAN_PARSE_XMLDOCS | CL_SCAN_PARSE_MAIL | CL_SCAN_PARSE_OLE2 |
                    CL_SCAN_PARSE_HTML | CL_SCAN_PARSE_PE | CL_SCAN_PARSE_ONENOTE | CL_SCAN_PARSE_IMAGE |
                    CL_SCAN_PARSE_IMAGE_FUZZY_HASH;
    return options;
}

// libclamav answers these when a limit or a broken part stopped it partway:
// the file was scanned as far as it could be, and clamscan counts no
// infection. Any other error means the file was not scanned at all.
bool IsPartialScan(cl_error_t eResult)
{
    switch (eResult) {
    case CL_ETIMEOUT:
    case CL_EMAXREC:
    case CL_EMAXSIZE:
    case CL_EMAXFILES:
    case CL_EFORMAT:
    case CL_EPARSE:
    case CL_EBYTECODE:
    case CL_EBYTECODE_TESTFAIL:
        return true;
    default:
        return false;
    }
}

// The limits libclamav may be given for a test, by the names clamd.conf
// uses for them.
struct CLimitName {
    const char* m_pszName;
    cl_engine_field m_eField;
};
constexpr CLimitName kLimitNames[] = {
    {"MaxFileSize", CL_ENGINE_MAX_FILESIZE}, {"MaxScanSize", CL_ENGINE_MAX_SCANSIZE},
    {"MaxRecursion", CL_ENGINE_MAX_RECURSION}, {"MaxFiles", CL_ENGINE_MAX_FILES},
    {"MaxScanTime", CL_ENGINE_MAX_SCANTIME},
};

// What libclamav's alerts for exceeded limits and encryption say (and
// clamd's, where its configuration turns them on): the file was read only
// part way. The limit's name for the user, and whether it is encryption.
bool PartialScanNote(const std::string& strName, std::string* pstrNote, bool* pbEncrypted)
{
    const auto Tail = [&strName](const std::string& strPrefix, std::string* pstrTail) {
        if (strName.compare(0, strPrefix.size(), strPrefix) != 0)
            return false;
        *pstrTail = strName.substr(strPrefix.size());
        // A database's own signature of that name carries more (".UNOFFICIAL").
        return !pstrTail->empty() && pstrTail->find('.') == std::string::npos;
    };
    std::string strTail;
    if (Tail("Heuristics.Limits.Exceeded.", &strTail)) {
        *pstrNote = strTail;
        *pbEncrypted = false;
        return true;
    }
    if (Tail("Heuristics.Encrypted.", &strTail)) {
        *pstrNote = "encrypted";
        *pbEncrypted = true;
        return true;
    }
    return false;
}

// The names libclamav loads from a database folder, by their endings.
bool IsDatabaseName(const char* pszName)
{
    static const char* const arEndings[] = {
        ".db",  ".db2", ".db3", ".hdb", ".hdu", ".fp",  ".mdb", ".mdu", ".hsb", ".hsu",  ".sfp", ".msb",  ".msu",
        ".ndb", ".ndu", ".ldb", ".ldu", ".sdb", ".zmd", ".rmd", ".pdb", ".gdb", ".wdb",  ".cbc", ".ftm",  ".cfg",
        ".cvd", ".cld", ".cud", ".cdb", ".cat", ".crb", ".idb", ".ioc", ".yar", ".yara", ".pwdb", ".ign", ".ign2",
        ".imp", ".info"};
    const std::size_t nName = std::strlen(pszName);
    for (const char* pszEnding : arEndings) {
        const std::size_t nEnding = std::strlen(pszEnding);
        if (nName >= nEnding && ::strcasecmp(pszName + nName - nEnding, pszEnding) == 0)
            return true;
    }
    return false;
}

// The limit behind an error libclamav stopped with; "" for a broken file.
const char* LimitOfError(cl_error_t eResult)
{
    switch (eResult) {
    case CL_ETIMEOUT:
        return "MaxScanTime";
    case CL_EMAXREC:
        return "MaxRecursion";
    case CL_EMAXSIZE:
        return "MaxFileSize or MaxScanSize";
    case CL_EMAXFILES:
        return "MaxFiles";
    default:
        return "";
    }
}

std::string DatabaseFailure(const std::string& strFolder, const std::string& strReason)
{
    // What to run: never to install a package that is already there.
    return OneLine(DatabaseProblemText(strFolder, Clip(strReason), IsFreshclamInstalled()));
}

} // namespace

std::string ShortVersionText(const std::string& strEngine, unsigned long nDatabase)
{
    // Only the dotted number: a packager's suffix ("+dfsg") says nothing here.
    std::string strNumber;
    for (char c : strEngine) {
        if ((c < '0' || c > '9') && c != '.')
            break;
        strNumber += c;
    }
    while (!strNumber.empty() && strNumber.back() == '.')
        strNumber.pop_back();
    if (strNumber.empty())
        strNumber.assign(1, '?');
    std::string strDatabase;
    if (nDatabase) {
        strDatabase.assign(1, '/');
        strDatabase += std::to_string(nDatabase);
    }
    for (;;) {
        const std::string strText = strNumber + strDatabase;
        const std::size_t nDot = strNumber.rfind('.');
        if (strText.size() <= kVersionMax || nDot == std::string::npos)
            return strText.substr(0, kVersionMax);
        strNumber.erase(nDot);
    }
}

CClamavEngine& ClamavEngine()
{
    static CClamavEngine s_engine;
    return s_engine;
}

CClamavEngine::~CClamavEngine()
{
    TurnOff();
    FreeRetired();
}

void CClamavEngine::FreeRetired()
{
    if (m_pRetired) {
        cl_engine_free(m_pRetired);
        m_pRetired = nullptr;
    }
}

void CClamavEngine::TurnOn()
{
    TurnOff();
    FreeRetired();
    m_strTurnOnError.clear();
    const auto IsYes = [](const char* psz) { return psz && std::strcmp(psz, "yes") == 0; };
    m_bAlertExceedsMax = IsYes(Environment("QUILLET_CLAMAV_ALERT_EXCEEDS_MAX"));
    m_bAlertEncrypted = IsYes(Environment("QUILLET_CLAMAV_ALERT_ENCRYPTED"));
    if (const char* pszAddress = Environment("QUILLET_CLAMD")) {
        ReachDaemon(pszAddress);
        return;
    }
    const char* pszFolder = Environment("QUILLET_CLAMAV_DATABASE");
    LoadDatabase(pszFolder ? pszFolder : kDefaultDatabase);
}

void CClamavEngine::TurnOff()
{
    DropPending();
    DropPrepared();
    m_strLastError.clear();
    m_strScanNote.clear();
    m_mapFindings.clear();
    // The host exits right after turning the engine off, and the exit gives
    // a full database's memory back at once: freeing its millions of pieces
    // one by one would keep the front end waiting most of a second (longer
    // after forked workers, each page then a copy-on-write fault). Freed at
    // the next turn-on, or with this object, in a process that goes on.
    if (m_pEngine) {
        FreeRetired();
        m_pRetired = m_pEngine;
        m_pEngine = nullptr;
    }
    m_clamd.EndSession();
    m_bDaemon = false;
    m_strVersion.clear();
}

bool CClamavEngine::ReachDaemon(const std::string& strAddress)
{
    std::string strWhy;
    if (!m_clamd.SetAddress(strAddress, &strWhy)) {
        m_strTurnOnError = OneLine(strWhy);
        return false;
    }
    std::string strLine;
    const EClamd eResult = m_clamd.Version(kTurnOnWaitMs, &strLine, &strWhy);
    std::string strEngine;
    unsigned long nDatabase = 0;
    if (eResult == EClamd::Clean && ParseVersionLine(strLine, &strEngine, &nDatabase)) {
        m_strVersion = ShortVersionText(strEngine, nDatabase);
        m_bDaemon = true;
        return true;
    }
    // One sentence: what failed, where, and what to do about it.
    if (eResult == EClamd::Unreachable)
        m_strTurnOnError =
            DaemonProblemText(DaemonProblemFromErrno(m_clamd.ConnectErrno()), strAddress, Clip(strWhy));
    else if (eResult == EClamd::Clean)
        m_strTurnOnError =
            DaemonProblemText(EDaemonProblem::NotDaemon, strAddress, "it said \"" + Clip(strLine) + "\"");
    else
        m_strTurnOnError = DaemonProblemText(EDaemonProblem::Silent, strAddress, Clip(strWhy));
    m_strTurnOnError = OneLine(m_strTurnOnError);
    return false;
}

bool CClamavEngine::LoadDatabase(const std::string& strFolder)
{
    // The usual faults first, in words a user can act on.
    struct stat st;
    if (::stat(strFolder.c_str(), &st) != 0) {
        m_strTurnOnError = DatabaseFailure(
            strFolder, errno == ENOENT ? std::string("the folder does not exist") : std::strerror(errno));
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        m_strTurnOnError = DatabaseFailure(strFolder, "it is not a folder");
        return false;
    }
    DIR* pDir = ::opendir(strFolder.c_str());
    if (!pDir) {
        m_strTurnOnError =
            DatabaseFailure(strFolder, std::string("the folder cannot be read: ") + std::strerror(errno));
        return false;
    }
    bool bEmpty = true;
    std::string strNotFile;
    while (const dirent* pEntry = ::readdir(pDir)) {
        bEmpty = bEmpty && (std::strcmp(pEntry->d_name, ".") == 0 || std::strcmp(pEntry->d_name, "..") == 0);
        // libclamav opens and reads every entry named like a database:
        // a FIFO among them would hold the loading for good.
        int nErr = 0;
        if (strNotFile.empty() && IsDatabaseName(pEntry->d_name)) {
            const int nFd = OpenRegularFile(pEntry->d_name, &nErr, ::dirfd(pDir));
            if (nFd >= 0)
                CloseQuietly(nFd);
            else
                strNotFile = strFolder + "/" + pEntry->d_name + ": " + RegularFileError(nErr);
        }
    }
    ::closedir(pDir);
    if (bEmpty) {
        m_strTurnOnError = DatabaseFailure(strFolder, "the folder is empty");
        return false;
    }
    if (!strNotFile.empty()) {
        m_strTurnOnError = DatabaseFailure(strFolder, strNotFile);
        return false;
    }

    static bool s_bInitialised = false;
    cl_set_clcb_msg(OnLibraryMessage);
    if (!s_bInitialised) {
        const cl_error_t eInit = cl_init(CL_INIT_DEFAULT);
        if (eInit != CL_SUCCESS) {
            m_strTurnOnError = OneLine(std::string("libclamav cannot start: ") + cl_strerror(eInit));
            return false;
        }
        s_bInitialised = true;
    }
    ::mallopt(M_TOP_PAD, kHeapSlackBytes);
    m_pEngine = cl_engine_new();
    if (!m_pEngine) {
        m_strTurnOnError = "libclamav cannot start: out of memory";
        return false;
    }
    // libclamav makes a folder for every file it scans; on tmpfs that costs
    // far less than on a disk.
    const char* pszRuntime = Environment("XDG_RUNTIME_DIR");
    struct stat stRuntime;
    if (pszRuntime && ::stat(pszRuntime, &stRuntime) == 0 && S_ISDIR(stRuntime.st_mode) &&
        ::access(pszRuntime, W_OK | X_OK) == 0)
        cl_engine_set_str(m_pEngine, CL_ENGINE_TMPDIR, pszRuntime);
    cl_engine_set_clcb_virus_found(m_pEngine, OnVirusFound);
    if (const char* pszLimits = Environment("QUILLET_CLAMAV_LIMITS"); pszLimits && !ApplyLimits(pszLimits)) {
        cl_engine_free(m_pEngine);
        m_pEngine = nullptr;
        return false;
    }

    std::vector<std::string> arErrors;
    s_parLoadErrors = &arErrors;
    unsigned int nSignatures = 0;
    cl_error_t eResult = cl_load(strFolder.c_str(), m_pEngine, &nSignatures, CL_DB_STDOPT);
    std::string strReason;
    if (eResult == CL_SUCCESS && nSignatures == 0) {
        strReason = "the folder holds no signatures";
    } else if (eResult == CL_SUCCESS) {
        eResult = cl_engine_compile(m_pEngine);
        if (eResult != CL_SUCCESS)
            strReason = std::string("the signatures do not compile: ") + cl_strerror(eResult);
    } else {
        strReason = cl_strerror(eResult);
    }
    s_parLoadErrors = nullptr;
    if (!strReason.empty()) {
        // libclamav's first words name the file and the line.
        for (std::size_t i = 0; i < arErrors.size() && i < 2; ++i)
            strReason += (i == 0 ? " (" : "; ") + arErrors[i];
        if (!arErrors.empty())
            strReason += ")";
        m_strTurnOnError = DatabaseFailure(strFolder, strReason);
        cl_engine_free(m_pEngine);
        m_pEngine = nullptr;
        return false;
    }
    int nError = 0;
    const long long nDatabase = cl_engine_get_num(m_pEngine, CL_ENGINE_DB_VERSION, &nError);
    m_strVersion = ShortVersionText(cl_retver(), nError == CL_SUCCESS && nDatabase > 0
                                                     ? static_cast<unsigned long>(nDatabase)
                                                     : 0);
    return true;
}

bool CClamavEngine::ApplyLimits(const char* pszLimits)
{
    std::string strItem;
    const std::string strAll = pszLimits;
    for (std::size_t nStart = 0; nStart <= strAll.size();) {
        std::size_t nEnd = strAll.find(',', nStart);
        if (nEnd == std::string::npos)
            nEnd = strAll.size();
        strItem = strAll.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        const std::size_t nEq = strItem.find('=');
        const CLimitName* pLimit = nullptr;
        for (const CLimitName& limit : kLimitNames)
            if (nEq != std::string::npos && strItem.compare(0, nEq, limit.m_pszName) == 0)
                pLimit = &limit;
        char* pszEnd = nullptr;
        const long long nValue = pLimit ? std::strtoll(strItem.c_str() + nEq + 1, &pszEnd, 10) : -1;
        if (!pLimit || nValue < 0 || pszEnd == strItem.c_str() + nEq + 1 || *pszEnd != '\0' ||
            cl_engine_set_num(m_pEngine, pLimit->m_eField, nValue) != CL_SUCCESS) {
            m_strTurnOnError = OneLine("QUILLET_CLAMAV_LIMITS: \"" + Clip(strItem) + "\" is not NAME=NUMBER for a limit");
            return false;
        }
    }
    return true;
}

const char* CClamavEngine::Version()
{
    DropPending();
    return m_strVersion.c_str();
}

void CClamavEngine::AfterFork()
{
    // The format call's open file: its offset is shared with the parent.
    DropPending();
    m_arPrepared.clear();
    m_clamd.ForgetSession();
    // libclamav names its temporary files from rand(): copies left with
    // the parent's state would all pick the same names.
    timespec ts = {};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    std::srand(static_cast<unsigned>(::getpid()) * 2654435761u ^ static_cast<unsigned>(ts.tv_nsec));
}

void CClamavEngine::DropPending()
{
    CloseQuietly(m_nPendingFd);
    m_nPendingFd = -1;
    m_strPendingPath.clear();
}

int CClamavEngine::PipelineDepth() const
{
    if (!m_bDaemon)
        return 0;
    return m_clamd.IsLocal() ? kDaemonDepth : kStreamDepth;
}

void CClamavEngine::DropPrepared()
{
    for (const CPrepared& prepared : m_arPrepared)
        if (prepared.m_eFailed == EClamd::Clean)
            m_clamd.Forget(prepared.m_nTicket);
    m_arPrepared.clear();
}

void CClamavEngine::Prepare(const char* pszPath)
{
    if (!m_bDaemon || !pszPath || !*pszPath)
        return;
    for (const CPrepared& prepared : m_arPrepared)
        if (prepared.m_strPath == pszPath)
            return;
    if (m_arPrepared.size() >= kPreparedMax) {
        if (m_arPrepared.front().m_eFailed == EClamd::Clean)
            m_clamd.Forget(m_arPrepared.front().m_nTicket);
        m_arPrepared.erase(m_arPrepared.begin());
    }
    // Only a regular file with something in it goes ahead; the rest is
    // left to the format and probe calls, as without being told.
    const int nFd = ::open(pszPath, kOpenRead);
    struct stat st;
    if (nFd < 0 || ::fstat(nFd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
        CloseQuietly(nFd);
        return;
    }
    CPrepared prepared;
    prepared.m_strPath = pszPath;
    // Described before the daemon reads a byte.
    prepared.m_bScannedKnown = DescribeScannedFile(nFd, st, prepared.m_arScanned);
    // A failure here is the probe's answer: the file costs one attempt.
    prepared.m_eFailed = m_clamd.Submit(nFd, &prepared.m_nTicket, &prepared.m_strWhy);
    CloseQuietly(nFd);
    m_arPrepared.push_back(std::move(prepared));
}

uint32_t CClamavEngine::GetFileFormat(const char* pszPath)
{
    DropPending();
    m_strLastError.clear();
    if (!pszPath || !*pszPath)
        return kClamFormatUnopenable;
    // Handed to the daemon already: a regular file when it was opened.
    for (const CPrepared& prepared : m_arPrepared)
        if (prepared.m_strPath == pszPath)
            return kClamFormatScannable;
    // O_NONBLOCK: opening a FIFO or a device must never wait.
    const int nFd = ::open(pszPath, kOpenRead);
    struct stat st;
    if (nFd < 0) {
        // A socket cannot be opened at all but is still "not a regular file".
        return ::stat(pszPath, &st) == 0 && !S_ISREG(st.st_mode) ? kClamFormatNotRegular : kClamFormatUnopenable;
    }
    if (::fstat(nFd, &st) != 0) {
        CloseQuietly(nFd);
        return kClamFormatUnopenable;
    }
    if (!S_ISREG(st.st_mode)) {
        CloseQuietly(nFd);
        return kClamFormatNotRegular;
    }
    m_nPendingFd = nFd;
    m_strPendingPath = pszPath;
    return kClamFormatScannable;
}

int CClamavEngine::OpenForScan(const char* pszPath)
{
    if (m_nPendingFd >= 0 && m_strPendingPath == pszPath) {
        const int nFd = m_nPendingFd;
        m_nPendingFd = -1;
        m_strPendingPath.clear();
        return nFd;
    }
    DropPending();
    const int nFd = ::open(pszPath, kOpenRead);
    struct stat st;
    if (nFd < 0) {
        Fail(std::string("the file could not be opened: ") + std::strerror(errno));
        return -1;
    }
    if (::fstat(nFd, &st) != 0 || !S_ISREG(st.st_mode)) {
        CloseQuietly(nFd);
        Fail("the file is no longer a regular file");
        return -1;
    }
    return nFd;
}

uint32_t CClamavEngine::Fail(const std::string& strWhy)
{
    m_strLastError = OneLine(strWhy);
    return 0;
}

uint32_t CClamavEngine::Probe(const char* pszPath)
{
    m_strLastError.clear();
    m_strScanNote.clear();
    m_bScannedKnown = false;
    if (!pszPath || !*pszPath || (!m_pEngine && !m_bDaemon)) {
        DropPending();
        return Fail("the engine is not turned on");
    }
    for (auto it = m_arPrepared.begin(); it != m_arPrepared.end(); ++it) {
        if (it->m_strPath != pszPath)
            continue;
        const CPrepared prepared = std::move(*it);
        m_arPrepared.erase(it);
        DropPending();
        if (prepared.m_eFailed != EClamd::Clean)
            return DaemonVerdict(prepared.m_eFailed, std::string(), prepared.m_strWhy);
        std::string strName;
        std::string strWhy;
        const EClamd eResult = m_clamd.Collect(prepared.m_nTicket, &strName, &strWhy);
        m_bScannedKnown = prepared.m_bScannedKnown;
        std::copy(std::begin(prepared.m_arScanned), std::end(prepared.m_arScanned), m_arScanned);
        return DaemonVerdict(eResult, strName, strWhy);
    }
    const int nFd = OpenForScan(pszPath);
    if (nFd < 0)
        return 0;
    struct stat st;
    if (::fstat(nFd, &st) != 0) {
        CloseQuietly(nFd);
        return Fail(std::string("the file could not be examined: ") + std::strerror(errno));
    }
    // Described before the first byte is read.
    m_bScannedKnown = DescribeScannedFile(nFd, st, m_arScanned);
    // clamscan passes over empty files without a word; so do we.
    if (st.st_size == 0) {
        CloseQuietly(nFd);
        return 0;
    }
    const uint32_t hProbe = m_bDaemon ? ScanWithDaemon(nFd) : ScanInProcess(nFd, pszPath);
    CloseQuietly(nFd);
    return hProbe;
}

bool CClamavEngine::GetScannedFile(uint64_t* parFile) const
{
    if (!m_bScannedKnown)
        return false;
    std::copy(std::begin(m_arScanned), std::end(m_arScanned), parFile);
    return true;
}

uint32_t CClamavEngine::ScanInProcess(int nFd, const char* pszPath)
{
    cl_scan_options options = ClamscanDefaultOptions();
    // libclamav then says when a limit or encryption stopped it part way;
    // a real signature still wins over those alerts.
    options.heuristic |=
        CL_SCAN_HEURISTIC_EXCEEDS_MAX | CL_SCAN_HEURISTIC_ENCRYPTED_ARCHIVE | CL_SCAN_HEURISTIC_ENCRYPTED_DOC;
    const char* pszVirus = nullptr;
    unsigned long nScanned = 0;
    std::string strCalledBack;
    const cl_error_t eResult =
        cl_scandesc_callback(nFd, pszPath, &pszVirus, &nScanned, m_pEngine, &options, &strCalledBack);
    if (eResult == CL_VIRUS)
        return AddFindingOrNote(pszVirus ? pszVirus : strCalledBack.c_str());
    if (eResult == CL_CLEAN || eResult == CL_VERIFIED || IsPartialScan(eResult)) {
        m_strScanNote = LimitOfError(eResult);
        return 0;
    }
    return Fail(std::string("libclamav could not scan the file: ") + cl_strerror(eResult));
}

uint32_t CClamavEngine::ScanWithDaemon(int nFd)
{
    std::string strName;
    std::string strWhy;
    const EClamd eResult = m_clamd.Scan(nFd, &strName, &strWhy);
    return DaemonVerdict(eResult, strName, strWhy);
}

uint32_t CClamavEngine::DaemonVerdict(EClamd eResult, const std::string& strName, const std::string& strWhy)
{
    const std::string strDaemon = "clamd at " + m_clamd.Address();
    switch (eResult) {
    case EClamd::Clean:
        return 0;
    case EClamd::Found:
        return AddFindingOrNote(strName.c_str());
    case EClamd::Unreachable:
        return Fail(strDaemon + " is not reachable: " + Clip(strWhy));
    case EClamd::Lost:
        return Fail(strDaemon + " dropped the connection: " + Clip(strWhy));
    case EClamd::DaemonError:
        // The daemon opens nothing itself, but says when what it was
        // handed could not be read: that has a fix of its own.
        for (const char* pszRead : {"Permission denied", "Access denied", "Can't open", "lstat() failed"})
            if (strWhy.find(pszRead) != std::string::npos)
                return Fail(DaemonProblemText(EDaemonProblem::CannotRead, m_clamd.Address(), Clip(strWhy)));
        return Fail(strDaemon + " could not scan the file: " + Clip(strWhy));
    case EClamd::Unreadable:
        return Fail("the file could not be read: " + Clip(strWhy));
    case EClamd::Garbage:
        break;
    }
    return Fail(strDaemon + " gave an answer that is not clamd's: " + Clip(strWhy));
}

uint32_t CClamavEngine::AddFinding(const char* pszName)
{
    CFinding finding;
    finding.m_strName = pszName && *pszName ? pszName : "Unknown";
    if (finding.m_strName.compare(0, 11, "Heuristics.") == 0 || finding.m_strName.compare(0, 4, "PUA.") == 0)
        finding.m_nReport = kClamReportSuspected;
    do {
        ++m_nLastHandle;
    } while (m_nLastHandle == 0 || m_mapFindings.count(m_nLastHandle) != 0);
    m_mapFindings[m_nLastHandle] = std::move(finding);
    return m_nLastHandle;
}

uint32_t CClamavEngine::AddFindingOrNote(const char* pszName)
{
    std::string strNote;
    bool bEncrypted = false;
    if (pszName && PartialScanNote(pszName, &strNote, &bEncrypted) &&
        !(bEncrypted ? m_bAlertEncrypted : m_bAlertExceedsMax)) {
        m_strScanNote = strNote;
        return 0;
    }
    return AddFinding(pszName);
}

int16_t CClamavEngine::Recover(uint32_t hProbe)
{
    DropPending();
    m_strLastError.clear();
    return m_mapFindings.count(hProbe) != 0 ? kClamOutcomeFailed : kClamOutcomeNothing;
}

int16_t CClamavEngine::Report(uint32_t hProbe)
{
    DropPending();
    const auto it = m_mapFindings.find(hProbe);
    return it != m_mapFindings.end() ? it->second.m_nReport : kClamReportSignature;
}

const char* CClamavEngine::Name(uint32_t hProbe)
{
    DropPending();
    const auto it = m_mapFindings.find(hProbe);
    return it != m_mapFindings.end() ? it->second.m_strName.c_str() : "";
}

void CClamavEngine::Close(uint32_t hProbe)
{
    DropPending();
    m_mapFindings.erase(hProbe);
}

} // namespace farsend
