#include "WindowPixels.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include <wx/app.h>
#include <wx/utils.h>

#include "XScreenGrab.h"

void PrintTo(const wxColour& clr, std::ostream* pOut) {
    *pOut << "rgb(" << int(clr.Red()) << ", " << int(clr.Green()) << ", " << int(clr.Blue()) << ")";
}

wxColour PixelAt(const wxImage& image, int x, int y) {
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

wxImage GrabClientArea(wxWindow* pWindow) {
    const wxSize sz = pWindow->GetClientSize();
    const wxPoint ptScreen = pWindow->ClientToScreen(wxPoint(0, 0));
    std::vector<unsigned char> arRgb;
    wxImage image(sz.x, sz.y);
    if (GrabScreenRgb(ptScreen.x, ptScreen.y, sz.x, sz.y, arRgb))
        std::copy(arRgb.begin(), arRgb.end(), image.GetData());
    return image;
}

void PumpEvents(int nMs) {
    for (int i = 0; i < nMs / 10; ++i) {
        wxTheApp->Yield(true);
        wxMilliSleep(10);
    }
    wxTheApp->Yield(true);
}

bool SaveScreenshot(const wxImage& image, const std::string& strName) {
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    // Tests run in the build's bin folder.
    std::error_code ec;
    std::filesystem::create_directories("../screenshots", ec);
    return image.SaveFile(wxString::FromUTF8("../screenshots/" + strName), wxBITMAP_TYPE_PNG);
}
