// Reads screen pixels straight from the X server. The toolkit's screen
// context keeps serving its first snapshot of the screen, so later grabs
// through it would show stale pictures.
#pragma once

#include <vector>

// RGB bytes, row by row, of the screen rectangle (x, y, nWidth, nHeight);
// the parts off the screen stay black. False without a display.
bool GrabScreenRgb(int x, int y, int nWidth, int nHeight, std::vector<unsigned char>& arRgb);
