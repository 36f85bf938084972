#include "DialogDriver.h"

#include <filesystem>

#include <gtest/gtest.h>

#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/stattext.h>

CDialogDriver::CDialogDriver(wxDialog& dlg, std::vector<std::function<void()>> arSteps)
    : m_dlg(dlg), m_arSteps(std::move(arSteps)) {
    Start(50);
}

void CDialogDriver::Notify() {
    ++m_nTicks;
    // Four ticks on screen first, so the dialog has painted.
    if (!m_dlg.IsShownOnScreen() || ++m_nShownTicks < 4) {
        if (m_nTicks > 200)
            GiveUp();
        return;
    }
    if (m_nNext < m_arSteps.size()) {
        m_arSteps[m_nNext++]();
        // A failed assertion ends the steps: the later ones build on it.
        if (::testing::Test::HasFatalFailure())
            GiveUp();
        return;
    }
    // Every step ran; a dialog the steps should have closed gets a few
    // seconds more for its key or button to arrive.
    if (m_nTicks > 200 + static_cast<int>(m_arSteps.size()))
        GiveUp();
}

void CDialogDriver::GiveUp() {
    Stop();
    if (m_dlg.IsModal())
        m_dlg.EndModal(DRIVER_TIMED_OUT);
}

bool SaveWindowShot(wxWindow* pWindow, const std::string& strName) {
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    const wxSize sz = pWindow->GetClientSize();
    wxBitmap bmp(sz.x, sz.y, 24);
    {
        wxClientDC dcWindow(pWindow);
        wxMemoryDC dcMem(bmp);
        dcMem.Blit(0, 0, sz.x, sz.y, &dcWindow, 0, 0);
    }
    std::error_code ec;
    std::filesystem::create_directories("../screenshots", ec);
    return bmp.SaveFile(wxString::FromUTF8("../screenshots/" + strName), wxBITMAP_TYPE_PNG);
}

bool TextFits(wxWindow* pText) {
    const wxSize szText = pText->GetTextExtent(pText->GetLabel());
    return szText.x <= pText->GetSize().x && szText.y <= pText->GetSize().y;
}

void ExpectTextsWhole(wxWindow& dlg) {
    for (wxWindow* pChild : dlg.GetChildren()) {
        if (dynamic_cast<wxStaticText*>(pChild)) {
            EXPECT_TRUE(TextFits(pChild)) << pChild->GetLabel().utf8_str() << " is cut";
        }
    }
}
