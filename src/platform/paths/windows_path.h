#pragma once

#include <string>
#include <string_view>
#include <vector>

// Paths in the system's Windows form: "\\server\share\folder" or "D:\folder".
// "\" and "/" separate alike, as Windows takes them, and trailing separators
// name the same folder as none. "\\?\UNC\server\share" and "\\?\D:\folder"
// are the long spellings of "\\server\share" and "D:\folder". Every answer is
// a piece of the text given, separators as they were written.
namespace plenvo::platform {

bool isPathSeparator(char c);

// The path without the separators at its end (a lone "\" stays).
std::string_view withoutTrailingSeparators(std::string_view path);

// Whether the path names a folder on a server: "\\server..." in either
// spelling, the long one included.
bool isUncPath(std::string_view path);

// The components of a UNC path after its leading pair: server, share, then the
// folders below; empty components kept. Empty for any other path.
std::vector<std::string> uncComponentsOf(std::string_view path);

// The server of a UNC path ("\\srv01\data\bk" and "\\srv01/data" give
// "srv01"); empty for any other path.
std::string serverOf(std::string_view path);

// Where a folder picker starts for the path: "\\server" of a UNC path, the
// drive ("D:") of a drive path, the text itself otherwise.
std::string rootOf(std::string_view path);

// The last component ("PC01" of "\\srv\share\PC01\"); the whole text when it
// has no separator.
std::string lastComponentOf(std::string_view path);

// The path without its last component and the separators before it
// ("\\srv\share" of "\\srv\share\PC01\"); empty when it has no separator.
std::string parentOf(std::string_view path);

// Whether `path` names the folder `root` or one below it, as Windows would
// find them: "\" and "/" alike, letters compared without ASCII case (with it
// in this machine's own form), repeated and trailing separators and the long
// spellings ignored. Both must be whole paths: "\\server\share...", "D:\..."
// or, for this machine's own folders, "/...". A path or root with a component
// of dots or spaces alone ("..", ". ") is never at or below anything, whatever
// Windows would make of it.
bool isAtOrBelow(std::string_view path, std::string_view root);

}  // namespace plenvo::platform
