#include "pages/log_viewer.h"

#include <algorithm>
#include <string_view>

#include "pages/page_text.h"
#include "pages/sha256.h"
#include "platform/text_file.h"

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

void writeLogViewer(const std::filesystem::path& file, const std::string& toBkup) {
    const std::string script =
        "On Error Resume Next\r\n"
        "Set WshShell = WScript.CreateObject(\"Wscript.Shell\")\r\n"
        "Set fs = WScript.CreateObject(\"Scripting.FileSystemObject\")\r\n"
        "Set WshEnv = WSHShell.Environment(\"PROCESS\")\r\n"
        "rcmd=\"notepad.exe \" & \"" +
        vbsStringEscaped(toBkup) +
        "\\Log.txt\"\r\n"
        "WshShell.RUN(rcmd)\r\n"
        "Wscript.Quit\r\n";
    // Rewriting thousands of unchanged scripts every minute costs the disk
    // more than reading them: a script that already says this is left alone.
    const std::string bytes = platform::encodeCp932(script);
    if (platform::readPlainFile(file, bytes.size()) == bytes) return;
    platform::TextWriter out(file, platform::TextWriter::Mode::create);
    out.write(script);
    out.commit();
}

}  // namespace plenvo::pages
