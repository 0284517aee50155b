#include "pages/log_viewer.h"

#include <algorithm>
#include <string_view>

#include "pages/page_text.h"
#include "pages/sha256.h"
#include "platform/text/text_file.h"
#include "platform/text/utf8_path.h"

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

LogViewerPass::LogViewerPass(const std::filesystem::path& folder, LogViewerCache& cache)
    : folder_(folder), cache_(cache) {
    if (cache_.folder_ != folder) {
        cache_.entries_.clear();
        cache_.folder_ = folder;
    }
    const std::uint32_t pass = ++cache_.pass_;
    if (cache_.entries_.empty()) return;
    auto& entries = cache_.entries_;
    auto wanted = entries.end();
    platform::listStamps(
        folder,
        [&](std::string_view name) { return (wanted = entries.find(name)) != entries.end(); },
        [&](std::string_view, const platform::FileStamp& stamp) {
            if (wanted->second.stamp == stamp) wanted->second.checked = pass;
        });
}

LogViewerPass::~LogViewerPass() {
    std::erase_if(cache_.entries_,
                  [pass = cache_.pass_](const auto& entry) { return entry.second.used != pass; });
}

void LogViewerPass::write(const std::string& name, const std::string& toBkup) {
    const std::uint32_t pass = cache_.pass_;
    LogViewerCache::Digest digest;
    const auto full = sha256(toBkup);
    std::copy_n(full.begin(), digest.size(), digest.begin());
    auto it = cache_.entries_.find(name);
    if (it != cache_.entries_.end() && it->second.checked == pass && it->second.toBkup == digest) {
        it->second.used = pass;
        return;
    }
    if (it != cache_.entries_.end()) it->second.used = 0;  // unknown until written
    const platform::FileStamp stamp =
        writeIfChanged(folder_ / platform::pathFromUtf8(name), toBkup);
    if (it == cache_.entries_.end()) it = cache_.entries_.try_emplace(name).first;
    it->second = {digest, stamp, pass, pass};
}

}  // namespace plenvo::pages
