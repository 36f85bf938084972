// quillet-bin: the Backup Bin without a window, for scripts and machines
// without a display. It lists, restores (and allows), deletes and empties
// through the same bin logic and store as the dialog, over the same work
// folder.

#include <stdio.h>
#include <string.h>
#include <time.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/Diagnostics.h"
#include "base/EscapeField.h"
#include "platform/PlatformServices.h"
#include "platform/UserLanguage.h"
#include "repair/BackupBin.h"
#include "repair/BackupFormat.h"
#include "res/Strings.h"
#include "res/Version.h"

namespace {

constexpr int EXIT_USAGE = 64;

int Usage() {
    fputs(LoadText(IDS_BIN_TOOL_USAGE), stderr);
    return EXIT_USAGE;
}

std::string OriginalPath(const CBackupInfo& info) {
    return EscapeField(info.strFolder + "/" + info.strName);
}

// Decimal digits only, within 32 bits.
bool ParseNumber(const char* psz, uint32_t* pnNumber) {
    if (!*psz)
        return false;
    uint64_t n = 0;
    for (; *psz; ++psz) {
        if (*psz < '0' || *psz > '9')
            return false;
        n = n * 10 + static_cast<uint64_t>(*psz - '0');
        if (n > UINT32_MAX)
            return false;
    }
    *pnNumber = static_cast<uint32_t>(n);
    return true;
}

bool Flush() {
    return fflush(stdout) == 0 && !ferror(stdout);
}

int List(CBackupBin& bin) {
    const int nCount = bin.Load();
    for (int i = 0; i < nCount; ++i) {
        const CBackupBinItem& item = bin.GetRow(i).item;
        uint32_t nNumber = 0;
        // A backup whose name holds no number is listed all the same.
        const std::string strNumber =
            BackupNumberFromName(item.strFileName, &nNumber) ? std::to_string(nNumber) : std::string("-");
        const std::string strLine = strNumber + "\t" + OriginalPath(item.info) + "\t" + FormatBackupTime(item.nTime) + "\t" +
                                    LoadText(item.bQuarantined ? IDS_KIND_QUARANTINE : IDS_KIND_BACKUP) + "\t" +
                                    EscapeField(item.bQuarantined ? item.strVirus : std::string()) + "\n";
        fwrite(strLine.data(), 1, strLine.size(), stdout);
    }
    return Flush() ? 0 : 1;
}

// Ticks the rows these numbers name; a number that names none is said.
bool TickNumbers(CBackupBin& bin, const std::vector<uint32_t>& arNumbers) {
    bool bFailed = false;
    for (uint32_t nWanted : arNumbers) {
        bool bFound = false;
        for (int i = 0; i < bin.GetCount(); ++i) {
            uint32_t nNumber = 0;
            if (BackupNumberFromName(bin.GetRow(i).item.strFileName, &nNumber) && nNumber == nWanted) {
                bin.SetCheck(i, true);
                bFound = true;
            }
        }
        if (!bFound) {
            fprintf(stderr, LoadText(IDS_BIN_TOOL_NO_SUCH_BACKUP), nWanted, GetRestoreResultText(RESTORE_NOT_A_BACKUP));
            bFailed = true;
        }
    }
    return !bFailed;
}

int Restore(CBackupBin& bin, const std::vector<uint32_t>& arNumbers, bool bAllow) {
    bin.Load();
    bool bFailed = !TickNumbers(bin, arNumbers);
    // Restored rows leave the bin; the failed ones stay and name their file.
    std::vector<CBackupBinItem> arTicked;
    for (int i = 0; i < bin.GetCount(); ++i)
        if (bin.IsChecked(i))
            arTicked.push_back(bin.GetRow(i).item);
    const CRestoreOutcome outcome = bin.RestoreChecked(bAllow);
    for (const auto& [strFileName, eResult] : outcome.arFailures) {
        std::string strPath = EscapeField(strFileName);
        for (const CBackupBinItem& item : arTicked)
            if (item.strFileName == strFileName)
                strPath = OriginalPath(item.info);
        // One gone since the listing was taken by another program: no backup is kept.
        fprintf(stderr, LoadText(eResult == RESTORE_GONE ? IDS_BIN_TOOL_GONE : IDS_BIN_TOOL_CANNOT_RESTORE),
                strPath.c_str(), GetRestoreResultText(eResult));
        bFailed = true;
    }
    for (const auto& [strPath, strWhy] : outcome.arNotAllowed) {
        fprintf(stderr, LoadText(IDS_BIN_TOOL_NOT_ALLOWED), EscapeField(strPath).c_str(), strWhy.c_str());
        bFailed = true;
    }
    return bFailed ? 1 : 0;
}

int Delete(CBackupBin& bin, const std::vector<uint32_t>& arNumbers) {
    bin.Load();
    bool bFailed = !TickNumbers(bin, arNumbers);
    const CDeleteOutcome outcome = bin.DeleteRows(bin.GetActionRows(-1));
    for (const auto& [strFileName, eResult] : outcome.arFailures) {
        fprintf(stderr, LoadText(IDS_BIN_TOOL_NOT_DELETED), EscapeField(strFileName).c_str(),
                LoadText(eResult == DELETE_GONE ? IDS_BIN_DELETE_GONE : IDS_BIN_DELETE_FAILED_TEXT));
        bFailed = true;
    }
    return bFailed ? 1 : 0;
}

int Empty(CBackupBin& bin) {
    // What is listed now is what goes: a backup a scan writes meanwhile stays.
    bin.Load();
    const CEmptyOutcome outcome = bin.Empty();
    if (outcome.nFailed > 0) {
        fprintf(stderr, LoadText(outcome.nFailed == 1 ? IDS_BIN_TOOL_NOT_DELETED_ONE : IDS_BIN_TOOL_NOT_DELETED_MANY),
                outcome.nFailed);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    UseCommandLineLanguage();
    static CStderrDiagnosticSink s_verbose("quillet-bin");
    std::vector<const char*> arArgs;
    bool bOptions = true;
    bool bAllow = false;
    for (int i = 1; i < argc; ++i) {
        const char* pszArg = argv[i];
        if (bOptions && strcmp(pszArg, "--") == 0) {
            bOptions = false;
        } else if (bOptions && strcmp(pszArg, "--allow") == 0) {
            bAllow = true;
        } else if (bOptions && strcmp(pszArg, "--verbose") == 0) {
            SetDiagnosticSink(&s_verbose);
        } else if (bOptions && strcmp(pszArg, "--help") == 0) {
            fputs(LoadText(IDS_BIN_TOOL_USAGE), stdout);
            fputs(LoadText(IDS_BIN_TOOL_OPTIONS), stdout);
            return Flush() ? 0 : 1;
        } else if (bOptions && strcmp(pszArg, "--version") == 0) {
            printf(LoadText(IDS_BIN_TOOL_VERSION), QUILLET_VERSION_MAJOR, QUILLET_VERSION_MINOR, QUILLET_VERSION_PATCH,
                   QUILLET_VERSION_BUILD);
            return Flush() ? 0 : 1;
        } else if (bOptions && pszArg[0] == '-' && pszArg[1] != '\0') {
            return Usage();
        } else {
            arArgs.push_back(pszArg);
        }
    }
    const std::string strCommand = arArgs.empty() ? "list" : arArgs[0];
    std::vector<uint32_t> arNumbers;
    if (bAllow && strCommand != "restore")
        return Usage();
    if (strCommand == "restore" || strCommand == "delete") {
        for (size_t i = 1; i < arArgs.size(); ++i) {
            uint32_t nNumber = 0;
            if (!ParseNumber(arArgs[i], &nNumber))
                return Usage();
            arNumbers.push_back(nNumber);
        }
        if (arNumbers.empty())
            return Usage();
    } else if ((strCommand != "list" && strCommand != "empty") || arArgs.size() > 1) {
        return Usage();
    }

    // The folder the program would use, as it is: nothing here creates it.
    CPlatformServices platform;
    const CScanServices services = platform.Get();
    CBackupBin bin(*services.pBin, services.pAllow);
    if (strCommand == "restore")
        return Restore(bin, arNumbers, bAllow);
    if (strCommand == "delete")
        return Delete(bin, arNumbers);
    if (strCommand == "empty")
        return Empty(bin);
    return List(bin);
}
