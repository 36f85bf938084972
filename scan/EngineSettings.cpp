#include "scan/EngineSettings.h"

#include "base/TextParts.h"

#include <stdio.h>

#include <sstream>
#include <vector>

#include "res/Strings.h"

namespace {

std::string Format(EStringId eId, const std::string& strFirst, const std::string& strSecond = std::string()) {
    const char* pszFormat = LoadText(eId);
    const int nSize = snprintf(nullptr, 0, pszFormat, strFirst.c_str(), strSecond.c_str());
    std::string strText(nSize > 0 ? static_cast<size_t>(nSize) : 0, '\0');
    snprintf(strText.data(), strText.size() + 1, pszFormat, strFirst.c_str(), strSecond.c_str());
    return strText;
}

// The setting a line sets; "" for a comment, a blank or a line not understood.
std::string SettingName(const std::string& strLine) {
    const std::string strText = TrimBlanks(strLine.substr(0, strLine.find('#')));
    const size_t nEq = strText.find('=');
    return nEq == std::string::npos ? std::string() : TrimBlanks(strText.substr(0, nEq));
}

}  // namespace

bool ParseEngineSettings(const std::string& strText, CEngineChoice* pChoice, int* pnBadLine) {
    return ForEachSetting(
        strText,
        [&](const std::string& strName, const std::string& strValue) {
            if (strName == "engine" && !strValue.empty())
                pChoice->strEngine = strValue;
            else if (strName == "database")
                pChoice->strDatabase = strValue;
            else if (strName == "clamd")
                pChoice->strClamd = strValue;
            else if ((strName == "alert-exceeds-max" || strName == "alert-encrypted") &&
                     (strValue == "yes" || strValue == "no"))
                (strName == "alert-exceeds-max" ? pChoice->bAlertExceedsMax : pChoice->bAlertEncrypted) =
                    strValue == "yes";
            else if (strName == "quarantine" && (strValue == "yes" || strValue == "no"))
                pChoice->bQuarantine = strValue == "yes";
            else
                return false;
            return true;
        },
        pnBadLine);
}

std::string FormatEngineSettings(const CEngineChoice& choice, const std::string& strOld) {
    struct SSetting {
        const char* pszName;
        std::string strValue;
        bool bAlways;  // written even when the old text lacks it
        bool bDone = false;
    };
    std::vector<SSetting> arSettings = {
        {"engine", choice.strEngine, true},
        {"database", choice.strDatabase, !choice.strDatabase.empty()},
        {"clamd", choice.strClamd, !choice.strClamd.empty()},
        {"alert-exceeds-max", choice.bAlertExceedsMax ? "yes" : "no", choice.bAlertExceedsMax},
        {"alert-encrypted", choice.bAlertEncrypted ? "yes" : "no", choice.bAlertEncrypted},
        {"quarantine", choice.bQuarantine ? "yes" : "no", true},
    };
    std::string strText;
    std::istringstream in(strOld);
    std::string strLine;
    while (std::getline(in, strLine)) {
        const std::string strName = SettingName(strLine);
        SSetting* pSetting = nullptr;
        for (SSetting& setting : arSettings)
            if (strName == setting.pszName)
                pSetting = &setting;
        if (!pSetting) {
            strText += strLine + "\n";
            continue;
        }
        if (pSetting->bDone)
            continue;
        pSetting->bDone = true;
        strText += std::string(pSetting->pszName) + " = " + pSetting->strValue + "\n";
    }
    for (SSetting& setting : arSettings)
        if (!setting.bDone && setting.bAlways)
            strText += std::string(setting.pszName) + " = " + setting.strValue + "\n";
    return strText;
}

std::string ChooseAutoEngine(const SENGINEFACTS& facts, std::string* pstrReason) {
    if (!facts.strDaemon.empty() && facts.bDaemonAnswers) {
        *pstrReason = Format(IDS_AUTO_CHOSE_CLAMD, facts.strDaemon);
        return "clamd";
    }
    const std::string strNoDaemon = facts.strDaemon.empty() ? std::string(LoadText(IDS_AUTO_NO_DAEMON))
                                                            : facts.strDaemonWhy;
    if (facts.bLibrary && facts.bDatabase) {
        *pstrReason = Format(IDS_AUTO_CHOSE_CLAMAV, facts.strDatabase, strNoDaemon);
        return "clamav";
    }
    const std::string strNoClamav = !facts.bLibrary ? std::string(LoadText(IDS_AUTO_NO_LIBRARY))
                                                    : Format(IDS_AUTO_NO_DATABASE, facts.strDatabase,
                                                             facts.strDatabaseWhy);
    *pstrReason = Format(IDS_AUTO_CHOSE_REFERENCE, strNoDaemon, strNoClamav);
    return "reference";
}

bool IsRealEngine(const std::string& strEngine) {
    return strEngine == "clamav" || strEngine == "clamd";
}
