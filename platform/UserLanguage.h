// The user's language and where the catalogs lie, as a Linux system says
// them; the command-line programs' texts through the C library's gettext.
#pragma once

#include <string>

// The language gettext would use: the first of LANGUAGE, unless the locale
// (LC_ALL, LC_MESSAGES, LANG) is C or POSIX, then the locale's name without
// its codeset ("de_DE"); "" for the C locale.
std::string UserLanguage();

// LANG/LC_MESSAGES/quillet.mo lie below this: the build's share/locale
// beside bin/ (or an installation's, found from the program), else the
// folder this build installs into.
std::string TextCatalogDir();

// quillet-scan, quillet-bin, quillet-schedule (and quillet before its
// window): the locale's messages, the catalogs bound, every text looked up.
void UseCommandLineLanguage();
