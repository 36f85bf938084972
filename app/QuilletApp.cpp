// The program: one modal main dialog for the whole life of the process, or,
// with --backup-bin, the Backup Bin alone. Restoring and emptying need no
// engine, so that road never loads one. Only here are the Linux objects
// built; the windows get them through core's interfaces.

#include <stdio.h>
#include <string.h>

#include <wx/app.h>
#include <wx/image.h>

#include "app/AppIcon.h"
#include "app/DiagnosticLog.h"
#include "app/MainDlg.h"
#include "platform/BackupStore.h"
#include "platform/PlatformServices.h"
#include "repair/BackupBinDlg.h"
#include "res/Strings.h"
#include "res/Version.h"

class CQuilletApp : public wxApp {
public:
    bool OnInit() override {
        wxInitAllImageHandlers();
        bool bBackupBin = false, bVerbose = false;
        for (int i = 1; i < argc; ++i) {
            bBackupBin = bBackupBin || argv[i] == "--backup-bin";
            bVerbose = bVerbose || argv[i] == "--verbose";
        }
        // Why something failed quietly goes to wx's log, and under --verbose
        // to standard error; never to a dialog.
        SetUpDiagnosticLog(bVerbose);
        SetDiagnosticSink(&m_diagnostics);
        if (bBackupBin)
            RunBackupBin();
        else
            RunMain();
        return true;
    }
    // The dialog was the program; there is no loop of our own to run.
    int OnRun() override { return 0; }
    int OnExit() override {
        SetDiagnosticSink(nullptr);
        return wxApp::OnExit();
    }

private:
    CWxDiagnosticSink m_diagnostics;

    void RunMain() {
        CPlatformServices services;
        CMainDlg dlg(nullptr, services.Get());
        SetTopWindow(&dlg);
        dlg.ShowModal();
        SetTopWindow(nullptr);
    }

    // Over the folder the main dialog would use, as it is: listing never
    // creates it.
    void RunBackupBin() {
        CBackupStore store(GetWorkDirPath());
        CBackupBinDlg dlg(nullptr, store);
        dlg.SetIcons(LoadAppIcons());
        SetTopWindow(&dlg);
        dlg.ShowModal();
        SetTopWindow(nullptr);
    }
};

wxIMPLEMENT_APP_NO_MAIN(CQuilletApp);

int main(int argc, char** argv) {
    // Answered before the toolkit starts: it needs no display.
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--version") == 0) {
            printf(LoadText(IDS_APP_VERSION), QUILLET_VERSION_MAJOR, QUILLET_VERSION_MINOR, QUILLET_VERSION_PATCH);
            return 0;
        }
    }
    return wxEntry(argc, argv);
}
