#include "support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/text_file.h"

namespace plenvo::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "plenvo-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
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

void writeCp932Lines(const std::filesystem::path& file, const std::vector<std::string>& lines) {
    std::string bytes;
    for (const auto& line : lines) bytes += platform::encodeCp932(line) + "\r\n";
    writeBytes(file, bytes);
}

}  // namespace plenvo::test
