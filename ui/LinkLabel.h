// A static label with its own text colour and weight, drawn without a box
// of its own, that opens its own text when clicked: an address in the
// browser, an absolute path in its default program, anything else nothing.
#pragma once

#include <wx/colour.h>
#include <wx/cursor.h>
#include <wx/font.h>
#include <wx/stattext.h>

class CLinkLabel : public wxStaticText {
public:
    CLinkLabel();
    CLinkLabel(wxWindow* pParent, wxWindowID nId, const wxString& strText, const wxPoint& pos = wxDefaultPosition,
               const wxSize& size = wxDefaultSize, long nStyle = 0);
    bool Create(wxWindow* pParent, wxWindowID nId, const wxString& strText, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long nStyle = 0);

    // Both repaint at once. wxColour(0x00FF0000) is blue, as colour values
    // hold blue in their third byte.
    void SetTextColor(const wxColour& clrText);
    void SetBold(bool bBold);
    // The desktop theme's link colour, or its text colour when the theme
    // names none that reads on the dialog's face.
    void SetThemeLinkColor();

    const wxColour& GetTextColor() const { return m_clrText; }
    const wxFont& GetLabelFont() const { return m_fontText; }

protected:
    void OnLeftDown(wxMouseEvent& event);
    void OnSetCursor(wxSetCursorEvent& event);

private:
    void Init();
    void ApplyLook();

    wxColour m_clrText;
    wxColour m_clrFlash;  // the off phase of a background flash
    wxFont m_fontText;
    int m_nFlashKind = 0;
    bool m_bFlashPhase = false;
    wxCursor m_cursor;

    wxDECLARE_EVENT_TABLE();
};
