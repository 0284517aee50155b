// Dates as agents and administrators write them.
#include "fuzz_support.h"
#include "store/date_time.h"

using namespace plenvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = fuzz::textOf(data, size);
    // Text that is no stored date is shown as it stands.
    if (!store::fromStoredText(text)) FUZZ_CHECK(store::generalTextOfStored(text) == text);

    const auto t = store::parseDateTime(text);
    if (!t) return 0;
    const std::string stored = store::storedText(*t);
    FUZZ_CHECK(stored.size() == 19);
    FUZZ_CHECK(store::fromStoredText(stored) == t);
    FUZZ_CHECK(store::parseDateTime(stored) == t);
    const std::string general = store::generalText(*t);
    FUZZ_CHECK(store::parseDateTime(general) == t);
    FUZZ_CHECK(store::generalTextOfStored(stored) == general);
    FUZZ_CHECK(store::daysBetween(*t, *t) == 0 && store::minutesBetween(*t, *t) == 0);
    // A day later is one midnight and 1440 minute boundaries on.
    platform::LocalTime next = *t;
    next.day += 1;
    if (store::parseDateTime(store::storedText(next))) {
        FUZZ_CHECK(store::daysBetween(*t, next) == 1);
        FUZZ_CHECK(store::minutesBetween(*t, next) == 1440);
    }
    return 0;
}
