#include "pages/log_viewer.h"

#include <cstdio>

#include "pages/page_text.h"
#include "platform/text_file.h"

namespace plenvo::pages {
namespace {

bool safeChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}

// Appends the name with unsafe characters replaced; true when one was.
bool appendSafe(std::string& out, const std::string& name) {
    bool changed = false;
    for (char c : name) {
        const bool ok = safeChar(c);
        out += ok ? c : '_';
        changed |= !ok;
    }
    return changed;
}

std::string shortHash(const std::string& text) {
    std::uint32_t h = 2166136261u;  // FNV-1a
    for (unsigned char c : text) h = (h ^ c) * 16777619u;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%08x", h);
    return buffer;
}

}  // namespace

std::string logViewerFileName(const std::string& comNm, const std::string& userId) {
    std::string stem;
    bool changed = appendSafe(stem, comNm);
    stem += '_';
    changed |= appendSafe(stem, userId);
    if (!stem.empty() && stem.front() == '.') {
        stem.front() = '_';
        changed = true;
    }
    if (changed) stem += "~" + shortHash(comNm + '\0' + userId);
    return stem + "_Log.vbs";
}

void writeLogViewer(const std::filesystem::path& file, const std::string& toBkup) {
    const std::string script =
        "On Error Resume Next\r\n"
        "Set WshShell = WScript.CreateObject(\"Wscript.Shell\")\r\n"
        "Set fs = WScript.CreateObject(\"Scripting.FileSystemObject\")\r\n"
        "Set WshEnv = WSHShell.Environment(\"PROCESS\")\r\n"
        "rcmd=\"notepad.exe \" & \"" +
        vbsStringEscaped(toBkup) +
        "\\Log.txt\"\r\n"
        "WshShell.RUN(rcmd)\r\n"
        "Wscript.Quit\r\n";
    // Rewriting thousands of unchanged scripts every minute costs the disk
    // more than reading them: a script that already says this is left alone.
    const std::string bytes = platform::encodeCp932(script);
    if (platform::readPlainFile(file, bytes.size()) == bytes) return;
    platform::TextWriter out(file, platform::TextWriter::Mode::create);
    out.write(script);
    out.commit();
}

}  // namespace plenvo::pages
