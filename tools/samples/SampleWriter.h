// Harmless sample files that the reference engine reports as infected, for
// demos and tests: the industry test string and our own test markers.
#pragma once

#include <string>

namespace quillet::samples {

// The 68-byte antivirus test string, built at run time from an encoded
// form so this program never carries it in plain.
std::string EicarString();

// "FSTV{RR,O,Name}": report code 0-99, cleaning outcome digit 0-9, name of
// 1 to 40 characters from [A-Za-z0-9._-]. Empty when an argument is out of
// range, so a typo never yields a marker the engine silently skips.
std::string TestMarker(int nReport, int nOutcome, const std::string& strName);

// Writes the demo tree described in README.md into strDir, creating strDir
// (not its parents) if missing. Existing sample files are rewritten; a
// symbolic link or hard-linked file in the way is refused, never followed.
bool WriteSamplesTree(const std::string& strDir, std::string* pstrError);

} // namespace quillet::samples
