#include "platform/detached_command.h"
#include "platform/open_document.h"

namespace plenvo::platform {

void openDocument(const std::filesystem::path& document) {
    runDetached({"xdg-open", document.string()});
}

}  // namespace plenvo::platform
