// The program: one modal main dialog for the whole life of the process, or,
// with --backup-bin, the Backup Bin alone, or, given paths, their scan's
// results dialog alone. Restoring and emptying need no
// engine, so that road never loads one. Only here are the Linux objects
// built; the windows get them through core's interfaces.

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/image.h>

#include "platform/DesktopNotifier.h"
#include "platform/EngineChoice.h"
#include "platform/HistoryFile.h"
#include "platform/MediaWatchService.h"
#include "platform/PlatformServices.h"
#include "platform/UserLanguage.h"
#include "res/Strings.h"
#include "res/Version.h"
#include "ui/AppIcon.h"
#include "ui/BackupBinDlg.h"
#include "ui/DiagnosticLog.h"
#include "ui/DisplayText.h"
#include "ui/HistoryDlg.h"
#include "ui/LaunchScan.h"
#include "ui/MainDlg.h"
#include "ui/MessageBox.h"
#include "ui/WindowLanguage.h"

// The arguments as the system handed them over: paths are bytes. The
// options (with the program's name) go on to the toolkit; the targets stay
// here, so no path is ever taken for one of the toolkit's own options.
std::vector<std::string> g_arRawArgs;
std::vector<std::string> g_arTargets;

class CQuilletApp : public wxApp {
public:
    bool OnInit() override {
        // The windows' texts through wx's catalogs: no installed locale needed.
        UseWindowLanguage(UserLanguage(), TextCatalogDir());
        wxInitAllImageHandlers();
        bool bBackupBin = false, bVerbose = false, bHistory = false;
        bool bEngineGiven = false, bClamdGiven = false, bDatabaseGiven = false;
        std::string strHistoryId;
        // The settings file first; what the command line says wins.
        std::string strChoiceError;
        ReadEngineSettingsFile(&m_engineChoice, &strChoiceError);
        for (int i = 1; i < argc; ++i) {
            const std::string strArg = argv[i].utf8_string();
            bBackupBin = bBackupBin || strArg == "--backup-bin";
            bVerbose = bVerbose || strArg == "--verbose";
            if (strArg == "--history") {
                // The scan to open at, when one is named.
                bHistory = true;
                if (i + 1 < argc && !argv[i + 1].StartsWith("-"))
                    strHistoryId = argv[++i].utf8_string();
                continue;
            }
            if (i + 1 < argc && (strArg == "--engine" || strArg == "--database" || strArg == "--clamd")) {
                // Paths are bytes: taken as the system handed them over.
                std::string strValue = static_cast<size_t>(i + 1) < g_arRawArgs.size() ? g_arRawArgs[i + 1] : "";
                if (strArg == "--engine")
                    m_engineChoice.strEngine = strValue;
                else if (strArg == "--database")
                    m_engineChoice.strDatabase = strValue;
                else
                    m_engineChoice.strClamd = strValue;
                bEngineGiven = bEngineGiven || strArg == "--engine";
                bClamdGiven = bClamdGiven || strArg == "--clamd";
                bDatabaseGiven = bDatabaseGiven || strArg == "--database";
                ++i;
            }
        }
        // A signature folder named alone: auto over that folder, as
        // quillet-scan takes it.
        if (bDatabaseGiven && !bEngineGiven) {
            m_engineChoice.strEngine = "auto";
            if (!bClamdGiven)
                m_engineChoice.strClamd.clear();
        }
        // Why something failed quietly goes to wx's log, and under --verbose
        // to standard error; never to a dialog.
        SetUpDiagnosticLog(bVerbose);
        SetDiagnosticSink(&m_diagnostics);
        if (bHistory)
            RunHistory(strHistoryId);
        else if (bBackupBin)
            RunBackupBin();
        else if (!g_arTargets.empty())
            RunTargets(strChoiceError);
        else
            RunMain(strChoiceError);
        return true;
    }
    int OnRun() override { return m_nExit; }
    int OnExit() override {
        SetDiagnosticSink(nullptr);
        return wxApp::OnExit();
    }

private:
    CWxDiagnosticSink m_diagnostics;
    CEngineChoice m_engineChoice;
    // The dialog was the program; there is no loop of our own to run.
    int m_nExit = 0;

    // A choice that names no usable engine is said, not replaced by another
    // engine the user did not ask for; auto says in the log what it chose
    // and why. False when the program ends here.
    bool ApplyChoice(CPlatformServices& services, std::string strChoiceError) {
        if (strChoiceError.empty())
            services.engineSettings.Apply(m_engineChoice, &strChoiceError);
        if (strChoiceError.empty())
            return true;
        QuilletMessageBox(wxString::FromUTF8(strChoiceError), ToDisplay(LoadText(IDS_PRODUCT_CAPTION)),
                          wxOK | wxICON_ERROR, nullptr);
        m_nExit = 2;
        return false;
    }

    void RunMain(std::string strChoiceError) {
        CPlatformServices services;
        if (!ApplyChoice(services, strChoiceError))
            return;
        services.signatures.SetChoice(services.engineSettings.GetApplied());
        CScanSession session(services.Get());
        CMainDlg dlg(nullptr, session);
        dlg.SetQuarantineUnrepairable(m_engineChoice.bQuarantine);
        SetTopWindow(&dlg);
        dlg.ShowModal();
        SetTopWindow(nullptr);
    }

