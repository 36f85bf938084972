// Which engine the host runs and with what settings: the bundled reference
// engine, ClamAV in the host, ClamAV through a clamd daemon, or any library
// honouring the engine contract. From the command line, or for the window
// from a settings file, so a desktop launcher needs no arguments.
#pragma once

#include <string>

#include "scan/EngineSettings.h"

class CHostEngine;

constexpr const char* DEFAULT_CLAMAV_DATABASE = "/var/lib/clamav";
constexpr const char* CLAMD_CONFIG = "/etc/clamav/clamd.conf";

// $XDG_CONFIG_HOME/quillet/engine.conf (default ~/.config); a missing file
// leaves the choice as it is. False with a message when it cannot be used.
bool ReadEngineSettingsFile(CEngineChoice* pChoice, std::string* pstrError);
std::string EngineSettingsPath();
// The address clamd listens on by its own configuration text: its
// LocalSocket, else its TCPSocket (on TCPAddr, else the loopback).
std::string ClamdAddressFromConfig(const std::string& strConfText);
// Points the engine at the chosen library with its settings ("auto"
// decided first); false with a message for the user when the choice names
// nothing usable or an engine that is not installed.
bool ApplyEngineChoice(const CEngineChoice& choice, CHostEngine& engine, std::string* pstrError);
// reference, clamav, clamd, auto, or a path: anything else is a usage error.
bool IsEngineName(const std::string& strEngine);

// What "auto" finds here: the daemon choice.strClamd names (else the one
// clamd.conf names) and whether it answers PING; the ClamAV engine
// library; signatures in choice.strDatabase (else the default folder).
// A database folder given (no daemon address) is looked at alone: the
// user named the signatures to use.
SENGINEFACTS ProbeEngineFacts(const CEngineChoice& choice);
// "auto" made the engine the machine offers (and its daemon's address);
// any other choice is left as it is. *pstrReason: why, for the log.
void ResolveAutoEngine(CEngineChoice* pChoice, std::string* pstrReason);
// Whether the ClamAV engine library is installed; false with why.
bool ClamavLibraryInstalled(std::string* pstrWhy);
// Whether strFolder (links followed) holds signatures; false with why.
bool DatabaseHoldsSignatures(const std::string& strFolder, std::string* pstrWhy);
// Whether the daemon at strAddress answers PING; false with one sentence
// saying what is wrong there and what to do.
bool DaemonAnswers(const std::string& strAddress, std::string* pstrWhy);
// The daemon clamd.conf names; "" when none.
std::string ConfiguredClamdAddress();
