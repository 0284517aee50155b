#include "store/date_time.h"

#include <cstdio>

namespace plenvo::store {
namespace {

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long dayNumber(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool leap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : days[m - 1];
}

bool valid(const LocalTime& t) {
    return t.year >= 100 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= daysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
           t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

// Reads 1 to `maxDigits` digits; false when there are none.
bool readNumber(std::string_view text, size_t& pos, int maxDigits, int& out) {
    int digits = 0;
    out = 0;
    while (pos < text.size() && digits < maxDigits && text[pos] >= '0' && text[pos] <= '9') {
        out = out * 10 + (text[pos] - '0');
        ++pos;
        ++digits;
    }
    return digits > 0 && !(pos < text.size() && text[pos] >= '0' && text[pos] <= '9');
}

}  // namespace

std::string storedText(const LocalTime& t) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return buffer;
}

std::optional<LocalTime> fromStoredText(std::string_view text) {
    if (text.size() != 19 || text[4] != '-' || text[10] != ' ') return std::nullopt;
    return parseDateTime(text);
}

std::string generalText(const LocalTime& t) {
    char buffer[40];
    if (t.hour == 0 && t.minute == 0 && t.second == 0)
        std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d", t.year, t.month, t.day);
    else
        std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %d:%02d:%02d", t.year, t.month, t.day,
                      t.hour, t.minute, t.second);
    return buffer;
}

std::string generalTextOfStored(std::string_view stored) {
    if (auto t = fromStoredText(stored)) return generalText(*t);
    return std::string(stored);
}

std::optional<LocalTime> parseDateTime(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    LocalTime t;
    size_t pos = 0;
    if (!readNumber(text, pos, 4, t.year) || pos != 4 || pos >= text.size()) return std::nullopt;
    const char separator = text[pos];
    if (separator != '/' && separator != '-') return std::nullopt;
    ++pos;
    if (!readNumber(text, pos, 2, t.month) || pos >= text.size() || text[pos] != separator)
        return std::nullopt;
    ++pos;
    if (!readNumber(text, pos, 2, t.day)) return std::nullopt;
    if (pos < text.size()) {
        if (text[pos] != ' ' && text[pos] != 'T') return std::nullopt;
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == 'T')) ++pos;
        if (!readNumber(text, pos, 2, t.hour) || pos >= text.size() || text[pos] != ':')
            return std::nullopt;
        ++pos;
        if (!readNumber(text, pos, 2, t.minute)) return std::nullopt;
        if (pos < text.size()) {
            if (text[pos] != ':') return std::nullopt;
            ++pos;
            if (!readNumber(text, pos, 2, t.second)) return std::nullopt;
        }
        if (pos != text.size()) return std::nullopt;
    }
    if (!valid(t)) return std::nullopt;
    return t;
}

long daysBetween(const LocalTime& from, const LocalTime& to) {
    return dayNumber(to.year, to.month, to.day) - dayNumber(from.year, from.month, from.day);
}

LocalTime minusDays(const LocalTime& t, int days) {
    // The civil date of a day number, the inverse of dayNumber.
    const long z = dayNumber(t.year, t.month, t.day) - days + 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    LocalTime earlier = t;
    earlier.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    earlier.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    earlier.year = static_cast<int>(yoe + era * 400 + (earlier.month <= 2));
    return earlier;
}

double daysSinceEpoch(const LocalTime& t) {
    return static_cast<double>(dayNumber(t.year, t.month, t.day)) +
           (t.hour * 3600 + t.minute * 60 + t.second) / 86400.0;
}

long minutesBetween(const LocalTime& from, const LocalTime& to) {
    auto minuteIndex = [](const LocalTime& t) {
        return dayNumber(t.year, t.month, t.day) * 1440 + t.hour * 60 + t.minute;
    };
    return minuteIndex(to) - minuteIndex(from);
}

}  // namespace plenvo::store
