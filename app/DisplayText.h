// Display text lives with the controls that show it (a control must not
// reach into the application); the windows of the application include it
// by this name too.
#pragma once

#include "controls/DisplayText.h"
