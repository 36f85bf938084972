// Which engine the host runs and with what settings: the bundled reference
// engine, ClamAV in the host, ClamAV through a clamd daemon, or any library
// honouring the engine contract. From the command line, or for the window
// from a settings file, so a desktop launcher needs no arguments.
#pragma once

#include <string>

class CHostEngine;

struct CEngineChoice {
    std::string strEngine = "reference";  // reference | clamav | clamd | a library's path
    std::string strDatabase;  // clamav: the signature folder ("" = DEFAULT_CLAMAV_DATABASE)
    std::string strClamd;     // clamd: unix:PATH or tcp:HOST:PORT ("" = the daemon's own configuration)
    // ClamAV: a file read only part way (a limit, encryption) is a row, as
    // clamscan --alert-exceeds-max and --alert-encrypted give it, not a note.
    bool bAlertExceedsMax = false;
    bool bAlertEncrypted = false;
    // The window's scans move what cannot be repaired into the Backup Bin.
    bool bQuarantine = false;
};

constexpr const char* DEFAULT_CLAMAV_DATABASE = "/var/lib/clamav";
constexpr const char* CLAMD_CONFIG = "/etc/clamav/clamd.conf";

// "name = value" lines (engine, database, clamd; alert-exceeds-max and
// alert-encrypted and quarantine = yes or no); '#' starts a comment.
// False names the first line that is not understood in *pnBadLine.
bool ParseEngineSettings(const std::string& strText, CEngineChoice* pChoice, int* pnBadLine);
// $XDG_CONFIG_HOME/quillet/engine.conf (default ~/.config); a missing file
// leaves the choice as it is. False with a message when it cannot be used.
bool ReadEngineSettingsFile(CEngineChoice* pChoice, std::string* pstrError);
std::string EngineSettingsPath();
// The address clamd listens on by its own configuration text: its
// LocalSocket, else its TCPSocket (on TCPAddr, else the loopback).
std::string ClamdAddressFromConfig(const std::string& strConfText);
// Points the engine at the chosen library with its settings; false with a
// message for the user when the choice names nothing usable.
bool ApplyEngineChoice(const CEngineChoice& choice, CHostEngine& engine, std::string* pstrError);
