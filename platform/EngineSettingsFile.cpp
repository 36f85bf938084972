#include "platform/EngineSettingsFile.h"
#include "platform/MediaWatchService.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/ClamavAdvice.h"
#include "base/Diagnostics.h"
#include "engine/RegularFile.h"
#include "platform/EngineChoice.h"
#include "platform/FileBytes.h"
#include "platform/HostEngine.h"
#include "platform/PlatformServices.h"
#include "res/Strings.h"

namespace {

bool MakeFolders(const std::string& strFolder) {
    if (strFolder.empty() || mkdir(strFolder.c_str(), 0700) == 0 || errno == EEXIST)
        return true;
    if (errno != ENOENT)
        return false;
    const size_t nSlash = strFolder.rfind('/');
    return nSlash != std::string::npos && nSlash > 0 && MakeFolders(strFolder.substr(0, nSlash)) &&
           (mkdir(strFolder.c_str(), 0700) == 0 || errno == EEXIST);
}

std::string Why(const char* pszWhat, int nErr) {
    return std::string(pszWhat) + ": " + strerror(nErr);
}

}  // namespace

bool WriteFileAtomically(const std::string& strPath, const std::string& strText, std::string* pstrWhy) {
    const std::string strFolder = strPath.substr(0, strPath.rfind('/'));
    if (!MakeFolders(strFolder)) {
        *pstrWhy = strFolder + ": " + strerror(errno);
        return false;
    }
    std::string strTemp = strPath + ".XXXXXX";
    const int nFd = mkstemp(strTemp.data());
    if (nFd < 0) {
        *pstrWhy = strFolder + ": " + strerror(errno);
        return false;
    }
    fchmod(nFd, 0600);
    const int nWriteErr = WriteAllBytes(nFd, strText) ? 0 : errno;
    const bool bSynced = nWriteErr == 0 && fsync(nFd) == 0;
    const int nSyncErr = bSynced ? 0 : errno;
    close(nFd);
    if (nWriteErr || !bSynced || rename(strTemp.c_str(), strPath.c_str()) != 0) {
        const int nErr = nWriteErr ? nWriteErr : (!bSynced ? nSyncErr : errno);
        unlink(strTemp.c_str());
        *pstrWhy = strPath + ": " + Why(nWriteErr ? "writing" : !bSynced ? "syncing" : "renaming", nErr);
        return false;
    }
    // The rename itself survives a crash only once its folder is synced.
    const int nDirFd = open(strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (nDirFd >= 0) {
        fsync(nDirFd);
        close(nDirFd);
    }
    return true;
}

bool CEngineSettingsFile::Read(CEngineChoice* pChoice, std::string* pstrWhy) {
    *pChoice = CEngineChoice();
    if (ReadEngineSettingsFile(pChoice, pstrWhy))
        return true;
    *pChoice = CEngineChoice();
    return false;
}

bool CEngineSettingsFile::Check(const CEngineChoice& choice, std::string* pstrWhy) {
    const std::string& strEngine = choice.strEngine;
    if (!IsEngineName(strEngine)) {
        *pstrWhy = "unknown engine \"" + strEngine + "\": auto, reference, clamav, clamd or a library's path";
        return false;
    }
    if (strEngine == "reference")
        return true;
    if (strEngine.find('/') != std::string::npos) {
        // A library of its own: it must load here and now.
        CHostEngine trial;
        if (!ApplyEngineChoice(choice, trial, pstrWhy))
            return false;
        const int nLoad = trial.Load();
        if (nLoad == ENGINE_LOAD_OK) {
            trial.Unload();
            return true;
        }
        *pstrWhy = nLoad == ENGINE_LOAD_ENGINE_ERROR ? trial.GetLoadError() : std::string(LoadText(IDS_ENGINE_LOAD_FAILED));
        return false;
    }
    if ((strEngine == "clamav" || strEngine == "clamd") && !ClamavLibraryInstalled(pstrWhy))
        return false;
    // The signatures named, or ClamAV's own folder for ClamAV in the host.
    if (strEngine == "clamav" || !choice.strDatabase.empty()) {
        const std::string strFolder = choice.strDatabase.empty() ? std::string(DEFAULT_CLAMAV_DATABASE) : choice.strDatabase;
        std::string strReason;
        if (!DatabaseHoldsSignatures(strFolder, &strReason)) {
            *pstrWhy = DatabaseProblemText(strFolder, strReason, IsFreshclamInstalled());
            return false;
        }
    }
    if (strEngine == "clamd" || !choice.strClamd.empty()) {
        const std::string strAddress = choice.strClamd.empty() ? ConfiguredClamdAddress() : choice.strClamd;
        if (strAddress.empty()) {
            *pstrWhy = std::string("no clamd address: give one (unix:PATH or tcp:HOST:PORT), or install "
                                   "clamav-daemon, whose ") + CLAMD_CONFIG + " names its socket";
            return false;
        }
        if (!DaemonAnswers(strAddress, pstrWhy))
            return false;
    }
    return true;
}

bool CEngineSettingsFile::Save(const CEngineChoice& choice, std::string* pstrWhy) {
    const std::string strPath = EngineSettingsPath();
    if (strPath.empty()) {
        *pstrWhy = "no home folder";
        return false;
    }
    // What the user wrote by hand stays: comments and order.
    std::string strOld;
    int nErr = 0;
    if (!ReadRegularFile(strPath, &strOld, &nErr) && nErr != ENOENT) {
        *pstrWhy = strPath + LoadText(IDS_ENGINE_SETTINGS_UNREADABLE) + RegularFileError(nErr);
        return false;
    }
    return WriteFileAtomically(strPath, FormatEngineSettings(choice, strOld), pstrWhy);
}

bool CEngineSettingsFile::Apply(const CEngineChoice& chosen, std::string* pstrWhy) {
    // The workers were copies of the engine that was: the next scan opens
    // copies of this one.
    m_workers.Close();
    CEngineChoice choice = chosen;
    const bool bAuto = choice.strEngine == "auto";
    std::string strReason;
    ResolveAutoEngine(&choice, &strReason);
    if (bAuto)
        Diagnose(LoadText(IDS_ENGINE_CHOICE_WHAT), strReason);
    if (!ApplyEngineChoice(choice, m_engine, pstrWhy))
        return false;
    m_strEngine = choice.strEngine;
    m_applied = choice;
    return true;
}

bool CEngineSettingsFile::IsMediaWatchOn() const {
    return IsMediaWatchEnabled();
}

bool CEngineSettingsFile::SetMediaWatch(bool bOn, std::string* pstrWhy) {
    return EnableMediaWatch(bOn, pstrWhy);
}
