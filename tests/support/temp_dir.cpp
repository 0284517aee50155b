#include "support/temp_dir.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/files/private_file.h"
#include "platform/text/text_file.h"

namespace plenvo::test {

// mkdtemp() is not to be had everywhere: a random name, and another one
// while the name is taken.
TempDir::TempDir() {
    std::mt19937_64 random(
        std::random_device{}() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "plenvo-test-%012llx",
                      static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
        const auto path = std::filesystem::temp_directory_path() / name;
        if (std::filesystem::create_directory(path)) {
            std::filesystem::permissions(path, std::filesystem::perms::owner_all);
            path_ = path;
            return;
        }
    }
    throw std::runtime_error("no temporary folder could be made");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

void writePrivateBytes(const std::filesystem::path& file, const std::string& bytes) {
    writeBytes(file, bytes);
    platform::keepToOwner(file);
}

void writeCp932Lines(const std::filesystem::path& file, const std::vector<std::string>& lines) {
    std::string bytes;
    for (const auto& line : lines) bytes += platform::encodeCp932(line) + "\r\n";
    writeBytes(file, bytes);
}

std::time_t modifiedAt(const std::filesystem::path& file) {
    const auto time = std::chrono::file_clock::to_sys(std::filesystem::last_write_time(file));
    return static_cast<std::time_t>(
        std::chrono::floor<std::chrono::seconds>(time).time_since_epoch().count());
}

void setModified(const std::filesystem::path& file, std::time_t when) {
    std::filesystem::last_write_time(
        file, std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(when)));
}

void setModified(const std::filesystem::path& file, const platform::LocalTime& when) {
    std::tm tm{};
    tm.tm_year = when.year - 1900;
    tm.tm_mon = when.month - 1;
    tm.tm_mday = when.day;
    tm.tm_hour = when.hour;
    tm.tm_min = when.minute;
    tm.tm_sec = when.second;
    tm.tm_isdst = -1;
    setModified(file, std::mktime(&tm));
}

}  // namespace plenvo::test
