#include "ui/ResourceImages.h"

#include "res/Emblem140.xpm"
#include "res/InfoIcon130_16.xpm"
#include "res/InfoIcon130_32.xpm"
#include "res/ListChecks136.xpm"

wxBitmap LoadBitmapResource(int nId) {
    switch (nId) {
    case IDB_LIST_CHECKS:
        return wxBitmap(ListChecks136_xpm);
    case IDB_EMBLEM:
        return wxBitmap(Emblem140_xpm);
    default:
        return wxBitmap();
    }
}

wxIcon LoadIconResource(int nId, int nSize) {
    if (nId != IDI_INFO)
        return wxIcon();
    switch (nSize) {
    case 0:
    case 32:
        return wxIcon(InfoIcon130_32_xpm);
    case 16:
        return wxIcon(InfoIcon130_16_xpm);
    default:
        return wxIcon();
    }
}
