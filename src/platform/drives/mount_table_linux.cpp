#include "platform/drives/mount_table_linux.h"

#include <fstream>
#include <sstream>

#include "platform/text/utf8_path.h"

namespace plenvo::platform {
namespace {

// The table writes blanks, tabs and backslashes in names as octal escapes ("\040").
std::string unescaped(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string::npos) {
                out += static_cast<char>(std::stoi(digits, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

bool holds(const std::filesystem::path& mountPoint, const std::filesystem::path& path) {
    auto m = mountPoint.begin();
    auto p = path.begin();
    for (; m != mountPoint.end(); ++m, ++p) {
        if (m->empty()) continue;  // a trailing separator
        if (p == path.end() || *m != *p) return false;
    }
    return true;
}

}  // namespace

std::vector<MountEntry> readMountTable() {
    auto mounts = readMountTableFrom("/proc/self/mounts");
    return mounts.empty() ? readMountTableFrom("/proc/mounts") : mounts;
}

std::vector<MountEntry> readMountTableFrom(const std::filesystem::path& path) {
    std::vector<MountEntry> mounts;
    std::ifstream table(path);
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string source, point, type;
        if (!(fields >> source >> point >> type)) continue;
        mounts.push_back({unescaped(source), pathFromUtf8(unescaped(point)), type});
    }
    return mounts;
}

const MountEntry* mountHolding(const std::vector<MountEntry>& mounts,
                               const std::filesystem::path& path) {
    const MountEntry* best = nullptr;
    size_t bestLength = 0;
    for (const auto& m : mounts) {
        const size_t length = m.mountPoint.native().size();
        if (holds(m.mountPoint, path) && (!best || length >= bestLength)) {
            best = &m;
            bestLength = length;
        }
    }
    return best;
}

}  // namespace plenvo::platform
