#include "platform/desktop/open_document.h"
#include "platform/process/detached_command.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform {

void openDocument(const std::filesystem::path& document) {
    runDetached({"xdg-open", utf8Of(document)});
}

}  // namespace plenvo::platform
