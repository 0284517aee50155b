#pragma once

#include <string>

namespace plenvo::app {

// Path routines on the system's Windows-style path texts. Like their originals,
// PathNmGet and ParentPathGet drop one trailing "\" from the caller's variable.

// The last component of the path (the whole text when it has no "\").
std::string PathNmGet(std::string& path);
// The server name of a UNC path (\\srv01\data\bk gives srv01); empty for any other path.
std::string SrvNmGet(const std::string& path);
// The path without its last component and without the "\" before it.
std::string ParentPathGet(std::string& path);
// The last component, ignoring one trailing "\"; never changes the argument.
std::string FilNmGet(const std::string& path);

}  // namespace plenvo::app
