#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/text/text_file.h"

namespace plenvo::pages {

// The log viewer's file name for a host and user: "<ComNM>_<UserID>_Log.vbs"
// where that names the pair alone: both of letters, digits, ".", "-" and "_",
// no "_" in the host, no leading ".", within 255 bytes. Any other pair gets
// "<hint>~<digest>_Log.vbs": the hint is the names cut short with unsafe
// characters replaced, the digest 128 bits of SHA-256 of the exact pair, so
// distinct pairs never share a file.
std::string logViewerFileName(const std::string& comNm, const std::string& userId);

// Writes the script that opens the agent's Log.txt in the destination with Notepad.
void writeLogViewer(const std::filesystem::path& file, const std::string& toBkup);

// What this process wrote into the log viewer folder, kept from pass to pass:
// a viewer that would say the same and whose file nobody touched since is
// neither read nor written again. For one pass at a time.
class LogViewerCache {
  public:
    size_t size() const { return entries_.size(); }

  private:
    friend class LogViewerPass;
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    // 128 bits of SHA-256 of the destination, the only part of the script
    // that varies: smaller than the text, and no agent can make two alike.
    using Digest = std::array<std::uint8_t, 16>;
    struct Entry {
        Digest toBkup;
        platform::FileStamp stamp;
        std::uint32_t checked = 0;  // pass in which the file was found as written
        std::uint32_t used = 0;     // pass in which a row asked for it
    };
    std::filesystem::path folder_;
    std::unordered_map<std::string, Entry, Hash, std::equal_to<>> entries_;
    std::uint32_t pass_ = 0;
};

// The log viewers of one page. The folder is looked through once, so that a
// viewer deleted or changed by someone else is still written again; what no
// row asked for is forgotten at the end.
class LogViewerPass {
  public:
    LogViewerPass(const std::filesystem::path& folder, LogViewerCache& cache);
    ~LogViewerPass();
    LogViewerPass(const LogViewerPass&) = delete;
    LogViewerPass& operator=(const LogViewerPass&) = delete;

    // As writeLogViewer() for the viewer of that name in the folder.
    void write(const std::string& name, const std::string& toBkup);

  private:
    std::filesystem::path folder_;
    LogViewerCache& cache_;
};

}  // namespace plenvo::pages
