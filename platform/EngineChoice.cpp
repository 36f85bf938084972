#include "platform/EngineChoice.h"

#include "base/TextParts.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "base/ClamavAdvice.h"
#include "engine/RegularFile.h"
#include "farsend/clamav/ClamdClient.h"
#include "platform/HostEngine.h"
#include "res/Strings.h"
#include "platform/XdgRegistry.h"

namespace {

std::string HostFolder() {
    std::string strHost = CHostEngine::DefaultHostPath();
    return strHost.substr(0, strHost.rfind('/') + 1);
}

std::string ClamavLibraryPath() {
    return HostFolder() + "libfarsend-clamav.so";
}

// PING is answered at once; a daemon busy loading its database answers
// after it, and auto then looks further.
constexpr int PING_TIMEOUT_MS = 1000;

// Names libclamav loads detections from; the rest (.ign2, .fp, .cfg...) only
// tune or excuse what others find.
bool IsSignatureName(const char* pszName) {
    static const char* const s_arExtensions[] = {".cvd", ".cld", ".cud", ".hdb", ".hdu", ".hsb", ".hsu", ".mdb",
                                                 ".mdu", ".msb", ".msu", ".ndb", ".ndu", ".ldb", ".ldu", ".cdb",
                                                 ".idb", ".db",  ".sdb", ".zmd", ".rmd", ".pdb", ".gdb", ".wdb",
                                                 ".cbc", ".yar", ".yara"};
    const char* pszDot = strrchr(pszName, '.');
    if (!pszDot)
        return false;
    for (const char* pszExtension : s_arExtensions)
        if (strcmp(pszDot, pszExtension) == 0)
            return true;
    return false;
}

}  // namespace

std::string EngineSettingsPath() {
    const std::string strBase = CXdgRegistry::UserBaseFromEnv();
    return strBase.empty() ? std::string() : strBase + "/quillet/engine.conf";
}

bool ReadEngineSettingsFile(CEngineChoice* pChoice, std::string* pstrError) {
    const std::string strPath = EngineSettingsPath();
    std::string strText;
    int nErr = 0;
    // Never blocks: a FIFO or a folder in the file's place is said, not
    // waited on or taken for an empty file.
    if (strPath.empty() || !ReadRegularFile(strPath, &strText, &nErr)) {
        if (strPath.empty() || nErr == ENOENT)
            return true;
        *pstrError = strPath + LoadText(IDS_ENGINE_SETTINGS_UNREADABLE) + RegularFileError(nErr);
        return false;
    }
    int nBadLine = 0;
    if (!ParseEngineSettings(strText, pChoice, &nBadLine)) {
        *pstrError = strPath + ":" + std::to_string(nBadLine) + LoadText(IDS_ENGINE_SETTINGS_BAD_LINE);
        return false;
    }
    return true;
}

std::string ClamdAddressFromConfig(const std::string& strConfText) {
    std::istringstream in(strConfText);
    std::string strLine, strSocket, strPort, strAddr;
    while (std::getline(in, strLine)) {
        strLine = TrimBlanks(strLine);
        if (strLine.empty() || strLine[0] == '#')
            continue;
        size_t nSpace = strLine.find_first_of(" \t");
        if (nSpace == std::string::npos)
            continue;
        const std::string strName = strLine.substr(0, nSpace);
        const std::string strValue = TrimBlanks(strLine.substr(nSpace));
        if (strName == "LocalSocket")
            strSocket = strValue;
        else if (strName == "TCPSocket")
            strPort = strValue;
        else if (strName == "TCPAddr" && strAddr.empty())
            strAddr = strValue;
    }
    if (!strSocket.empty())
        return "unix:" + strSocket;
    if (!strPort.empty())
        return "tcp:" + (strAddr.empty() ? std::string("127.0.0.1") : strAddr) + ":" + strPort;
    return std::string();
}

