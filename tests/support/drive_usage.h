#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>

namespace plenvo::test {

// The codes a check pass gave, less the drive-full code "07" where the disk
// that holds `folder` (the machine's own, not one the test made) is over the
// survey's line of 85 % in use or within a percent of it: then the machine set
// that code, not the case under test. On a disk well below the line the codes
// stand as given, so a wrong "07" still shows.
inline std::string codesLessAFullMachineDisk(const std::string& codes,
                                             const std::filesystem::path& folder) {
    std::error_code ec;
    const auto space = std::filesystem::space(folder, ec);
    if (ec || space.capacity == 0) return codes;
    const double used =
        100.0 * static_cast<double>(space.capacity - space.available) / space.capacity;
    if (used < 85.0) return codes;
    std::string kept;
    for (size_t start = 0; start <= codes.size();) {
        const size_t comma = std::min(codes.find(',', start), codes.size());
        const std::string code = codes.substr(start, comma - start);
        if (!code.empty() && code != "07") kept += (kept.empty() ? "" : ",") + code;
        start = comma + 1;
    }
    return kept;
}

}  // namespace plenvo::test
