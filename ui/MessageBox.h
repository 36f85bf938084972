// Every message box of the program goes through here, so a window test can
// answer them the way a user would.
#pragma once

#include <functional>

#include <wx/string.h>

class wxWindow;

using FnMessageBox = std::function<int(const wxString& strText, const wxString& strCaption, long nStyle)>;

// wxMessageBox's answers (wxOK, wxYES, wxNO, wxCANCEL).
int QuilletMessageBox(const wxString& strText, const wxString& strCaption, long nStyle, wxWindow* pParent);

// Replaces the boxes for a test; an empty function restores them.
void SetMessageBoxHook(FnMessageBox fnHook);
