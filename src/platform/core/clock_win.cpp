#include "platform/core/clock.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {

LocalTime SystemClock::now() const {
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace plenvo::platform
