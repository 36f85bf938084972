#include "ui/AppIcon.h"

#include <wx/bitmap.h>
#include <wx/icon.h>

#include "res/AppIcon128_16.xpm"
#include "res/AppIcon128_32.xpm"

wxIconBundle LoadAppIcons() {
    wxIconBundle icons;
    for (const char* const* pXpm : {AppIcon128_32_xpm, AppIcon128_16_xpm}) {
        wxIcon icon;
        icon.CopyFromBitmap(wxBitmap(pXpm));
        if (icon.IsOk())
            icons.AddIcon(icon);
    }
    return icons;
}
