#include "platform/network/smb/samba_listing_linux.h"

namespace plenvo::platform {
namespace {

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// Calls `onLine` for every line of the text.
template <typename OnLine>
void forEachLine(std::string_view text, OnLine onLine) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        onLine(text.substr(start, end - start));
        start = end + 1;
    }
}

bool isYes(std::string_view value) {
    const std::string v = lowerCase(std::string(value));
    return v == "yes" || v == "true" || v == "1";
}

}  // namespace

std::vector<ShareEntry> parseShareSections(std::string_view text) {
    std::vector<ShareEntry> shares;
    ShareEntry share;
    bool open = false;  // inside a section worth listing
    auto finish = [&] {
        if (open && !share.path.empty()) shares.push_back(share);
        open = false;
    };
    forEachLine(text, [&](std::string_view raw) {
        const std::string_view line = trimmed(raw);
        if (line.empty() || line.front() == '#' || line.front() == ';') return;
        if (line.front() == '[' && line.back() == ']') {
            finish();
            share = {std::string(line.substr(1, line.size() - 2)), {}};
            open = lowerCase(share.name) != "global";
            return;
        }
        const size_t equals = line.find('=');
        if (!open || equals == std::string_view::npos) return;
        const std::string key = lowerCase(std::string(trimmed(line.substr(0, equals))));
        const std::string_view value = trimmed(line.substr(equals + 1));
        if (key == "path")
            share.path = std::string(value);
        else if ((key == "printable" || key == "print ok") && isYes(value))
            open = false;
        else if (key == "available" && !isYes(value))
            open = false;
    });
    finish();
    return shares;
}

std::vector<ShareEntry> parseRpcShareListing(std::string_view text) {
    std::vector<ShareEntry> shares;
    forEachLine(text, [&](std::string_view raw) {
        const std::string_view line = trimmed(raw);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) return;
        const std::string_view key = line.substr(0, colon);
        const std::string_view value = trimmed(line.substr(colon + 1));
        if (key == "netname")
            shares.push_back({std::string(value), {}});
        else if (key == "path" && !shares.empty())
            shares.back().path = std::string(value);
    });
    return shares;
}

}  // namespace plenvo::platform
