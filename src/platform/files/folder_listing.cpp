#include "platform/files/folder_listing.h"

#include <algorithm>

#include "platform/files/file_system.h"
#include "platform/files/plain_file.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform {

std::optional<std::vector<FolderEntry>> listFolderEntries(const std::filesystem::path& folder) {
    try {
        std::error_code ec;
        std::filesystem::directory_iterator it(folder, ec), end;
        if (ec) return std::nullopt;
        std::vector<FolderEntry> entries;
        for (; it != end && entries.size() < kFolderEntryLimit; it.increment(ec)) {
            if (ec) break;
            FolderEntry entry;
            entry.name = utf8Of(it->path().filename());
            std::error_code statusError;
            const auto status = it->symlink_status(statusError);
            entry.folder = !statusError && std::filesystem::is_directory(status);
            if (!statusError && std::filesystem::is_regular_file(status)) {
                std::error_code sizeError;
                const auto size = it->file_size(sizeError);
                if (!sizeError) entry.size = size;
            }
            entry.modified = lastModified(it->path());
            entries.push_back(std::move(entry));
        }
        std::sort(entries.begin(), entries.end(),
                  [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
        return entries;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<FileTail> readFileTail(const std::filesystem::path& file, std::uint64_t limit) {
    try {
        const PlainFileReader reader(file);
        FileTail tail;
        tail.size = reader.size();
        const std::uint64_t start = tail.size > limit ? tail.size - limit : 0;
        tail.bytes.resize(static_cast<std::size_t>(tail.size - start));
        std::size_t done = 0;
        while (done < tail.bytes.size()) {
            const std::size_t n =
                reader.readAt(start + done, tail.bytes.data() + done, tail.bytes.size() - done);
            if (n == 0) break;  // cut short meanwhile
            done += n;
        }
        tail.bytes.resize(done);
        return tail;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace plenvo::platform
