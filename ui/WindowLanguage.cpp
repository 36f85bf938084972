#include "ui/WindowLanguage.h"

#include <wx/translation.h>

#include "res/TextCatalog.h"

void UseWindowLanguage(const std::string& strLanguage, const std::string& strCatalogDir) {
    static bool s_bPrefixAdded = false;
    if (!s_bPrefixAdded) {
        wxFileTranslationsLoader::AddCatalogLookupPathPrefix(wxString::FromUTF8(strCatalogDir));
        s_bPrefixAdded = true;
    }
    auto* pTranslations = new wxTranslations;
    wxTranslations::Set(pTranslations);  // wx owns it from here
    if (!strLanguage.empty()) {
        pTranslations->SetLanguage(wxString::FromUTF8(strLanguage));
        // The table's texts are partly Korean, partly English: no language
        // is the msgids' own, so every language's catalog is loaded.
        pTranslations->AddCatalog("quillet", wxLANGUAGE_UNKNOWN);
    }
    UseTextLanguage(strLanguage, strCatalogDir, [pTranslations](const char* pszSource, std::string& strOut) {
        const wxString* pstrText = pTranslations->GetTranslatedString(wxString::FromUTF8(pszSource), "quillet");
        if (!pstrText || pstrText->empty())
            return false;
        strOut = pstrText->utf8_string();
        return true;
    });
}
