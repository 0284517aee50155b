#pragma once

#include <filesystem>
#include <memory>

#include "web/http/http_response.h"

namespace plenvo::web {

// A file of the console's, streamed as it stands when opened: the console
// replaces its files rather than rewriting them, so the open file holds still.
// nullptr when there is no such plain file.
std::shared_ptr<const BodySource> fileBody(const std::filesystem::path& file);

}  // namespace plenvo::web
