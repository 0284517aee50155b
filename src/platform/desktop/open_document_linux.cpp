#include "platform/desktop/open_document.h"
#include "platform/process/detached_command.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform {

void openDocument(const std::filesystem::path& document) {
    runDetached({"xdg-open", utf8Of(document)});
}

void openWebAddress(const std::string& address) {
    runDetached({"xdg-open", address});
}

}  // namespace plenvo::platform
