#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/text/text_file.h"
#include "store/pass_memory.h"

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

// What the console wrote into the log viewer folder, kept from pass to pass
// and, for a console that starts again, in the Mng.mdb of the base folder
// that holds \HTM\VBS (ViewerKept): a viewer that would say the same and whose file nobody
// touched since is neither read nor written again. For one pass at a time.
class LogViewerCache {
  public:
    // Each pass asks `stampsEachPass` viewers in turn whether somebody changed
    // them, so every viewer is asked within size() / stampsEachPass passes.
    explicit LogViewerCache(size_t stampsEachPass = 1000) : stampsEachPass_(stampsEachPass) {}
    size_t size() const { return entries_.size(); }

  private:
    friend class LogViewerPass;
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    // 128 bits of SHA-256 of the destination, the only part of the script
    // that varies: smaller than the text, and no agent can make two alike.
    using Digest = store::Digest128;
    struct Entry {
        Digest toBkup;
        platform::FileStamp stamp;
        std::uint32_t checked = 0;  // pass in which the file was found as written
        std::uint32_t used = 0;     // pass in which a row asked for it
        bool stored = false;        // ViewerKept holds it as it stands
    };
    std::filesystem::path folder_;
    std::unordered_map<std::string, Entry, Hash, std::equal_to<>> entries_;
    // The entries in the order their stamps are asked, from next_ on (an
    // entry stays where it is while the map grows).
    std::vector<std::pair<const std::string, Entry>*> order_;
    size_t next_ = 0;
    // Viewers no row asks for any more that ViewerKept may still hold.
    std::vector<std::string> dropped_;
    std::uint32_t pass_ = 0;
    size_t stampsEachPass_;
    bool loaded_ = false;  // ViewerKept was read for this folder
    bool keeping_ = true;  // false once Mng.mdb refused to keep them
    // The folder's time of change when the last pass's names were all there
    // and that time had settled: while it stays, no name came or went.
    std::optional<std::filesystem::file_time_type> namesSettledAt_;
};

// The log viewers of one page. The folder's names are listed once, so that a
// viewer deleted by someone else is written again at once; one changed by
// someone else is found by its stamp within the passes the cache says (at
// once on a console's first page); what no row asked for is forgotten at the
// end, and what changed is kept in Mng.mdb.
class LogViewerPass {
  public:
    LogViewerPass(const std::filesystem::path& folder, LogViewerCache& cache);
    ~LogViewerPass();
    LogViewerPass(const LogViewerPass&) = delete;
    LogViewerPass& operator=(const LogViewerPass&) = delete;

    // As writeLogViewer() for the viewer of that name in the folder.
    void write(const std::string& name, const std::string& toBkup);

  private:
    using FolderTime = std::filesystem::file_time_type;
    bool load();
    void lookAtNames(std::uint32_t pass);
    void listNames(std::uint32_t pass);
    void askStampsInTurn(std::uint32_t pass);
    void noteSettledNames();
    void forgetUnused(std::uint32_t pass);
    void keep();

    std::filesystem::path folder_;
    LogViewerCache& cache_;
    const FolderTime startedAt_ = FolderTime::clock::now();
    std::optional<FolderTime> changedAtStart_;
};

}  // namespace plenvo::pages
