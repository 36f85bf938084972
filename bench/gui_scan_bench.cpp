// One scan through the scan results dialog, timed from the walk's start to
// its end, for comparison with quillet-scan over the same tree. The dialog
// closes itself when the scan is over. Usage: gui_scan_bench TREE

#include <stdio.h>

#include <chrono>

#include <wx/app.h>

#include "platform/PlatformServices.h"
#include "ui/MessageBox.h"
#include "ui/ScanDlg.h"

class CBenchApp : public wxApp {
public:
    bool OnInit() override {
        if (argc < 2)
            return false;
        CPlatformServices services;
        // Every run reads every file, as quillet-scan --no-cache does.
        services.verdicts.SetEnabled(false);
        if (services.engine.Load() != ENGINE_LOAD_OK)
            return false;
        CScanSession sessionDlg(services.Get());
        CScanDlg dlg(nullptr, sessionDlg);
        dlg.m_req.arTargets = {std::string(argv[1].utf8_str())};
        dlg.m_req.arTopNames = {"Computer", "Network", "Home"};
        dlg.m_req.bAllFiles = true;
        dlg.m_req.bAutoRepair = false;
        auto tStart = std::chrono::steady_clock::now();
        double dSeconds = -1;
        // From the first tick, when the walk starts, to the finished message.
        dlg.Bind(wxEVT_TIMER, [&](wxTimerEvent& event) {
            tStart = std::chrono::steady_clock::now();
            event.Skip();
        });
        SetMessageBoxHook([&](const wxString&, const wxString&, long) {
            dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - tStart).count();
            dlg.CallAfter([&] { dlg.EndModal(wxID_OK); });
            return wxOK;
        });
        dlg.ShowModal();
        printf("%.3f %d\n", dSeconds, dlg.GetRows().GetItemCount());
        services.engine.Unload();
        return true;
    }
    int OnRun() override { return 0; }
};

wxIMPLEMENT_APP(CBenchApp);
