#include "removable/list_line.h"

#include <algorithm>

#include "store/date_time.h"

namespace plenvo::removable {
namespace {

size_t utf8Length(unsigned char lead) {
    if (lead < 0xC0) return 1;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    return 4;
}

}  // namespace

std::optional<std::string> shownDate(const std::optional<std::string>& stored) {
    if (!stored) return std::nullopt;
    return store::generalTextOfStored(*stored);
}

std::string fixedCell(const std::optional<std::string>& value, size_t width) {
    std::string cell;
    size_t characters = 0;
    const std::string_view text = value ? std::string_view(*value) : std::string_view();
    for (size_t i = 0; i < text.size() && characters < width; ++characters) {
        const size_t n = std::min(utf8Length(static_cast<unsigned char>(text[i])), text.size() - i);
        const char c = text[i];
        if (c == '|')
            cell += "\xC2\xA6";
        else if (c == '\r' || c == '\n' || c == '\t')
            cell += ' ';
        else
            cell.append(text.substr(i, n));
        i += n;
    }
    cell.append(width - characters, ' ');
    return cell;
}

}  // namespace plenvo::removable
