#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>

#include "platform/files/base_folder.h"
#include "web/agent_rows.h"
#include "web/http/http_response.h"

namespace plenvo::web {

// The backup list page with its links led to the web view. A console that
// serves the view writes that copy beside the page in the same pass, and it
// is streamed from there; otherwise (the page written by a console without
// the view) it is made once for each page and kept in a scratch file that
// every request streams: a page of 100,000 rows is neither rebuilt nor held
// in memory per request.
class ListPageCache {
  public:
    ListPageCache(platform::BaseFolder base, const AgentRows& rows);

    // The page as the console wrote it last; nullptr when there is none yet.
    // Throws when the page or the database cannot be read.
    std::shared_ptr<const BodySource> current() const;

  private:
    struct Stamp {
        std::uint64_t size = 0;
        std::filesystem::file_time_type written{};
        bool operator==(const Stamp&) const = default;
    };
    std::shared_ptr<const BodySource> made(const std::filesystem::path& page) const;

    const platform::BaseFolder base_;
    const AgentRows& rows_;
    mutable std::mutex mutex_;  // one request makes it; the others wait for it
    mutable Stamp stamp_{};
    mutable std::shared_ptr<const BodySource> page_;
};

}  // namespace plenvo::web
