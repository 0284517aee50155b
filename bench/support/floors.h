// What any import of a folder of result files must at least do, timed in the
// same run as the import so that both meet the same machine: list the folder
// and stat every file (the stat floor), or list it and read every file whole,
// as cat would (the read-all floor).
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace plenvo::bench {

struct FloorPass {
    double seconds = 0;
    std::uint64_t files = 0, bytes = 0;
};

inline FloorPass statFloor(const std::filesystem::path& folder) {
    const auto start = std::chrono::steady_clock::now();
    FloorPass pass;
    for (auto entry : std::filesystem::directory_iterator(folder)) {
        entry.refresh();  // one stat: the listing alone carries no size or time
        if (!entry.is_regular_file()) continue;
        ++pass.files;
        pass.bytes += entry.file_size();
    }
    pass.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return pass;
}

inline FloorPass readAllFloor(const std::filesystem::path& folder) {
    const auto start = std::chrono::steady_clock::now();
    FloorPass pass;
    std::vector<char> buffer(128 * 1024);
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::FILE* f = std::fopen(entry.path().string().c_str(), "rb");
        if (!f) continue;
        std::setvbuf(f, nullptr, _IONBF, 0);
        for (size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0;) pass.bytes += n;
        std::fclose(f);
        ++pass.files;
    }
    pass.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return pass;
}

inline double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

}  // namespace plenvo::bench
