#pragma once

#include "scan/EventLog.h"

class CSystemClock : public IClock {
public:
    CLocalTime Now() override;
};
