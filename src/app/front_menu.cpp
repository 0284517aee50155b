#include "app/front_menu.h"

namespace plenvo::app {

std::string frontAddress(const std::string& served, const FrontEntry& entry) {
    std::string address = served;
    if (!address.ends_with('/')) address += '/';
    return address + (entry.page ? entry.page : "");
}

bool servedAddressUsable(const std::string& served) {
    std::string_view rest = served;
    if (rest.starts_with("http://"))
        rest.remove_prefix(7);
    else if (rest.starts_with("https://"))
        rest.remove_prefix(8);
    else
        return false;
    if (rest.empty() || rest.front() == '/') return false;
    for (const unsigned char c : served)
        if (c <= ' ' || c == 0x7F) return false;
    return true;
}

}  // namespace plenvo::app
