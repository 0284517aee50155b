#include "pages/log_viewer.h"

#include <algorithm>
#include <string_view>

#include "pages/page_text.h"
#include "pages/sha256.h"
#include "platform/files/base_folder.h"
#include "platform/files/file_system.h"
#include "platform/text/text_file.h"
#include "platform/text/utf8_path.h"
#include "store/mng_database.h"
#include "store/pass_memory.h"

namespace plenvo::pages {
namespace {

constexpr std::string_view kSuffix = "_Log.vbs";
constexpr size_t kMaxFileName = 255;  // bytes, as the file systems count them

bool safeChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}

bool allSafe(const std::string& name) {
    return std::all_of(name.begin(), name.end(), safeChar);
}

// "<host>_<user>" names one pair only while the host holds no "_": the first
// "_" then ends the host.
bool plainNameFits(const std::string& comNm, const std::string& userId) {
    return comNm.find('_') == std::string::npos && !comNm.starts_with('.') && allSafe(comNm) &&
           allSafe(userId) && comNm.size() + userId.size() + 1 + kSuffix.size() <= kMaxFileName;
}

// The first characters of the name, unsafe ones replaced: a reader's hint only.
std::string safeHint(const std::string& name) {
    std::string out;
    for (char c : name.substr(0, 48)) out += safeChar(c) ? c : '_';
    return out;
}

std::string pairDigest(const std::string& comNm, const std::string& userId) {
    // The host's length first, so that no other split of the same bytes hashes alike.
    const auto digest = sha256(std::to_string(comNm.size()) + ':' + comNm + userId);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < 16; ++i) {
        out += kHex[digest[i] >> 4];
        out += kHex[digest[i] & 0xF];
    }
    return out;
}

}  // namespace

std::string logViewerFileName(const std::string& comNm, const std::string& userId) {
    if (plainNameFits(comNm, userId)) return comNm + '_' + userId + std::string(kSuffix);
    std::string stem = safeHint(comNm) + '_' + safeHint(userId);
    if (stem.front() == '.') stem.front() = '_';
    return stem + '~' + pairDigest(comNm, userId) + std::string(kSuffix);
}

namespace {

std::string viewerScript(const std::string& toBkup) {
    return "On Error Resume Next\r\n"
           "Set WshShell = WScript.CreateObject(\"Wscript.Shell\")\r\n"
           "Set fs = WScript.CreateObject(\"Scripting.FileSystemObject\")\r\n"
           "Set WshEnv = WSHShell.Environment(\"PROCESS\")\r\n"
           "rcmd=\"notepad.exe \" & \"" +
           vbsStringEscaped(toBkup) +
           "\\Log.txt\"\r\n"
           "WshShell.RUN(rcmd)\r\n"
           "Wscript.Quit\r\n";
}

// Writes the viewer unless the file already says this; returns the file's
// stamp afterwards (all zero when the file system did not tell it).
platform::FileStamp writeIfChanged(const std::filesystem::path& file, const std::string& toBkup) {
    const std::string script = viewerScript(toBkup);
    // Rewriting thousands of unchanged scripts every minute costs the disk
    // more than reading them: a script that already says this is left alone.
    const std::string bytes = platform::encodeCp932(script);
    platform::FileStamp stamp;
    if (platform::readPlainFile(file, bytes.size(), stamp) == bytes) return stamp;
    platform::TextWriter out(file, platform::TextWriter::Mode::create);
    out.write(script);
    return out.commit();
}

}  // namespace

void writeLogViewer(const std::filesystem::path& file, const std::string& toBkup) {
    writeIfChanged(file, toBkup);
}

namespace {

// The viewers of <base>\HTM\VBS are kept in <base>\Mng.mdb.
std::filesystem::path keepingDatabase(const std::filesystem::path& folder) {
    return store::mngPath(platform::BaseFolder(folder.parent_path().parent_path()));
}

store::Digest128 destinationDigest(const std::string& toBkup) {
    const auto full = sha256(toBkup);
    store::Digest128 digest;
    for (size_t i = 0; i < 8; ++i) {
        digest.high = digest.high << 8 | full[i];
        digest.low = digest.low << 8 | full[i + 8];
    }
    return digest;
}

}  // namespace

