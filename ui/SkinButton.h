// A flat push button: an icon and its caption on a plain face, a one-pixel
// raised border while the mouse is over it and a sunken one while pressed.
// Every frame is built off-screen. A click sends the ordinary button event
// (wxEVT_BUTTON with the button's id) to the dialog.
#pragma once

#include <cstdint>

#include <wx/control.h>
#include <wx/cursor.h>
#include <wx/icon.h>

#include "controls/SkinButtonLogic.h"

class CSkinButton : public wxControl {
public:
    CSkinButton();
    CSkinButton(wxWindow* pParent, wxWindowID nId, const wxString& strLabel = wxString(),
                const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize, long nStyle = 0);
    bool Create(wxWindow* pParent, wxWindowID nId, const wxString& strLabel = wxString(),
                const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize, long nStyle = 0);
    ~CSkinButton() override;

    // Icon nHotId for the hot and pressed looks, nNormalId (0: the same
    // icon) otherwise, in an icon box of nWidth x nHeight pixels (at most
    // 255 each); repaints at once. An icon that does not load is not drawn.
    void SetIcons(int nHotId, int nNormalId, int nWidth, int nHeight);

    // One frame of the button's current look into dc over its client area.
    void DrawFrame(wxDC& dc);

    bool IsHot() const { return m_state.IsHot(); }
    bool IsPressed() const { return m_state.IsPressed(); }

    bool Enable(bool bEnable = true) override;
    bool AcceptsFocus() const override { return IsShown() && IsEnabled(); }

protected:
    wxSize DoGetBestClientSize() const override;

    void OnPaint(wxPaintEvent& event);
    void OnEraseBackground(wxEraseEvent& event);
    void OnMouseMove(wxMouseEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnKillFocus(wxFocusEvent& event);
    void OnSetFocus(wxFocusEvent& event);
    void OnCaptureChanged(wxMouseCaptureChangedEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void OnSetCursor(wxSetCursorEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void OnKeyUp(wxKeyEvent& event);

private:
    void Init();
    bool IsInside(const wxPoint& pt) const;
    void Apply(unsigned nActions);

    CSkinButtonOptions m_opt;
    CSkinButtonState m_state;
    wxCursor m_cursor;
    wxIcon m_iconHot;
    wxIcon m_iconNormal;
    uint8_t m_nIconHeight = 0;
    uint8_t m_nIconWidth = 0;
    // Sampled once, at construction.
    wxColour m_clrNormalBack;
    wxColour m_clrNormalText;
    wxColour m_clrHotBack;
    wxColour m_clrHotText;

    wxDECLARE_EVENT_TABLE();
};
