#include "platform/UserLanguage.h"
#include "platform/SafePath.h"

#include <libintl.h>
#include <limits.h>
#include <locale.h>
#include <stdlib.h>
#include <unistd.h>

#include "res/TextCatalog.h"

namespace {

constexpr const char* TEXT_DOMAIN = "quillet";

std::string Env(const char* pszName) {
    const char* psz = getenv(pszName);
    return psz ? psz : "";
}


}  // namespace

std::string UserLanguage() {
    std::string strLocale = Env("LC_ALL");
    if (strLocale.empty())
        strLocale = Env("LC_MESSAGES");
    if (strLocale.empty())
        strLocale = Env("LANG");
    // gettext's rule: the C locale shows the program's own texts, whatever
    // LANGUAGE says.
    const std::string strBase = strLocale.substr(0, strLocale.find_first_of(".@"));
    if (strBase.empty() || strBase == "C" || strBase == "POSIX")
        return std::string();
    const std::string strLanguage = Env("LANGUAGE");
    const std::string strFirst = strLanguage.substr(0, strLanguage.find(':'));
    return strFirst.empty() ? strBase : strFirst.substr(0, strFirst.find_first_of(".@"));
}

std::string TextCatalogDir() {
    const std::string strBeside = ProgramFolder() + "/../" QUILLET_RELATIVE_LOCALEDIR;
    if (access((strBeside + "/en/LC_MESSAGES/quillet.mo").c_str(), R_OK) == 0)
        return strBeside;
    return QUILLET_LOCALEDIR;
}

void UseCommandLineLanguage() {
    setlocale(LC_MESSAGES, "");
    const std::string strDir = TextCatalogDir();
    bindtextdomain(TEXT_DOMAIN, strDir.c_str());
    // The catalogs are UTF-8 and so are the table's texts, whatever the
    // locale's character set.
    bind_textdomain_codeset(TEXT_DOMAIN, "UTF-8");
    UseTextLanguage(UserLanguage(), strDir, [](const char* pszSource, std::string& strOut) {
        const char* pszText = dgettext(TEXT_DOMAIN, pszSource);
        if (pszText == pszSource)
            return false;
        strOut = pszText;
        return true;
    });
}
