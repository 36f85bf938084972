// What a shell or a file manager hands `quillet` as its targets: paths,
// which are bytes and may be relative to the current folder, or file: URIs,
// which a file manager that builds a command line from them passes intact
// (they hold no blank, quote, backslash or line end).
#pragma once

#include <string>

// The absolute path strArg names, a relative path taken from strCwd. A word
// starting "file://" is a URI (a relative path spelled so is given as
// ./file://...): its host must be empty or "localhost", its escapes are
// decoded to bytes; false for one that names no local file (another host,
// a broken escape, an escaped NUL or '/').
bool CommandTargetPath(const std::string& strArg, const std::string& strCwd, std::string* pstrPath);