LogViewerPass::LogViewerPass(const std::filesystem::path& folder, LogViewerCache& cache)
    : folder_(folder), cache_(cache) {
    if (cache_.folder_ != folder) {
        cache_.order_.clear();
        cache_.entries_.clear();
        cache_.dropped_.clear();
        cache_.next_ = 0;
        cache_.loaded_ = false;
        cache_.namesSettledAt_.reset();
        cache_.folder_ = folder;
    }
    std::error_code timeError;
    const auto changed = std::filesystem::last_write_time(folder, timeError);
    if (!timeError) changedAtStart_ = changed;
    const std::uint32_t pass = ++cache_.pass_;
    const bool fresh = !cache_.loaded_ && load();
    if (cache_.entries_.empty()) return;
    if (!fresh) {
        lookAtNames(pass);
        return;
    }
    // What Mng.mdb kept is believed only of files whose stamps it holds: a
    // console's first page asks each viewer once.
    auto& entries = cache_.entries_;
    auto wanted = entries.end();
    platform::listStamps(
        folder,
        [&](std::string_view name) { return (wanted = entries.find(name)) != entries.end(); },
        [&](std::string_view, const platform::FileStamp& stamp) {
            if (wanted->second.stamp == stamp) wanted->second.checked = pass;
        });
}

// Takes the viewers Mng.mdb keeps; false when it keeps none.
bool LogViewerPass::load() {
    cache_.loaded_ = true;
    const auto path = keepingDatabase(folder_);
    if (!cache_.keeping_ || !platform::fileExists(path)) return false;
    try {
        store::Connection db = store::Connection::open(path);
        if (!store::ViewerKeptTable::exists(db)) return false;
        const std::size_t count = store::ViewerKeptTable::count(db);
        cache_.entries_.reserve(count);
        cache_.order_.reserve(count);
        store::ViewerKeptTable::load(db, [&](store::ViewerKeptFile&& file) {
            const auto [it, added] = cache_.entries_.try_emplace(std::move(file.name));
            if (!added) return;
            it->second = {file.toBkup, file.stamp, 0, 0, true};
            cache_.order_.push_back(&*it);
        });
        return true;
    } catch (const std::exception&) {
        // Every viewer is then read, as on a console's first page ever.
        cache_.order_.clear();
        cache_.entries_.clear();
        return false;
    }
}

// Names alone tell which viewers are gone; a slice of the others, in turn,
// is asked for its stamp, which tells one that somebody changed.
void LogViewerPass::lookAtNames(std::uint32_t pass) {
    auto& entries = cache_.entries_;
    // A name that comes or goes changes the folder's time (NTFS, ext4): while
    // the time the last pass saw settled stays, the names are still there.
    if (changedAtStart_ && cache_.namesSettledAt_ == changedAtStart_) {
        for (auto& [name, entry] : entries)
            if (entry.checked == pass - 1) entry.checked = pass;
    } else {
        listNames(pass);
    }
    askStampsInTurn(pass);
}

void LogViewerPass::listNames(std::uint32_t pass) {
    auto& entries = cache_.entries_;
    // One name at a time: 100,000 of them at once would cost megabytes.
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder_, error), end; !error && it != end;
         it.increment(error))
        if (const auto found = entries.find(platform::utf8Of(it->path().filename()));
            found != entries.end())
            found->second.checked = pass;
    // A listing cut short tells nothing of the names after the cut.
    if (error)
        for (auto& [name, entry] : entries) entry.checked = 0;
}

