#include "intake/result_file.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <vector>

#include "intake/error_codes.h"
#include "platform/text/text_file.h"
#include "platform/text/utf8_path.h"
#include "store/date_time.h"

namespace plenvo::intake {

using enum ValueKind;

const std::array<ResultKey, kResultKeyCount> kResultKeys = {{
    {"ComNM=", "RmtComnm=", "ComNM", text},
    {"UserID", "", "UserID", text},
    {"MailID", "", "MailID", text},
    {"UserName", "", "UserName", text},
    {"DmNm", "", "DmNm", text},
    {"ToBkup", "", "ToBkup", text},
    {"Fav=", "RepSWFav=", "Fav", text},
    {"Dtp=", "RepSWDtp=", "Dtp", text},
    {"Mdc=", "RepSWMdc=", "Mdc", text},
    {"SPF01=", "RepSWSPF01=", "SPF01", text},
    {"SPF02=", "RepSWSPF02=", "SPF02", text},
    {"SPF03=", "RepSWSPF03=", "SPF03", text},
    {"RepSW=", "", "RepSW", text},
    {"RmtConnect=", "", "RmtConnect", text},
    {"RmtComnm=", "", "RmtComnm", text},
    {"RestStart=", "", "RestStart", text},
    {"TBKSz=", "", "TBKSz", number},
    {"TBKFSz=", "", "TBKFSz", number},
    {"FavSz=", "ToFavSz=", "FavSz", number},
    {"DtpSz=", "ToDtpSz=", "DtpSz", number},
    {"MdcSz=", "ToMdcSz=", "MdcSz", number},
    {"SPF01SZ=", "ToSPF01SZ=", "SPF01SZ", number},
    {"SPF02SZ=", "ToSPF02SZ=", "SPF02SZ", number},
    {"SPF03SZ=", "ToSPF03SZ=", "SPF03SZ", number},
    {"ToMdcSz=", "", "ToMdcSz", number},
    {"ToFavSz=", "", "ToFavSz", number},
    {"ToDtpSz=", "", "ToDtpSz", number},
    {"RSRT=", "", "RSRT", text},
    {"ToSPF01SZ=", "", "ToSPF01SZ", number},
    {"ToSPF02SZ=", "", "ToSPF02SZ", number},
    {"ToSPF03SZ=", "", "ToSPF03SZ", number},
    {"TLFileQTY=", "", "TLFileQTY", count},
    {"CPFileQTY=", "", "CPFileQTY", count},
    {"SKFileQTY=", "", "SKFileQTY", count},
    {"MSFileQTY=", "", "MSFileQTY", count},
    {"FAFileQTY=", "", "FAFileQTY", count},
    {"EXFileQTY=", "", "EXFileQTY", count},
    {"RunLVL=", "", "RunLVL", text},
    {"CHKLVL=", "", "CHKLVL", text},
    {"RepSWFav=", "", "RepSWFav", text},
    {"RepSWDtp=", "", "RepSWDtp", text},
    {"RepSWMdc=", "", "RepSWMdc", text},
    {"RepSWSPF01=", "", "RepSWSPF01", text},
    {"RepSWSPF02=", "", "RepSWSPF02", text},
    {"RepSWSPF03=", "", "RepSWSPF03", text},
    {"RepSWALL=", "", "RepSWALL", text},
    {"DiskError=", "", "DiskError", text},
    {"Status=", "", "Status", text},
    {"AgtVer=", "", "AgtVer", text},
    {"ErNo=", "", "ErNo", text},
    {"UPDT=", "", "UPDT", date},
}};

std::optional<std::string_view> valueOfLine(std::string_view line) {
    const size_t first = line.find('=');
    if (first == std::string_view::npos) return std::nullopt;
    const size_t second = line.find('=', first + 1);
    return line.substr(
        first + 1, second == std::string_view::npos ? std::string_view::npos : second - first - 1);
}

std::optional<double> parseNumber(std::string_view text) {
    // Blanks around the number and digit grouping are accepted, as the
    // system's own conversion does.
    std::string digits;
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    size_t end = text.size();
    while (end > i && text[end - 1] == ' ') --end;
    for (size_t k = i; k < end; ++k) {
        const char c = text[k];
        if (c == ',' && k > i && k + 1 < end &&
            std::isdigit(static_cast<unsigned char>(text[k - 1])) &&
            std::isdigit(static_cast<unsigned char>(text[k + 1])))
            continue;
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '+' || c == '-' ||
              c == 'e' || c == 'E'))
            return std::nullopt;
        digits += c;
    }
    if (digits.empty()) return std::nullopt;
    errno = 0;
    char* stop = nullptr;
    const double value = std::strtod(digits.c_str(), &stop);
    if (stop != digits.c_str() + digits.size() || errno == ERANGE || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::int64_t> parseCount(std::string_view text) {
    const auto value = parseNumber(text);
    if (!value) return std::nullopt;
    const double rounded = std::nearbyint(*value);  // the default mode rounds halves to even
    if (rounded < -32768.0 || rounded > 32767.0) return std::nullopt;
    return static_cast<std::int64_t>(rounded);
}

namespace {

using KeySet = std::uint64_t;  // one bit per key
static_assert(kResultKeyCount <= 64);

// The keys sorted for one pass over a line: those that end in "=" by the
// character before it, tested at each "="; the others by their first
// character, tested where it occurs.
struct KeyTable {
    struct Candidate {
        std::string_view text;  // a key ending in "=" without it, or a whole key
        size_t key;
    };
    std::array<std::vector<Candidate>, 256> byLastChar;
    std::array<std::vector<Candidate>, 256> byFirstChar;
    std::array<bool, 256> startsKey{};
    // The key whose text is the key's exclusion, or kResultKeyCount when the
    // exclusion is no key of its own (then it is searched for).
    std::array<size_t, kResultKeyCount> exclusionKey{};

    KeyTable() {
        for (size_t k = 0; k < kResultKeyCount; ++k) {
            const std::string_view match = kResultKeys[k].match;
            if (match.size() >= 2 && match.back() == '=') {
                const std::string_view stem = match.substr(0, match.size() - 1);
                byLastChar[static_cast<unsigned char>(stem.back())].push_back({stem, k});
            } else {
                const auto first = static_cast<unsigned char>(match.front());
                byFirstChar[first].push_back({match, k});
                startsKey[first] = true;
            }
            exclusionKey[k] = kResultKeyCount;
            for (size_t e = 0; e < kResultKeyCount; ++e)
                if (!kResultKeys[k].exclusion.empty() &&
                    kResultKeys[e].match == kResultKeys[k].exclusion)
                    exclusionKey[k] = e;
        }
    }
};

const KeyTable& keyTable() {
    static const KeyTable table;
    return table;
}

// The keys whose text occurs in the line.
KeySet keysIn(std::string_view line, const KeyTable& table) {
    KeySet found = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c == '=') {
            if (i == 0) continue;
            const std::string_view before = line.substr(0, i);
            for (const auto& key : table.byLastChar[static_cast<unsigned char>(before.back())])
                if (before.ends_with(key.text)) found |= KeySet{1} << key.key;
        } else if (table.startsKey[c]) {
            const std::string_view from = line.substr(i);
            for (const auto& key : table.byFirstChar[c])
                if (from.starts_with(key.text)) found |= KeySet{1} << key.key;
        }
    }
    return found;
}

}  // namespace