    // quillet PATH...: the results dialog alone, over those targets.
    void RunTargets(std::string strChoiceError) {
        CPlatformServices services;
        if (!ApplyChoice(services, strChoiceError))
            return;
        CScanSession session(services.Get());
        m_nExit = RunLaunchScan(session, g_arTargets, m_engineChoice.bQuarantine);
    }

    // The history alone, as a notification's action opens it.
    void RunHistory(const std::string& strId) {
        CHistoryFile history;
        std::vector<SHISTORYRECORD> arRecords;
        std::string strWhy;
        if (!history.Read(&arRecords, &strWhy)) {
            char szText[4096];
            snprintf(szText, sizeof szText, LoadText(IDS_HISTORY_CANNOT_READ), history.GetPath().c_str(), strWhy.c_str());
            QuilletMessageBox(wxString::FromUTF8(szText), ToDisplay(LoadText(IDS_PRODUCT_CAPTION)), wxOK | wxICON_ERROR,
                              nullptr);
            m_nExit = 2;
            return;
        }
        CHistoryDlg dlg(nullptr, std::move(arRecords), strId);
        SetTopWindow(&dlg);
        dlg.ShowModal();
        SetTopWindow(nullptr);
    }

    // Over the folder the main dialog would use, as it is: listing never
    // creates it.
    void RunBackupBin() {
        CPlatformServices platform;
        const CScanServices services = platform.Get();
        CBackupBinDlg dlg(nullptr, *services.pBin, services.pAllow, services.pWindowSizes);
        dlg.SetIcons(LoadAppIcons());
        SetTopWindow(&dlg);
        dlg.ShowModal();
        SetTopWindow(nullptr);
    }
};

wxIMPLEMENT_APP_NO_MAIN(CQuilletApp);

namespace {

int UsageError(const char* pszFormat, const char* pszArg) {
    fprintf(stderr, pszFormat, pszArg, pszArg);
    fputs(LoadText(IDS_APP_HELP), stderr);
    return 64;
}

}  // namespace

int main(int argc, char** argv) {
    UseCommandLineLanguage();
    // The drive watch and its notifications' senders need no window.
    if (argc > 1 && strcmp(argv[1], NOTIFY_CHILD_OPTION) == 0)
        return RunNotifyChild(argc - 1, argv + 1);
    if (argc > 1 && strcmp(argv[1], "--watch-media") == 0)
        return RunMediaWatch(argc - 1, argv + 1);
    // Answered before the toolkit starts: they need no display.
    std::vector<char*> arToolkit{argv[0]};
    const char* pszAlone = nullptr;  // an option that opens a window of its own
    bool bOptions = true;
    for (int i = 1; i < argc; ++i) {
        const char* pszArg = argv[i];
        if (!bOptions || pszArg[0] != '-' || pszArg[1] == '\0') {
            g_arTargets.push_back(pszArg);
        } else if (strcmp(pszArg, "--") == 0) {
            bOptions = false;
        } else if (strcmp(pszArg, "--version") == 0) {
            printf(LoadText(IDS_APP_VERSION), QUILLET_VERSION_MAJOR, QUILLET_VERSION_MINOR, QUILLET_VERSION_PATCH,
                   QUILLET_VERSION_BUILD);
            return 0;
        } else if (strcmp(pszArg, "--help") == 0) {
            fputs(LoadText(IDS_APP_HELP), stdout);
            fputs(LoadText(IDS_LAUNCH_HELP_PATHS), stdout);
            return fflush(stdout) == 0 && !ferror(stdout) ? 0 : 1;
        } else if (strcmp(pszArg, "--verbose") == 0) {
            arToolkit.push_back(argv[i]);
        } else if (strcmp(pszArg, "--backup-bin") == 0) {
            pszAlone = pszArg;
            arToolkit.push_back(argv[i]);
        } else if (strcmp(pszArg, "--history") == 0) {
            pszAlone = pszArg;
            arToolkit.push_back(argv[i]);
            if (i + 1 < argc && argv[i + 1][0] != '-')
                arToolkit.push_back(argv[++i]);
        } else if (strcmp(pszArg, "--engine") == 0 || strcmp(pszArg, "--database") == 0 ||
                   strcmp(pszArg, "--clamd") == 0) {
            if (i + 1 >= argc)
                return UsageError(LoadText(IDS_LAUNCH_NO_VALUE), pszArg);
            arToolkit.push_back(argv[i]);
            arToolkit.push_back(argv[++i]);
        } else {
            return UsageError(LoadText(IDS_LAUNCH_BAD_OPTION), pszArg);
        }
    }
    if (pszAlone && !g_arTargets.empty())
        return UsageError(LoadText(IDS_LAUNCH_PATHS_WITH), pszAlone);
    g_arRawArgs.assign(arToolkit.begin(), arToolkit.end());
    int nToolkitArgs = static_cast<int>(arToolkit.size());
    arToolkit.push_back(nullptr);
    return wxEntry(nToolkitArgs, arToolkit.data());
}
