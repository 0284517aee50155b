#include "platform/paths/windows_path.h"

#include "platform/core/ascii_case.h"

namespace plenvo::platform {
namespace {

// The length of a long-path prefix ("\\?\" or "\\.\"), 0 without one.
size_t longPrefixLength(std::string_view path) {
    if (path.size() < 4 || !isPathSeparator(path[0]) || !isPathSeparator(path[1]) ||
        (path[2] != '?' && path[2] != '.') || !isPathSeparator(path[3]))
        return 0;
    return 4;
}

// Where the server's name starts in a UNC path; npos for any other path.
size_t serverStart(std::string_view path) {
    if (const size_t prefix = longPrefixLength(path)) {
        const std::string_view rest = path.substr(prefix);
        const bool unc = rest.size() >= 3 && (rest[0] == 'U' || rest[0] == 'u') &&
                         (rest[1] == 'N' || rest[1] == 'n') && (rest[2] == 'C' || rest[2] == 'c') &&
                         (rest.size() == 3 || isPathSeparator(rest[3]));
        return unc ? prefix + 4 : std::string_view::npos;
    }
    if (path.size() >= 2 && isPathSeparator(path[0]) && isPathSeparator(path[1])) return 2;
    return std::string_view::npos;
}

size_t lastSeparator(std::string_view path) {
    return path.find_last_of("\\/");
}

// A component Windows would trim to nothing or treat as a step up or in place.
bool onlyDotsOrSpaces(std::string_view part) {
    return part.find_first_not_of(". ") == std::string_view::npos;
}

// The kind of a whole path ("\\" for a server, "D:" for a drive, "/" for this
// machine's own form) followed by its non-empty components; empty when the
// path is not whole or holds a component of dots or spaces alone.
std::vector<std::string_view> wholePathParts(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = serverStart(path);
    if (start != std::string_view::npos) {
        parts.push_back("\\\\");
    } else {
        const size_t prefix = longPrefixLength(path);
        if (path.size() >= prefix + 2 && path[prefix + 1] == ':' &&
            ((path[prefix] >= 'A' && path[prefix] <= 'Z') ||
             (path[prefix] >= 'a' && path[prefix] <= 'z')) &&
            (path.size() == prefix + 2 || isPathSeparator(path[prefix + 2]))) {
            parts.push_back(path.substr(prefix, 2));
            start = prefix + 2;
        } else if (prefix == 0 && path.starts_with('/') && !path.starts_with("//")) {
            parts.push_back("/");
            start = 0;
        } else {
            return {};
        }
    }
    while (start < path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (!part.empty()) {
            if (onlyDotsOrSpaces(part)) return {};
            parts.push_back(part);
        }
        start = end + 1;
    }
    // A server path names at least the server.
    if (parts.front() == "\\\\" && parts.size() < 2) return {};
    return parts;
}

}  // namespace

bool isPathSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string_view withoutTrailingSeparators(std::string_view path) {
    while (path.size() > 1 && isPathSeparator(path.back())) path.remove_suffix(1);
    return path;
}

bool isUncPath(std::string_view path) {
    return serverStart(path) != std::string_view::npos;
}

std::vector<std::string> uncComponentsOf(std::string_view path) {
    std::vector<std::string> parts;
    const size_t start = serverStart(path);
    if (start == std::string_view::npos) return parts;
    std::string part;
    for (size_t i = start; i <= path.size(); ++i) {
        if (i == path.size() || isPathSeparator(path[i])) {
            parts.push_back(std::move(part));
            part.clear();
        } else {
            part += path[i];
        }
    }
    return parts;
}

std::string serverOf(std::string_view path) {
    const size_t start = serverStart(path);
    if (start == std::string_view::npos || start > path.size()) return {};
    const std::string_view rest = path.substr(start);
    return std::string(rest.substr(0, rest.find_first_of("\\/")));
}

std::string rootOf(std::string_view path) {
    const size_t start = serverStart(path);
    if (start != std::string_view::npos && start <= path.size()) {
        const size_t end = path.find_first_of("\\/", start);
        return std::string(path.substr(0, end));
    }
    const size_t prefix = longPrefixLength(path);
    if (path.size() >= prefix + 2 && path[prefix + 1] == ':')
        return std::string(path.substr(0, prefix + 2));
    return std::string(path);
}

std::string lastComponentOf(std::string_view path) {
    path = withoutTrailingSeparators(path);
    if (path.size() == 1 && isPathSeparator(path[0])) return {};
    const size_t last = lastSeparator(path);
    return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

std::string parentOf(std::string_view path) {
    path = withoutTrailingSeparators(path);
    const size_t last = lastSeparator(path);
    if (last == std::string_view::npos || last == 0) return {};
    // "\\server" has no parent: its separators only mark it as a server.
    const size_t server = serverStart(path);
    if (server != std::string_view::npos && last < server) return {};
    return std::string(withoutTrailingSeparators(path.substr(0, last)));
}

bool isAtOrBelow(std::string_view path, std::string_view root) {
    const auto inside = wholePathParts(path);
    const auto outer = wholePathParts(root);
    if (inside.empty() || outer.empty() || outer.size() > inside.size()) return false;
    // This machine's own form names Linux folders, whose names keep their case.
    const bool caseKept = outer.front() == "/";
    for (size_t i = 0; i < outer.size(); ++i)
        if (caseKept ? inside[i] != outer[i] : !sameIgnoringAsciiCase(inside[i], outer[i]))
            return false;
    return true;
}

}  // namespace plenvo::platform
