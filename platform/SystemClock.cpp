#include "platform/SystemClock.h"

#include <time.h>

CLocalTime CSystemClock::Now() {
    time_t tNow = time(nullptr);
    tm tmLocal{};
    if (!localtime_r(&tNow, &tmLocal))
        gmtime_r(&tNow, &tmLocal);
    return CLocalTime{tmLocal.tm_year + 1900, tmLocal.tm_mon + 1, tmLocal.tm_mday,
                      tmLocal.tm_hour,        tmLocal.tm_min,     tmLocal.tm_sec};
}
