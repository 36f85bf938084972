// The application icon, resource 128, in its two sizes.
#pragma once

#include <wx/iconbndl.h>

wxIconBundle LoadAppIcons();
