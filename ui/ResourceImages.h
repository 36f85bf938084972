// The program's own images, found by the resource ids the dialogs use.
#pragma once

#include <wx/bitmap.h>
#include <wx/icon.h>

enum EResourceImage {
    IDI_INFO = 130,         // the information balloon, 32x32 and 16x16
    IDB_LIST_CHECKS = 136,  // two 16x16 check boxes, empty and ticked, white as mask colour
    IDB_EMBLEM = 140,       // 49x45 emblem on white
};

// An invalid bitmap for an id the program does not have.
wxBitmap LoadBitmapResource(int nId);
// nSize 0 gives the icon's first (largest) image; an invalid icon when the
// id or the size is unknown.
wxIcon LoadIconResource(int nId, int nSize = 0);
