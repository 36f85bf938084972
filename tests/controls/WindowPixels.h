// Pixels of windows under test: renders, screen grabs, PNGs for reviewers.
#pragma once

#include <ostream>
#include <string>

#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/image.h>
#include <wx/window.h>

// Readable colours in failure messages.
void PrintTo(const wxColour& clr, std::ostream* pOut);

wxColour PixelAt(const wxImage& image, int x, int y);
// The client area of a shown window as it is on the screen now.
wxImage GrabClientArea(wxWindow* pWindow);
// Serves window events for about nMs milliseconds.
void PumpEvents(int nMs);
// Writes image as strName (a .png name) into the screenshots folder beside
// the build's bin folder; false when it cannot.
bool SaveScreenshot(const wxImage& image, const std::string& strName);
