// quillet-scan --json: one JSON object a line for scripts and other
// programs. Paths are bytes: a path that is not UTF-8 is given as text with
// each such byte replaced by U+FFFD, and exactly, as hex, in a second field.
#pragma once

#include <string>

// A JSON string literal, quotes included: UTF-8 kept, invalid bytes
// replaced, control characters, quote and backslash escaped.
std::string JsonString(const std::string& str);
// "NAME":"text" and, when str is not UTF-8, ,"NAME_hex":"bytes in hex".
std::string JsonBytesField(const char* pszName, const std::string& str);