void LogViewerPass::askStampsInTurn(std::uint32_t pass) {
    auto& order = cache_.order_;
    const size_t count = std::min(cache_.stampsEachPass_, order.size());
    for (size_t i = 0; i < count; ++i) {
        auto& [name, entry] = *order[(cache_.next_ + i) % order.size()];
        if (entry.checked != pass) continue;
        const auto stamp = platform::plainFileStamp(folder_ / platform::pathFromUtf8(name));
        if (!stamp || *stamp != entry.stamp) entry.checked = 0;
    }
    if (!order.empty()) cache_.next_ = (cache_.next_ + count) % order.size();
}

LogViewerPass::~LogViewerPass() {
    try {
        forgetUnused(cache_.pass_);
        keep();
        noteSettledNames();
    } catch (const std::exception&) {
        // Kept in this process only; the next page tries again.
    }
}

// Trusted next time: a folder time that held through the whole pass (no name
// came or went, by this pass or anybody) and had settled before it began,
// since a change within the file system's time grain would not move it.
void LogViewerPass::noteSettledNames() {
    cache_.namesSettledAt_.reset();
    std::error_code error;
    const auto changed = std::filesystem::last_write_time(folder_, error);
    if (!error && changedAtStart_ == changed && changed + std::chrono::seconds(2) < startedAt_)
        cache_.namesSettledAt_ = changed;
}

void LogViewerPass::forgetUnused(std::uint32_t pass) {
    auto& order = cache_.order_;
    size_t next = cache_.next_;
    size_t kept = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (order[i]->second.used == pass)
            order[kept++] = order[i];
        else if (i < cache_.next_)
            --next;
    }
    order.resize(kept);
    cache_.next_ = kept ? next % kept : 0;
    for (auto it = cache_.entries_.begin(); it != cache_.entries_.end();) {
        if (it->second.used == pass) {
            ++it;
            continue;
        }
        if (it->second.stored) cache_.dropped_.push_back(it->first);
        it = cache_.entries_.erase(it);
    }
}

// Writes the viewers written or found anew, and drops those forgotten, in one
// short transaction; a page that changed nothing writes nothing.
void LogViewerPass::keep() {
    std::vector<std::pair<const std::string, LogViewerCache::Entry>*> changed;
    for (auto& entry : cache_.entries_)
        if (!entry.second.stored) changed.push_back(&entry);
    if (changed.empty() && cache_.dropped_.empty()) return;
    const auto path = keepingDatabase(folder_);
    if (!cache_.keeping_ || !platform::fileExists(path)) {
        cache_.dropped_.clear();
        return;
    }
    try {
        store::Connection db = store::Connection::open(path);
        store::Transaction tx(db);
        if (!store::ViewerKeptTable::exists(db)) store::ViewerKeptTable::make(db);
        store::ViewerKeptTable table(db);
        for (const std::string& name : cache_.dropped_) table.remove(name);
        for (const auto* entry : changed)
            table.put({entry->first, entry->second.toBkup, entry->second.stamp});
        tx.commit();
    } catch (const std::exception&) {
        // A database that cannot keep them is not asked again by this console;
        // what it kept before is checked against the files' stamps as ever.
        cache_.keeping_ = false;
        cache_.dropped_.clear();
        return;
    }
    for (auto* entry : changed) entry->second.stored = true;
    cache_.dropped_.clear();
}

void LogViewerPass::write(const std::string& name, const std::string& toBkup) {
    const std::uint32_t pass = cache_.pass_;
    const LogViewerCache::Digest digest = destinationDigest(toBkup);
    auto it = cache_.entries_.find(name);
    if (it != cache_.entries_.end() && it->second.checked == pass && it->second.toBkup == digest) {
        it->second.used = pass;
        return;
    }
    if (it != cache_.entries_.end()) it->second.used = 0;  // unknown until written
    const platform::FileStamp stamp =
        writeIfChanged(folder_ / platform::pathFromUtf8(name), toBkup);
    if (it == cache_.entries_.end()) {
        it = cache_.entries_.try_emplace(name).first;
        cache_.order_.push_back(&*it);
    }
    auto& entry = it->second;
    const bool same = entry.stored && entry.toBkup == digest && entry.stamp == stamp;
    entry = {digest, stamp, pass, pass, same};
}

}  // namespace plenvo::pages