void matchLine(std::string_view line, ParsedReport& report) {
    if (line.size() < 4) return;  // shorter than every key
    // Without "=" no key takes a value, whatever the line holds.
    const std::optional<std::string_view> value = valueOfLine(line);
    if (!value) return;
    const KeyTable& table = keyTable();
    const KeySet found = keysIn(line, table);
    for (KeySet rest = found; rest; rest &= rest - 1) {
        const auto k = static_cast<size_t>(std::countr_zero(rest));
        const ResultKey& key = kResultKeys[k];
        if (!key.exclusion.empty()) {
            const size_t e = table.exclusionKey[k];
            const bool excluded = e < kResultKeyCount
                                      ? (found >> e & 1) != 0
                                      : line.find(key.exclusion) != std::string_view::npos;
            if (excluded) continue;
        }
        const std::string_view text = *value;
        switch (key.kind) {
            case ValueKind::text:
                report.values[k] = std::string(text);
                break;
            case ValueKind::number:
                if (auto n = parseNumber(text))
                    report.values[k] = *n;
                else
                    report.refused[k] = true;
                break;
            case ValueKind::count:
                if (auto n = parseCount(text))
                    report.values[k] = *n;
                else
                    report.refused[k] = true;
                break;
            case ValueKind::date:
                if (auto t = store::parseDateTime(text))
                    report.values[k] = store::storedText(*t);
                else
                    report.refused[k] = true;
                break;
        }
    }
}

namespace {

// Nullopt when the file changed while it was read: a read that met an agent
// rewriting the file in place may hold parts of two versions, or half of one.
// `folder` holds the file's folder open when the caller has it, else null.
std::optional<ParsedReport> readUnchanged(const std::filesystem::path& path,
                                          const platform::OpenFolder* folder) {
    constexpr auto kLimit = platform::TextReader::kDefaultLineLimit;
    constexpr auto kNoLinks = platform::TextReader::Links::refuse;
    std::optional<platform::TextReader> opened;
    if (folder)
        opened.emplace(*folder, platform::utf8Of(path.filename()), kLimit, kNoLinks);
    else
        opened.emplace(path, kLimit, kNoLinks);
    platform::TextReader& reader = *opened;
    const platform::FileStamp& before = reader.openedStamp();
    ParsedReport report;
    std::string line;
    while (reader.readLine(line)) matchLine(line, report);
    const platform::FileStamp after = reader.stamp();
    if (after != before || after.size != reader.bytesRead()) return std::nullopt;
    // A file changed a moment ago may be half written by an agent that pauses
    // between its writes: it counts once it has rested unchanged.
    constexpr std::chrono::nanoseconds kRest = std::chrono::milliseconds(20);
    const auto age = std::chrono::system_clock::now().time_since_epoch() -
                     std::chrono::nanoseconds(after.changedNs);
    if (age < kRest) {
        std::this_thread::sleep_for(std::min(kRest - age, kRest));
        if (reader.stamp() != after) return std::nullopt;
    }
    report.overlongLines = reader.overlongLines();
    report.stamp = after;
    if (const std::string* codes = report.text(kErNo))
        report.droppedCodes = agentCodes(*codes).dropped;
    return report;
}

ParsedReport readWhole(const std::filesystem::path& path, const platform::OpenFolder* folder) {
    constexpr int kAttempts = 3;
    for (int attempt = 1;; ++attempt) {
        if (auto report = readUnchanged(path, folder)) return std::move(*report);
        if (attempt == kAttempts)
            throw std::runtime_error("changed while being read; left for the next pass");
        // An agent's write is short: give it a moment to finish.
        std::this_thread::sleep_for(std::chrono::milliseconds(10 * attempt));
    }
}

}  // namespace

ParsedReport readResultFile(const std::filesystem::path& path) {
    return readWhole(path, nullptr);
}

ParsedReport readResultFile(const platform::OpenFolder& folder, const std::string& name) {
    return readWhole(folder.path() / platform::pathFromUtf8(name), &folder);
}

}  // namespace plenvo::intake
