#pragma once

#include "ui/dialogs.h"

namespace plenvo::app {

// Message boxes and the shell's folder picker, owned by the console's active
// window; a box without a caption of its own is titled "PlenvoBackupMng".
class Win32Dialogs final : public ui::Dialogs {
  public:
    ui::MessageAnswer messageBox(const std::string& text, const std::string& caption,
                                 ui::MessageButtons buttons) override;
    // Rooted at `root` where the shell knows it (else at the desktop); the root
    // itself comes back under the name it was asked by, so callers can tell.
    std::optional<std::string> browseForFolder(const std::string& title,
                                               const std::string& root) override;
};

}  // namespace plenvo::app
