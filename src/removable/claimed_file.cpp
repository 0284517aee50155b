#include "removable/claimed_file.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "platform/file_system.h"
#include "platform/text_file.h"

namespace plenvo::removable {

std::optional<ClaimedFile> ClaimedFile::claim(const std::filesystem::path& source,
                                              const std::filesystem::path& claimed) {
    std::error_code ec;
    // The claimed name is the console's own: a folder or anything else found
    // there would make every later claim fail.
    const auto left = std::filesystem::symlink_status(claimed, ec).type();
    if (left != std::filesystem::file_type::not_found &&
        left != std::filesystem::file_type::regular)
        std::filesystem::remove_all(claimed, ec);
    if (!platform::fileExists(claimed)) {
        if (!platform::fileExists(source)) return std::nullopt;
        if (!platform::renameFile(source, claimed))
            throw std::system_error(errno, std::generic_category(), "rename " + source.string());
    }
    // A pipe, a device or a link under the exchange name is no agent's file: reading
    // it would block the console or never end, and left there it would block the
    // next file too.
    if (std::filesystem::symlink_status(claimed, ec).type() !=
        std::filesystem::file_type::regular) {
        platform::deleteFile(claimed);
        throw std::runtime_error("not a plain file, removed: " + source.string());
    }
    return ClaimedFile(claimed);
}

std::vector<std::string> ClaimedFile::readNewLines() {
    return read(false);
}

std::vector<std::string> ClaimedFile::readRest() {
    return read(true);
}

std::vector<std::string> ClaimedFile::read(bool withUnendedLine) {
    std::ifstream in(path_, std::ios::binary);
    if (!in) throw std::system_error(errno, std::generic_category(), "open " + path_.string());
    in.seekg(static_cast<std::streamoff>(consumed_));
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};

    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            if (!withUnendedLine) break;
            end = bytes.size();
        }
        std::string_view raw(bytes.data() + start, end - start);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        lines.push_back(platform::decodeCp932(raw));
        start = end + 1;
    }
    consumed_ += std::min(start, bytes.size());
    return lines;
}

void ClaimedFile::remove() {
    if (!platform::deleteFile(path_)) throw std::runtime_error("cannot delete " + path_.string());
}

}  // namespace plenvo::removable