bool IsEngineName(const std::string& strEngine) {
    return strEngine == "auto" || strEngine == "reference" || strEngine == "clamav" || strEngine == "clamd" ||
           strEngine.find('/') != std::string::npos;
}

std::string ConfiguredClamdAddress() {
    std::string strConf;
    int nErr = 0;
    return ReadRegularFile(CLAMD_CONFIG, &strConf, &nErr) ? ClamdAddressFromConfig(strConf) : std::string();
}

bool ClamavLibraryInstalled(std::string* pstrWhy) {
    const std::string strLibrary = ClamavLibraryPath();
    int nErr = 0;
    const int nFd = OpenRegularFile(strLibrary, &nErr);
    if (nFd >= 0) {
        close(nFd);
        return true;
    }
    char szText[4096];
    snprintf(szText, sizeof szText, LoadText(IDS_ENGINE_NOT_INSTALLED), strLibrary.c_str(),
             RegularFileError(nErr).c_str());
    *pstrWhy = szText;
    return false;
}

bool DatabaseHoldsSignatures(const std::string& strFolder, std::string* pstrWhy) {
    struct stat st;
    if (stat(strFolder.c_str(), &st) != 0) {
        const int nErr = errno;
        char szTarget[4096];
        const ssize_t nTarget = readlink(strFolder.c_str(), szTarget, sizeof szTarget - 1);
        if (nErr == ENOENT && nTarget >= 0) {
            szTarget[nTarget] = '\0';
            char szText[4200];
            snprintf(szText, sizeof szText, LoadText(IDS_DATABASE_LINK_TO_NOTHING), szTarget);
            *pstrWhy = szText;
        } else {
            *pstrWhy = nErr == ENOENT ? std::string("the folder does not exist") : std::string(strerror(nErr));
        }
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        *pstrWhy = "it is not a folder";
        return false;
    }
    // Opened without blocking: a FIFO in the folder's place never holds us.
    const int nDirFd = open(strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
    DIR* pDir = nDirFd >= 0 ? fdopendir(nDirFd) : nullptr;
    if (!pDir) {
        *pstrWhy = std::string("the folder cannot be read: ") + strerror(errno);
        if (nDirFd >= 0)
            close(nDirFd);
        return false;
    }
    bool bEmpty = true, bFound = false;
    while (const dirent* pEntry = readdir(pDir)) {
        if (strcmp(pEntry->d_name, ".") == 0 || strcmp(pEntry->d_name, "..") == 0)
            continue;
        bEmpty = false;
        int nErr = 0;
        if (IsSignatureName(pEntry->d_name)) {
            const int nFd = OpenRegularFile(pEntry->d_name, &nErr, dirfd(pDir));
            if (nFd >= 0) {
                close(nFd);
                bFound = true;
                break;
            }
        }
    }
    closedir(pDir);
    if (!bFound)
        *pstrWhy = bEmpty ? std::string("the folder is empty") : std::string(LoadText(IDS_DATABASE_NO_SIGNATURES));
    return bFound;
}

bool DaemonAnswers(const std::string& strAddress, std::string* pstrWhy) {
    farsend::CClamdClient client;
    if (!client.SetAddress(strAddress, pstrWhy))
        return false;
    std::string strDetail;
    switch (client.Ping(PING_TIMEOUT_MS, &strDetail)) {
    case farsend::EClamd::Clean:
        return true;
    case farsend::EClamd::Unreachable:
        *pstrWhy = DaemonProblemText(DaemonProblemFromErrno(client.ConnectErrno()), strAddress, strDetail);
        return false;
    case farsend::EClamd::Garbage:
        *pstrWhy = DaemonProblemText(EDaemonProblem::NotDaemon, strAddress, strDetail);
        return false;
    default:
        *pstrWhy = DaemonProblemText(EDaemonProblem::Silent, strAddress, strDetail);
        return false;
    }
}

SENGINEFACTS ProbeEngineFacts(const CEngineChoice& choice) {
    SENGINEFACTS facts;
    // The signatures the user named are the ones to use, not a daemon's.
    if (!choice.strClamd.empty() || choice.strDatabase.empty())
        facts.strDaemon = choice.strClamd.empty() ? ConfiguredClamdAddress() : choice.strClamd;
    if (!facts.strDaemon.empty())
        facts.bDaemonAnswers = DaemonAnswers(facts.strDaemon, &facts.strDaemonWhy);
    std::string strWhy;
    facts.bLibrary = ClamavLibraryInstalled(&strWhy);
    facts.strDatabase = choice.strDatabase.empty() ? std::string(DEFAULT_CLAMAV_DATABASE) : choice.strDatabase;
    facts.bDatabase = DatabaseHoldsSignatures(facts.strDatabase, &facts.strDatabaseWhy);
    return facts;
}

void ResolveAutoEngine(CEngineChoice* pChoice, std::string* pstrReason) {
    pstrReason->clear();
    if (pChoice->strEngine != "auto")
        return;
    const SENGINEFACTS facts = ProbeEngineFacts(*pChoice);
    pChoice->strEngine = ChooseAutoEngine(facts, pstrReason);
    if (pChoice->strEngine == "clamd")
        pChoice->strClamd = facts.strDaemon;
}

bool ApplyEngineChoice(const CEngineChoice& chosen, CHostEngine& engine, std::string* pstrError) {
    CEngineChoice choice = chosen;
    std::string strReason;
    ResolveAutoEngine(&choice, &strReason);
    if ((choice.strEngine == "clamav" || choice.strEngine == "clamd") && !ClamavLibraryInstalled(pstrError))
        return false;
    std::vector<std::string> arEnv;
    if (choice.strEngine == "reference") {
        engine.SetLibrary(std::string());
    } else if (choice.strEngine == "clamav") {
        engine.SetLibrary(ClamavLibraryPath());
        arEnv.push_back("QUILLET_CLAMAV_DATABASE=" +
                        (choice.strDatabase.empty() ? std::string(DEFAULT_CLAMAV_DATABASE) : choice.strDatabase));
        // The choice is the whole of it: no daemon from our own environment.
        arEnv.push_back("QUILLET_CLAMD=");
    } else if (choice.strEngine == "clamd") {
        std::string strAddress = choice.strClamd;
        if (strAddress.empty()) {
            std::string strConf;
            int nErr = 0;
            if (ReadRegularFile(CLAMD_CONFIG, &strConf, &nErr))
                strAddress = ClamdAddressFromConfig(strConf);
        }
        if (strAddress.empty()) {
            *pstrError = std::string("no clamd address: give one (unix:PATH or tcp:HOST:PORT), or install "
                                     "clamav-daemon, whose ") + CLAMD_CONFIG + " names its socket";
            return false;
        }
        engine.SetLibrary(ClamavLibraryPath());
        arEnv.push_back("QUILLET_CLAMD=" + strAddress);
        arEnv.push_back("QUILLET_CLAMAV_DATABASE=");
    } else if (choice.strEngine.find('/') != std::string::npos) {
        engine.SetLibrary(choice.strEngine);
    } else {
        *pstrError = "unknown engine \"" + choice.strEngine + "\": auto, reference, clamav, clamd or a library's path";
        return false;
    }
    if (!arEnv.empty()) {
        // Set either way: none is taken from our own environment.
        arEnv.push_back(std::string("QUILLET_CLAMAV_ALERT_EXCEEDS_MAX=") + (choice.bAlertExceedsMax ? "yes" : ""));
        arEnv.push_back(std::string("QUILLET_CLAMAV_ALERT_ENCRYPTED=") + (choice.bAlertEncrypted ? "yes" : ""));
    }
    engine.SetHostEnvironment(std::move(arEnv));
    return true;
}
