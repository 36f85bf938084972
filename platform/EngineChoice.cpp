#include "platform/EngineChoice.h"

#include <stdlib.h>
#include <unistd.h>

#include <sstream>

#include "engine/RegularFile.h"
#include "platform/HostEngine.h"
#include "res/Strings.h"
#include "platform/XdgRegistry.h"

namespace {

std::string Trim(const std::string& str) {
    size_t nStart = str.find_first_not_of(" \t\r");
    if (nStart == std::string::npos)
        return std::string();
    size_t nEnd = str.find_last_not_of(" \t\r");
    return str.substr(nStart, nEnd - nStart + 1);
}

std::string HostFolder() {
    std::string strHost = CHostEngine::DefaultHostPath();
    return strHost.substr(0, strHost.rfind('/') + 1);
}

}  // namespace

bool ParseEngineSettings(const std::string& strText, CEngineChoice* pChoice, int* pnBadLine) {
    std::istringstream in(strText);
    std::string strLine;
    for (int nLine = 1; std::getline(in, strLine); ++nLine) {
        strLine = Trim(strLine.substr(0, strLine.find('#')));
        if (strLine.empty())
            continue;
        size_t nEq = strLine.find('=');
        const std::string strName = nEq == std::string::npos ? std::string() : Trim(strLine.substr(0, nEq));
        const std::string strValue = nEq == std::string::npos ? std::string() : Trim(strLine.substr(nEq + 1));
        if (strName == "engine" && !strValue.empty()) {
            pChoice->strEngine = strValue;
        } else if (strName == "database") {
            pChoice->strDatabase = strValue;
        } else if (strName == "clamd") {
            pChoice->strClamd = strValue;
        } else if ((strName == "alert-exceeds-max" || strName == "alert-encrypted") &&
                   (strValue == "yes" || strValue == "no")) {
            (strName == "alert-exceeds-max" ? pChoice->bAlertExceedsMax : pChoice->bAlertEncrypted) =
                strValue == "yes";
        } else if (strName == "quarantine" && (strValue == "yes" || strValue == "no")) {
            pChoice->bQuarantine = strValue == "yes";
        } else {
            if (pnBadLine)
                *pnBadLine = nLine;
            return false;
        }
    }
    return true;
}

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
        strLine = Trim(strLine);
        if (strLine.empty() || strLine[0] == '#')
            continue;
        size_t nSpace = strLine.find_first_of(" \t");
        if (nSpace == std::string::npos)
            continue;
        const std::string strName = strLine.substr(0, nSpace);
        const std::string strValue = Trim(strLine.substr(nSpace));
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

bool ApplyEngineChoice(const CEngineChoice& choice, CHostEngine& engine, std::string* pstrError) {
    std::vector<std::string> arEnv;
    if (choice.strEngine == "reference") {
        engine.SetLibrary(std::string());
    } else if (choice.strEngine == "clamav") {
        engine.SetLibrary(HostFolder() + "libfarsend-clamav.so");
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
        engine.SetLibrary(HostFolder() + "libfarsend-clamav.so");
        arEnv.push_back("QUILLET_CLAMD=" + strAddress);
        arEnv.push_back("QUILLET_CLAMAV_DATABASE=");
    } else if (choice.strEngine.find('/') != std::string::npos) {
        engine.SetLibrary(choice.strEngine);
    } else {
        *pstrError = "unknown engine \"" + choice.strEngine + "\": reference, clamav, clamd or a library's path";
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
