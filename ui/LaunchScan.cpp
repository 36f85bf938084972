#include "ui/LaunchScan.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <wx/app.h>
#include <wx/progdlg.h>
#include <wx/utils.h>

#include "base/EscapeField.h"
#include "res/Strings.h"
#include "scan/CommandTargets.h"
#include "scan/SavedOptions.h"
#include "ui/AppIcon.h"
#include "ui/DisplayText.h"
#include "ui/MessageBox.h"
#include "ui/ScanDlg.h"

namespace {

// A quick engine is never announced; a signature database taking seconds is.
constexpr int64_t LOADING_NOTICE_MS = 700;
constexpr int LOADING_POLL_MS = 50;
// A message box holds no more lines than a screen does.
constexpr size_t MISSING_SHOWN = 15;

void ShowMissing(const std::vector<std::string>& arMissing, bool bNothingLeft) {
    std::string strText = LoadText(IDS_LAUNCH_MISSING);
    for (size_t i = 0; i < arMissing.size() && i < MISSING_SHOWN; ++i)
        strText += "\n" + EscapeField(arMissing[i]);
    if (arMissing.size() > MISSING_SHOWN) {
        char szMore[64];
        snprintf(szMore, sizeof szMore, LoadText(IDS_LAUNCH_MISSING_MORE),
                 static_cast<int>(arMissing.size() - MISSING_SHOWN));
        strText += std::string("\n") + szMore;
    }
    if (bNothingLeft)
        strText += std::string("\n\n") + LoadText(IDS_LAUNCH_NOTHING_LEFT);
    QuilletMessageBox(ToDisplay(strText), ToDisplay(LoadText(IDS_PRODUCT_CAPTION)),
                      wxOK | (bNothingLeft ? wxICON_ERROR : wxICON_WARNING), nullptr);
}

// ENGINE_LOAD_* as the session ends it; ENGINE_LOAD_PENDING when the user
// gave up waiting.
int LoadEngine(CScanSession& session) {
    int nLoad = session.BeginLoad();
    if (nLoad == ENGINE_LOAD_PENDING)
        nLoad = session.WaitLoad(LOADING_NOTICE_MS);
    if (nLoad != ENGINE_LOAD_PENDING)
        return nLoad;
    wxProgressDialog progress(ToDisplay(LoadText(IDS_PRODUCT_CAPTION)), ToDisplay(LoadText(IDS_LAUNCH_LOADING)), 100,
                              nullptr, wxPD_APP_MODAL | wxPD_CAN_ABORT);
    while ((nLoad = session.PollLoad()) == ENGINE_LOAD_PENDING) {
        if (!progress.Pulse())
            return ENGINE_LOAD_PENDING;
        wxMilliSleep(LOADING_POLL_MS);
    }
    return nLoad;
}

}  // namespace

int RunLaunchScan(CScanSession& session, const std::vector<std::string>& arArgs, bool bQuarantine) {
    char szCwd[PATH_MAX];
    const std::string strCwd = getcwd(szCwd, sizeof szCwd) ? szCwd : "/";
    // Looked up, never opened: a FIFO or a device is the scan's to count.
    std::vector<CScanTarget> arAsked, arFound;
    std::vector<std::string> arMissing;
    for (const std::string& strArg : arArgs) {
        std::string strPath;
        if (!CommandTargetPath(strArg, strCwd, &strPath)) {
            arMissing.push_back(strArg + ": " + LoadText(IDS_LAUNCH_NOT_LOCAL));
            continue;
        }
        arAsked.push_back(CScanTarget(strPath));
        struct stat st;
        if (stat(strPath.c_str(), &st) != 0) {
            arMissing.push_back(strArg + ": " + strerror(errno));
            continue;
        }
        arFound.push_back(CScanTarget(strPath));
    }
    if (!arMissing.empty())
        ShowMissing(arMissing, arFound.empty());
    if (arFound.empty())
        return 2;

    const int nLoad = LoadEngine(session);
    if (nLoad != ENGINE_LOAD_OK) {
        if (nLoad != ENGINE_LOAD_PENDING)
            QuilletMessageBox(ToDisplay(session.GetLoadFailureText()), ToDisplay(LoadText(IDS_PRODUCT_CAPTION)),
                              wxOK | wxICON_ERROR, nullptr);
        session.Unload();
        return 2;
    }
    session.PrepareBackups();
    SCANREQUEST req;
    LoadSavedOptions(session.GetServices().pRegistry, &req);
    req.arTargets = std::move(arFound);
    // A file named is scanned as that file alone, as quillet-scan does.
    req.bFileTargets = true;
    req.bQuarantine = bQuarantine;
    req.nLastBackupNo = session.GetLastBackupNo();
    req.szWorkDir = session.GetWorkDir();
    {
        CScanDlg dlg(nullptr, session);
        dlg.m_req = std::move(req);
        dlg.SetTargetsAsked(std::move(arAsked), std::move(arMissing));
        dlg.SetIcons(LoadAppIcons());
        wxTheApp->SetTopWindow(&dlg);
        dlg.ShowModal();
        wxTheApp->SetTopWindow(nullptr);
    }
    session.Unload();
    return 0;
}
