#pragma once

#include "ui/dialogs.h"

namespace plenvo::app {

// Message boxes with Japanese buttons and the folder picker, on Qt Widgets.
class QtDialogs final : public ui::Dialogs {
  public:
    ui::MessageAnswer messageBox(const std::string& text, const std::string& caption,
                                 ui::MessageButtons buttons) override;
    std::optional<std::string> browseForFolder(const std::string& title,
                                               const std::string& root) override;
};

}  // namespace plenvo::app
