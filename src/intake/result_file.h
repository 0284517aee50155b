#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/text/text_file.h"
#include "store/sqlite.h"

namespace plenvo::intake {

enum class ValueKind { text, number, count, date };

struct ResultKey {
    std::string_view match;      // text that must occur in the line
    std::string_view exclusion;  // the line is not taken when it also holds this
    std::string_view field;      // UserLog field
    ValueKind kind;
};

inline constexpr size_t kResultKeyCount = 51;
// The keys in the order each line is tested against them.
extern const std::array<ResultKey, kResultKeyCount> kResultKeys;

// Indexes into kResultKeys of the values the import needs by name.
enum ResultKeyIndex : size_t { kComNM = 0, kUserID = 1, kToBkup = 5, kErNo = 49, kUPDT = 50 };

// One value per key, monostate where the file gave the key no value. A date is
// kept as the date fields store it.
struct ParsedReport {
    std::array<store::DbValue, kResultKeyCount> values;
    // A line gave the key a text it could not take; matters only without a value.
    std::array<bool, kResultKeyCount> refused{};
    size_t overlongLines = 0;
    // Pieces of the ErNo text that are no two-digit codes; the import drops them.
    size_t droppedCodes = 0;
    // The file as it was read.
    platform::FileStamp stamp;

    const std::string* text(size_t key) const { return std::get_if<std::string>(&values[key]); }
};

// The text between the first and the second "=", or nullopt without "=".
std::optional<std::string_view> valueOfLine(std::string_view line);
// A decimal number as agents write it; nullopt when it does not convert.
std::optional<double> parseNumber(std::string_view text);
// A whole number in -32768..32767, halves rounded to the even neighbour.
std::optional<std::int64_t> parseCount(std::string_view text);

// Feeds one line to every key it matches; the last line that gives a key a value wins.
void matchLine(std::string_view line, ParsedReport& report);
// Reads a result file to its end. Throws when it cannot be opened, is a link
// or no plain file, or kept changing while it was read.
ParsedReport readResultFile(const std::filesystem::path& path);
// The same for the file of that name in a folder held open.
ParsedReport readResultFile(const platform::OpenFolder& folder, const std::string& name);

}  // namespace plenvo::intake
