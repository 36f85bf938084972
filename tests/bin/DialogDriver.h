// Drives a modal dialog from inside its own loop, as a user would: steps
// run one per timer tick once the dialog is on screen and has painted.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <wx/dialog.h>
#include <wx/timer.h>

// What ShowModal returns when the steps ran out and the dialog was still
// open, or a step failed an assertion: the test fails instead of hanging.
constexpr int DRIVER_TIMED_OUT = -2;

class CDialogDriver : public wxTimer {
public:
    CDialogDriver(wxDialog& dlg, std::vector<std::function<void()>> arSteps);
    void Notify() override;

private:
    void GiveUp();

    wxDialog& m_dlg;
    std::vector<std::function<void()>> m_arSteps;
    size_t m_nNext = 0;
    int m_nTicks = 0;
    int m_nShownTicks = 0;
};

// The client area of a shown window, copied through a client DC, saved as
// ../screenshots/<strName> relative to the working folder (the build's
// bin folder). False when it could not be written.
bool SaveWindowShot(wxWindow* pWindow, const std::string& strName);

// The text of a static control fits its box: nothing is cut.
bool TextFits(wxWindow* pText);
// Every static text of the dialog fits its box.
void ExpectTextsWhole(wxWindow& dlg);
