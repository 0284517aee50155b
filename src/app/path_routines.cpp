#include "app/path_routines.h"

namespace plenvo::app {
namespace {

void dropTrailingBackslash(std::string& path) {
    if (!path.empty() && path.back() == '\\') path.pop_back();
}

}  // namespace

std::string PathNmGet(std::string& path) {
    dropTrailingBackslash(path);
    const size_t last = path.rfind('\\');
    return last == std::string::npos ? path : path.substr(last + 1);
}

std::string SrvNmGet(const std::string& path) {
    if (path.size() < 2 || path[0] != '\\' || path[1] != '\\') return {};
    const size_t next = path.find('\\', 2);
    // A UNC path with nothing after the server name still names the server.
    return path.substr(2, next == std::string::npos ? std::string::npos : next - 2);
}

std::string ParentPathGet(std::string& path) {
    if (path.empty()) return {};
    dropTrailingBackslash(path);
    // Only the one "\" goes from the caller's path: a second one ends an empty component.
    const size_t last = path.rfind('\\');
    std::string parent = last == std::string::npos ? std::string() : path.substr(0, last + 1);
    dropTrailingBackslash(parent);
    return parent;
}

std::string FilNmGet(const std::string& path) {
    std::string copy = path;
    return PathNmGet(copy);
}

}  // namespace plenvo::app
