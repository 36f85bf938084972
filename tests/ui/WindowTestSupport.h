// Helpers for window tests: a script of steps that waits for the window to
// reach a state before acting, as a user watching the screen would, and
// screenshots for reviewers.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/utils.h>
#include <wx/dcmemory.h>
#include <wx/dcclient.h>
#include <wx/timer.h>
#include <wx/toplevel.h>

// Runs each step's action once its condition holds, polling every 10 ms on
// whatever event loop is running (a modal dialog's, or a walk's drain).
class CStepper : public wxTimer {
public:
    struct SStep {
        std::function<bool()> fnReady;
        std::function<void()> fnAct;
    };
    void Add(std::function<bool()> fnReady, std::function<void()> fnAct) {
        m_arSteps.push_back({std::move(fnReady), std::move(fnAct)});
    }
    void Begin() { Start(10); }
    bool IsDone() const { return m_nNext >= m_arSteps.size(); }
    void Notify() override {
        // Steps may open modal loops that tick this timer again.
        if (m_bInStep || IsDone())
            return;
        if (++m_nTicks > 6000) {  // a minute: the window never got there
            Stop();
            m_bTimedOut = true;
            return;
        }
        if (!m_arSteps[m_nNext].fnReady())
            return;
        m_bInStep = true;
        SStep step = m_arSteps[m_nNext++];
        step.fnAct();
        m_bInStep = false;
        if (IsDone())
            Stop();
    }
    bool m_bTimedOut = false;

private:
    std::vector<SStep> m_arSteps;
    size_t m_nNext = 0;
    int m_nTicks = 0;
    bool m_bInStep = false;
};

// Saves what the window shows to ../screenshots/<name>.png (the tests run
// in the build's bin folder).
inline void SaveScreenshot(wxWindow* pWindow, const std::string& strName) {
    mkdir("../screenshots", 0755);
    // Let it map and paint everything first, as it would before anyone looks.
    pWindow->Raise();
    pWindow->Refresh();
    for (int i = 0; i < 20; ++i) {
        wxTheApp->Yield(true);
        wxMilliSleep(10);
    }
    pWindow->Update();
    // The window's own pixels, wherever it sits on the screen.
    wxSize size = pWindow->GetClientSize();
    wxBitmap bmp(size.x, size.y);
    wxMemoryDC mem(bmp);
    wxClientDC source(pWindow);
    mem.Blit(0, 0, size.x, size.y, &source, 0, 0);
    mem.SelectObject(wxNullBitmap);
    bmp.SaveFile("../screenshots/" + strName + ".png", wxBITMAP_TYPE_PNG);
}

// Posts a button click as the user's click would arrive.
inline void ClickButton(wxWindow* pDialog, int nId) {
    wxCommandEvent event(wxEVT_BUTTON, nId);
    event.SetEventObject(pDialog->FindWindow(nId));
    pDialog->GetEventHandler()->AddPendingEvent(event);
}
