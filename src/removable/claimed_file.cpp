#include "removable/claimed_file.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <system_error>

#include "platform/files/file_system.h"
#include "platform/files/plain_file.h"
#include "platform/text/text_file.h"
#include "platform/text/utf8_path.h"
#include "removable/exchange_fields.h"

namespace plenvo::removable {
namespace {

namespace fs = std::filesystem;

constexpr size_t kLineLimit = platform::TextReader::kDefaultLineLimit;
constexpr size_t kChunk = 64 * 1024;
// Enough bytes for the 80 characters an overlong line is told by.
constexpr size_t kHeadBytes = 2 * kQuotedChars;

std::int64_t secondsOf(const platform::LocalTime& t) {
    using namespace std::chrono;
    const sys_days day{year{t.year} / t.month / t.day};
    return std::int64_t{day.time_since_epoch().count()} * 86400 + t.hour * 3600 + t.minute * 60 +
           t.second;
}

// The console's own names are removed when something else stands there: a
// folder under the claimed name would make every later claim fail.
void clearUnlessPlainFile(const fs::path& path) {
    std::error_code ec;
    const auto type = fs::symlink_status(path, ec).type();
    if (type != fs::file_type::not_found && type != fs::file_type::regular)
        fs::remove_all(path, ec);
}

std::string decodeLine(std::string_view raw) {
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    return platform::decodeCp932(raw);
}

template <typename Number>
bool readNumber(std::string_view text, Number& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

fs::path withSuffix(fs::path path, const char* suffix) {
    path += suffix;
    return path;
}

}  // namespace

ClaimedFile::ClaimedFile(fs::path path, const platform::LocalTime& now, bool fresh)
    : path_(std::move(path)), side_(withSuffix(path_, ".pos")), now_(secondsOf(now)) {
    progress_.since = now_;
    if (fresh) return;
    // Anyone on the share can write the side file: text that is not four numbers
    // counts as no side file at all.
    const auto text = platform::readPlainFile(side_, 128);
    if (!text) return;
    const std::string_view all = *text;
    std::vector<std::string_view> fields;
    for (size_t at = 0; (at = all.find_first_not_of(" \r\n", at)) != std::string_view::npos;) {
        const size_t end = std::min(all.find_first_of(" \r\n", at), all.size());
        fields.push_back(all.substr(at, end - at));
        at = end;
    }
    Progress stored;
    std::uint64_t seen = 0;
    unsigned skipping = 0;
    if (fields.size() != 4 || !readNumber(fields[0], stored.taken) ||
        !readNumber(fields[2], stored.since) || !readNumber(fields[3], skipping) || skipping > 1)
        return;
    if (fields[1] != "-") {
        if (!readNumber(fields[1], seen)) return;
        stored.seen = seen;
    }
    stored.skipping = skipping == 1;
    progress_ = stored;
    saved_ = stored;
}

std::optional<ClaimedFile> ClaimedFile::claim(const fs::path& source, const fs::path& claimed,
                                              const platform::LocalTime& now) {
    // The side file is written beside itself first and then renamed over: a
    // folder under either name would keep the position from being kept, and the
    // same lines would be taken again tick after tick.
    const fs::path side = withSuffix(claimed, ".pos");
    for (const fs::path& own : {claimed, side, withSuffix(side, ".new~")})
        clearUnlessPlainFile(own);
    bool fresh = false;
    if (!platform::fileExists(claimed)) {
        if (!platform::fileExists(source)) return std::nullopt;
        // A position left by a claimed file whose deletion was cut short belongs
        // to no file now.
        if (platform::fileExists(side) && !platform::deleteFile(side))
            throw std::runtime_error("cannot delete " + platform::utf8Of(side));
        // Refused while an agent holds the file (Windows): the next tick claims it.
        if (!platform::renameFile(source, claimed)) return std::nullopt;
        fresh = true;
    }
    // A pipe, a device or a link under the exchange name is no agent's file:
    // reading it would block the console or never end, and left there it would
    // block the next file too.
    std::error_code ec;
    if (fs::symlink_status(claimed, ec).type() != fs::file_type::regular) {
        platform::deleteFile(claimed);
        throw std::runtime_error("not a plain file, removed: " + platform::utf8Of(source));
    }
    return ClaimedFile(claimed, now, fresh);
}

void ClaimedFile::save() {
    if (saved_ == progress_) return;
    const Progress& p = progress_;
    platform::TextWriter out(side_, platform::TextWriter::Mode::replace);
    out.writeLine(std::to_string(p.taken) + " " + (p.seen ? std::to_string(*p.seen) : "-") + " " +
                  std::to_string(p.since) + " " + (p.skipping ? "1" : "0"));
    out.commit();
    saved_ = progress_;
}

bool ClaimedFile::takeLines(const Take& take, platform::FailureLog& failures,
                            std::string_view topic) {
    std::optional<platform::PlainFileReader> file(std::in_place, path_);
    const std::uint64_t size = file->size();
    Progress& p = progress_;
    if (p.taken > size) {  // not the file the position was kept for
        const std::int64_t since = p.since;
        p = Progress();
        p.since = since;
    }
    // The clock was put back, or the position file names no sane time.
    if (now_ < p.since || p.since < 0) p.since = now_;
    const bool quiet = p.seen == size && now_ - p.since >= kSettleSeconds;

    // Only what the file held when its length was taken is read now; the
    // line being gathered never grows past the limit.
    std::vector<char> buffer(kChunk);
    std::string line;
    std::uint64_t at = p.taken;
    while (at < size) {
        const size_t n =
            file->readAt(at, buffer.data(), std::min<std::uint64_t>(kChunk, size - at));
        if (n == 0) break;  // cut short meanwhile
        std::vector<std::string> batch;
        for (size_t pos = 0; pos < n;) {
            const char* start = buffer.data() + pos;
            const auto* nl = static_cast<const char*>(std::memchr(start, '\n', n - pos));
            const size_t piece = nl ? static_cast<size_t>(nl - start) : n - pos;
            if (!p.skipping && line.size() + piece > kLineLimit) {
                std::string head = line.substr(0, kHeadBytes);
                head.append(start, std::min(piece, kHeadBytes - head.size()));
                failures.report(topic,
                                "line longer than " + std::to_string(kLineLimit) +
                                    " bytes passed over: " + excerpt(platform::decodeCp932(head)));
                line.clear();
                p.skipping = true;
            } else if (!p.skipping) {
                line.append(start, piece);
            }
            pos += piece;
            if (!nl) break;
            ++pos;
            if (!p.skipping) batch.push_back(decodeLine(line));
            line.clear();
            p.skipping = false;
            p.taken = at + pos;
        }
        at += n;
        // What was passed over is never read again.
        if (p.skipping) p.taken = at;
        if (!batch.empty()) {
            take(batch);
            save();
        }
    }

    if (quiet && at == size && file->size() == size) {
        if (!p.skipping && !line.empty()) take({decodeLine(line)});
        p.taken = size;
        p.skipping = false;
        file.reset();
        // Refused while an agent holds it (Windows): it waits for the next tick.
        if (platform::deleteFile(path_)) {
            platform::deleteFile(side_);
            return true;
        }
    }
    p.seen = size;
    save();
    return false;
}

}  // namespace plenvo::removable
