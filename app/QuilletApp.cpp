// The program: one modal main dialog for the whole life of the process.

#include <wx/app.h>
#include <wx/image.h>

#include "app/MainDlg.h"
#include "platform/PlatformServices.h"

class CQuilletApp : public wxApp {
public:
    bool OnInit() override {
        wxInitAllImageHandlers();
        CPlatformServices services;
        {
            CMainDlg dlg(nullptr, services.Get());
            SetTopWindow(&dlg);
            dlg.ShowModal();
            SetTopWindow(nullptr);
        }
        return true;
    }
    // The dialog was the program; there is no loop of our own to run.
    int OnRun() override { return 0; }
};

wxIMPLEMENT_APP(CQuilletApp);
