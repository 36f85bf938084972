#include "ui/MessageBox.h"

#include <wx/msgdlg.h>

namespace {

FnMessageBox& Hook() {
    static FnMessageBox s_fnHook;
    return s_fnHook;
}

}  // namespace

int QuilletMessageBox(const wxString& strText, const wxString& strCaption, long nStyle, wxWindow* pParent) {
    if (Hook())
        return Hook()(strText, strCaption, nStyle);
    return wxMessageBox(strText, strCaption, nStyle, pParent);
}

void SetMessageBoxHook(FnMessageBox fnHook) {
    Hook() = std::move(fnHook);
}
