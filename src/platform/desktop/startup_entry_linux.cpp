#include <cstdio>
#include <fstream>
#include <string_view>

#include "platform/desktop/startup_entry.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform {
namespace {

// Desktop entry values: "\s" style escapes are not needed for our texts, but a
// path with blanks or quotes must be quoted in Exec.
std::string quotedExec(const std::string& path) {
    std::string out = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// The inverse of quotedExec for the one program of an Exec line.
std::optional<std::string> unquotedExec(std::string_view exec) {
    if (!exec.starts_with('"')) {
        const auto blank = exec.find(' ');
        return std::string(exec.substr(0, blank));
    }
    std::string out;
    for (std::size_t i = 1; i < exec.size(); ++i) {
        if (exec[i] == '"') return out;
        if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
        out += exec[i];
    }
    return std::nullopt;  // no closing quote
}

}  // namespace

std::optional<std::filesystem::path> startupEntryTarget(const std::filesystem::path& entry) {
    // Entries are a few lines; more is not one of ours.
    constexpr std::size_t kEntryLimit = 64 * 1024;
    std::ifstream in(entry, std::ios::binary);
    std::string line;
    std::size_t read = 0;
    while (in && read < kEntryLimit && std::getline(in, line)) {
        read += line.size() + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.starts_with("Exec=")) continue;
        const auto program = unquotedExec(std::string_view(line).substr(5));
        if (!program || program->empty()) return std::nullopt;
        return pathFromUtf8(*program);
    }
    return std::nullopt;
}

std::string startupEntryFileName(const std::string& name) {
    return name + ".desktop";
}

void createStartupEntry(const std::filesystem::path& folder, const std::string& name,
                        const std::filesystem::path& target,
                        const std::filesystem::path& workingFolder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::FILE* f = std::fopen((folder / pathFromUtf8(startupEntryFileName(name))).c_str(), "wb");
    if (!f) return;
    const std::string text =
        "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + quotedExec(utf8Of(target)) +
        "\nPath=" + utf8Of(workingFolder) + "\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

}  // namespace plenvo::platform
