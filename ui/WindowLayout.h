// A dialog laid out at its template size that the user may make larger:
// the template's size is the minimum, each control follows the size by its
// anchors (see FollowSize), and the size is kept for the next start.
#pragma once

#include <string>
#include <vector>

#include <wx/gdicmn.h>

#include "controls/WindowSizes.h"

class wxTopLevelWindow;
class wxWindow;

class CWindowLayout {
public:
    // Call once every control sits at its template place.
    void Add(wxWindow* pControl, int nAnchors);
    // The window's present client size is the template's and its minimum;
    // then it takes the size kept under strName (pSizes may be null).
    void Start(wxTopLevelWindow* pWindow, IWindowSizes* pSizes, const std::string& strName);
    // From the window's size handler: the controls follow the client size.
    void Follow();
    // How much wider and taller than the template the window is now.
    wxSize GetGrowth() const;
    // Keeps the size for the next start (not a maximised one: the next
    // start should not open as large as the screen unasked).
    void Save();

private:
    struct SItem {
        wxWindow* pControl;
        int nAnchors;
        wxRect rcTemplate;
    };
    std::vector<SItem> m_arItems;
    wxTopLevelWindow* m_pWindow = nullptr;
    IWindowSizes* m_pSizes = nullptr;
    std::string m_strName;
    wxSize m_sizeTemplate;
};
