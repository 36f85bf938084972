#include "scan/SavedOptions.h"

#include "base/TextParts.h"

#include <sstream>

namespace {

constexpr const char* OPTIONS_KEY = "quillet";
constexpr const char* OPTIONS_VALUE = "options";
// Four short lines; anything much larger is not ours.
constexpr size_t OPTIONS_MAX = 4096;

struct SOPTION {
    const char* pszName;
    bool SCANREQUEST::*pbFlag;
};
constexpr SOPTION g_arOptions[] = {
    {"include-subfolders", &SCANREQUEST::bSubfolders},
    {"all-files", &SCANREQUEST::bAllFiles},
    {"repair-automatically", &SCANREQUEST::bAutoRepair},
    {"backup-infected-files", &SCANREQUEST::bBackup},
};

}  // namespace

std::string FormatSavedOptions(const SCANREQUEST& req) {
    std::string strText;
    for (const SOPTION& option : g_arOptions)
        strText += std::string(option.pszName) + " = " + (req.*option.pbFlag ? "yes" : "no") + "\n";
    return strText;
}

bool ParseSavedOptions(const std::string& strText, SCANREQUEST* pReq) {
    SCANREQUEST req = *pReq;
    std::istringstream in(strText);
    std::string strLine;
    while (std::getline(in, strLine)) {
        strLine = TrimBlanks(strLine);
        if (strLine.empty())
            continue;
        const size_t nEq = strLine.find('=');
        if (nEq == std::string::npos)
            return false;
        const std::string strName = TrimBlanks(strLine.substr(0, nEq));
        const std::string strValue = TrimBlanks(strLine.substr(nEq + 1));
        if (strValue != "yes" && strValue != "no")
            return false;
        bool bKnown = false;
        for (const SOPTION& option : g_arOptions) {
            if (strName == option.pszName) {
                req.*option.pbFlag = strValue == "yes";
                bKnown = true;
            }
        }
        if (!bKnown)
            return false;
    }
    *pReq = req;
    return true;
}

void LoadSavedOptions(IRegistry* pRegistry, SCANREQUEST* pReq) {
    std::string strText;
    if (pRegistry && pRegistry->QueryValue(HIVE_CURRENT_USER, OPTIONS_KEY, OPTIONS_VALUE, OPTIONS_MAX, &strText) &&
        strText.size() < OPTIONS_MAX)
        ParseSavedOptions(strText, pReq);
}

bool SaveOptions(IRegistry* pRegistry, const SCANREQUEST& req) {
    return pRegistry && pRegistry->SetValue(HIVE_CURRENT_USER, OPTIONS_KEY, OPTIONS_VALUE, FormatSavedOptions(req));
}
