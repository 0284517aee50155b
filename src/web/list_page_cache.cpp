#include "web/list_page_cache.h"

#include <map>
#include <optional>
#include <string>
#include <system_error>

#include "pages/backup_list_page.h"
#include "pages/log_viewer.h"
#include "platform/files/plain_file.h"
#include "platform/files/scratch_file.h"
#include "web/file_body.h"
#include "web/link_rewrite.h"

namespace plenvo::web {
namespace {

constexpr std::size_t kPiece = 1024 * 1024;
// How far the view's copy may lag behind the page it goes with.
constexpr auto kCopyBehindPage = std::chrono::seconds(90);
// A line longer than this is rewritten in pieces; the page's rows are far shorter.
constexpr std::size_t kLongestLine = 16 * 1024 * 1024;

class ScratchBody final : public BodySource {
  public:
    explicit ScratchBody(std::unique_ptr<platform::ScratchFile> file) : file_(std::move(file)) {}
    std::uint64_t size() const override { return file_->size(); }
    std::size_t readAt(std::uint64_t offset, char* into, std::size_t length) const override {
        return file_->readAt(offset, into, length);
    }

  private:
    std::unique_ptr<platform::ScratchFile> file_;
};

}  // namespace

ListPageCache::ListPageCache(platform::BaseFolder base, const AgentRows& rows)
    : base_(std::move(base)), rows_(rows) {}

std::shared_ptr<const BodySource> ListPageCache::current() const {
    const auto page = base_.at("\\HTM\\Index.htm");
    std::error_code error;
    const Stamp stamp{std::filesystem::file_size(page, error),
                      std::filesystem::last_write_time(page, error)};
    if (error) return nullptr;
    // The console wrote the view's own copy with the page: streamed as it is.
    // It follows the page by a moment; until then the last pass's copy is
    // the best there is, and it is one pass older at most.
    const auto copy = base_.at(pages::kWebListPage);
    std::error_code copyError;
    const auto copyWritten = std::filesystem::last_write_time(copy, copyError);
    if (!copyError && copyWritten + kCopyBehindPage >= stamp.written) {
        if (auto body = fileBody(copy)) {
            const std::lock_guard lock(mutex_);
            page_.reset();
            return body;
        }
    }
    std::lock_guard lock(mutex_);
    if (!page_ || !(stamp == stamp_)) {
        page_ = made(page);
        stamp_ = stamp;
    }
    return page_;
}

std::shared_ptr<const BodySource> ListPageCache::made(const std::filesystem::path& page) const {
    const platform::PlainFileReader reader(page);
    // Each row's links by the name of its log viewer, as the page was written.
    std::map<std::string, AgentName, std::less<>> byViewer;
    rows_.each([&](const AgentRow& row) {
        byViewer.try_emplace(pages::logViewerFileName(row.comNm, row.userId),
                             AgentName{row.comNm, row.userId});
    });
    const auto agentOf = [&](std::string_view viewer) {
        const auto found = byViewer.find(viewer);
        return found == byViewer.end() ? std::nullopt : std::optional<AgentName>(found->second);
    };

    auto scratch = std::make_unique<platform::ScratchFile>(base_.root());
    // Whole lines at a time: a row's two links are on one line.
    std::string pending;
    std::uint64_t offset = 0;
    for (;;) {
        const std::size_t had = pending.size();
        pending.resize(had + kPiece);
        const std::size_t got = reader.readAt(offset, pending.data() + had, kPiece);
        pending.resize(had + got);
        offset += got;
        const auto lineEnd = pending.rfind('\n');
        const std::size_t whole = got == 0 || pending.size() > kLongestLine ? pending.size()
                                  : lineEnd == std::string::npos            ? 0
                                                                            : lineEnd + 1;
        if (whole > 0) {
            scratch->append(
                rewrittenBackupList(std::string_view(pending).substr(0, whole), agentOf));
            pending.erase(0, whole);
        }
        if (got == 0) break;
    }
    return std::make_shared<ScratchBody>(std::move(scratch));
}

}  // namespace plenvo::web
