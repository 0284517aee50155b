#include "platform/files/base_folder.h"

#include <algorithm>
#include <optional>
#include <system_error>

#include "platform/text/utf8_path.h"

namespace plenvo::platform {
namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), lower);
    return text;
}

}  // namespace

BaseFolder::BaseFolder(std::filesystem::path root) : root_(std::move(root)) {}

// From the listing alone: where the file system ignores letter case (Windows)
// any spelling "exists", and only the listing tells the one on disk.
std::string existingSpelling(const std::filesystem::path& folder, const std::string& name) {
    std::error_code ec;
    std::optional<std::string> other;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::string entry = utf8Of(it->path().filename());
        if (entry == name) return name;
        if (!other && sameIgnoringCase(entry, name)) other = std::move(entry);
    }
    return other.value_or(name);
}

std::string FolderSpellings::of(const std::filesystem::path& folder, const std::string& name) {
    const std::lock_guard lock(mutex_);
    auto [listing, fresh] = listings_.try_emplace(utf8Of(folder));
    if (fresh) {
        std::error_code ec;
        for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
             it.increment(ec)) {
            std::string entry = utf8Of(it->path().filename());
            listing->second.byLowerCase.try_emplace(lowered(entry), entry);  // the first listed
            listing->second.names.insert(std::move(entry));
        }
    }
    if (listing->second.names.count(name)) return name;
    const auto found = listing->second.byLowerCase.find(lowered(name));
    return found == listing->second.byLowerCase.end() ? name : found->second;
}

std::filesystem::path BaseFolder::at(std::string_view windowsTail) const {
    std::filesystem::path result = root_;
    size_t start = 0;
    while (start <= windowsTail.size()) {
        size_t end = windowsTail.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = windowsTail.size();
        const std::string part(windowsTail.substr(start, end - start));
        if (!part.empty()) result /= pathFromUtf8(existingSpelling(result, part));
        start = end + 1;
    }
    return result;
}

}  // namespace plenvo::platform
