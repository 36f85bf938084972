// Bytes to display text. Paths and names are bytes everywhere else; they
// become wxString only to be shown, and nothing shown is ever read back as
// a path.
#pragma once

#include <wx/string.h>

#include <string>

// UTF-8 with every invalid byte shown as U+FFFD, so a name in another
// encoding still shows, never as an empty string.
wxString ToDisplay(const std::string& strBytes);
