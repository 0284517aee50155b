#pragma once

#include <optional>
#include <string>

namespace plenvo::ui {

enum class MessageButtons { ok, yesNo };
enum class MessageAnswer { ok, yes, no };

// Message boxes and the folder picker, which tests answer in advance.
// A box without a caption of its own is titled "PlenvoBackupMng".
class Dialogs {
  public:
    virtual ~Dialogs() = default;
    virtual MessageAnswer messageBox(const std::string& text, const std::string& caption,
                                     MessageButtons buttons) = 0;
    // The chosen folder's path, or nullopt when the user cancels.
    virtual std::optional<std::string> browseForFolder(const std::string& title,
                                                       const std::string& root) = 0;
};

inline constexpr const char* kApplicationTitle = "PlenvoBackupMng";

}  // namespace plenvo::ui
