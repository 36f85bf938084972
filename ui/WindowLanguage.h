// The windows' language: wx's own catalog lookup, which needs no locale of
// the system's installed.
#pragma once

#include <string>

// Puts every text into strLanguage ("de_DE", "ko", "" for the C locale),
// from the catalogs below strCatalogDir (LANG/LC_MESSAGES/quillet.mo), and
// makes that language wx's. Before any window opens, before any thread.
void UseWindowLanguage(const std::string& strLanguage, const std::string& strCatalogDir);
