// The engine a user has: what the settings file and the command line say,
// how "auto" picks one from what the machine offers, and the interface the
// settings dialog reaches the platform through. The probing is the
// platform's; the deciding is here, over the facts it found.
#pragma once

#include <string>

struct CEngineChoice {
    // auto | reference | clamav | clamd | a library's path
    std::string strEngine = "auto";
    std::string strDatabase;  // clamav: the signature folder ("" = DEFAULT_CLAMAV_DATABASE)
    std::string strClamd;     // clamd: unix:PATH or tcp:HOST:PORT ("" = the daemon's own configuration)
    // ClamAV: a file read only part way (a limit, encryption) is a row, as
    // clamscan --alert-exceeds-max and --alert-encrypted give it, not a note.
    bool bAlertExceedsMax = false;
    bool bAlertEncrypted = false;
    // The window's scans move what cannot be repaired into the Backup Bin.
    bool bQuarantine = false;
};

// "name = value" lines (engine, database, clamd; alert-exceeds-max and
// alert-encrypted and quarantine = yes or no); '#' starts a comment.
// False names the first line that is not understood in *pnBadLine.
bool ParseEngineSettings(const std::string& strText, CEngineChoice* pChoice, int* pnBadLine);
// The file's text with choice's values: comments, blank lines and the order
// of strOld are kept, each setting's first line takes the new value, a
// repeat of it goes, and a setting strOld lacks is added at the end (the
// alerts only when on, database and clamd only when given).
std::string FormatEngineSettings(const CEngineChoice& choice, const std::string& strOld);

// What the machine offers "auto", as the platform found it.
struct SENGINEFACTS {
    std::string strDaemon;       // the daemon's address; "" when none is configured
    bool bDaemonAnswers = false;  // it answered PING
    std::string strDaemonWhy;    // why it did not
    bool bLibrary = false;       // the ClamAV engine library is installed
    std::string strDatabase;     // the folder looked in
    bool bDatabase = false;      // it holds signatures
    std::string strDatabaseWhy;  // why it does not
};

// A daemon that answers, else ClamAV in the host when its library and a
// database are there, else the reference engine. *pstrReason: one line
// saying what was chosen and why the ones before it were not.
std::string ChooseAutoEngine(const SENGINEFACTS& facts, std::string* pstrReason);

// A real engine finds real viruses: its scans look at every file.
bool IsRealEngine(const std::string& strEngine);

// The settings file, its checks, and the engine it points at, for the
// settings dialog; the platform implements it over the program's engine.
class IEngineSettings {
public:
    virtual ~IEngineSettings() = default;
    // The file as it stands (a missing file: the defaults); false with why.
    virtual bool Read(CEngineChoice* pChoice, std::string* pstrWhy) = 0;
    // Whether choice can work: the engine loads, the database folder holds
    // signatures, the daemon answers. False with what is wrong, in words a
    // user can act on.
    virtual bool Check(const CEngineChoice& choice, std::string* pstrWhy) = 0;
    // Writes the file so that no reader ever sees half of it.
    virtual bool Save(const CEngineChoice& choice, std::string* pstrWhy) = 0;
    // Points the program's engine, unloaded, at choice ("auto" decided
    // now); false with why. The engine in use is then GetEngineName's.
    virtual bool Apply(const CEngineChoice& choice, std::string* pstrWhy) = 0;
    // reference, clamav, clamd or a library's path: never "auto".
    virtual std::string GetEngineName() const = 0;
    // The offer to scan a drive when it is inserted (quillet --watch-media
    // started at log-in): on or off, and turning it on or off.
    virtual bool IsMediaWatchOn() const { return false; }
    virtual bool SetMediaWatch(bool bOn, std::string* pstrWhy) {
        (void)bOn;
        pstrWhy->clear();
        return false;
    }
};
