// `quillet --watch-media`: a user service that offers to scan a removable
// or network drive when it is mounted (see scan/MediaWatch.h for what is
// offered and when), its settings file and its autostart entry.
#pragma once

#include <cstdint>
#include <string>

#include "scan/MediaWatch.h"

// $XDG_CONFIG_HOME/quillet/media.conf (default ~/.config); "" without a
// configuration folder.
std::string MediaSettingsPath();
// A missing file leaves the defaults; false with a message otherwise.
bool ReadMediaSettingsFile(SMediaSettings* pSettings, std::string* pstrError);

// $XDG_CONFIG_HOME/autostart/quillet-watch-media.desktop.
std::string MediaAutostartPath();
// The entry's text, starting strProgram --watch-media at log-in.
std::string MediaAutostartEntry(const std::string& strProgram);
// True while the autostart entry is there (a regular file, not a link).
bool IsMediaWatchEnabled();
// Writes the entry (atomically: a complete file takes the name in one
// rename, which replaces a link in its place rather than follow it) or
// removes it; the folders are made 0700 when missing. False with the reason
// in *pstrWhy. The Settings dialog's check box calls this.
bool EnableMediaWatch(bool bOn, std::string* pstrWhy);

// On battery by strFolder's power supplies (their type and online files);
// unknown counts as on AC.
bool ReadOnBattery(const std::string& strFolder = "/sys/class/power_supply");
// The drive's size from statvfs; 0 when it is not known within nTimeoutMs
// (a share whose server does not answer leaves its thread behind).
uint64_t ReadDriveSize(const std::string& strMountPath, int nTimeoutMs);

// The service itself; argv[0] is "--watch-media", then --enable or
// --disable or nothing. Exit status: 0 after SIGTERM or SIGINT or a done
// --enable/--disable, 2 without a notification service or with an unusable
// settings file or entry, 64 on a usage error.
int RunMediaWatch(int argc, char** argv);
