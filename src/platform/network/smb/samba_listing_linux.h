#pragma once

#include <string_view>
#include <vector>

#include "platform/network/share_list.h"

namespace plenvo::platform {

// Readers of Samba's share listings.

// "[name]" sections with "path = ..." lines, as "net usershare info --long"
// and "testparm -s" print them. [global], sections without a path and
// printer shares are left out.
std::vector<ShareEntry> parseShareSections(std::string_view text);

// "netname:" entries with their "path:" lines, as rpcclient's
// "netshareenumall 502" prints them.
std::vector<ShareEntry> parseRpcShareListing(std::string_view text);

}  // namespace plenvo::platform
