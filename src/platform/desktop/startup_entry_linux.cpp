#include <cstdio>

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

}  // namespace

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
