#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "ui/dialogs.h"

namespace plenvo::test {

// Message boxes and folder pickers answered in advance, and what was shown.
class FakeDialogs final : public ui::Dialogs {
  public:
    struct Message {
        std::string text;
        std::string caption;
        ui::MessageButtons buttons;
    };
    struct Picker {
        std::string title;
        std::string root;
    };

    // Answers in order; once they run out, an OK box says OK and a Yes/No box No.
    std::deque<ui::MessageAnswer> answers;
    // Chosen folders in order, nullopt for a cancel; once they run out, cancel.
    std::deque<std::optional<std::string>> folders;

    std::vector<Message> messages;
    std::vector<Picker> pickers;

    ui::MessageAnswer messageBox(const std::string& text, const std::string& caption,
                                 ui::MessageButtons buttons) override {
        messages.push_back({text, caption, buttons});
        if (answers.empty())
            return buttons == ui::MessageButtons::ok ? ui::MessageAnswer::ok
                                                     : ui::MessageAnswer::no;
        const auto answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::optional<std::string> browseForFolder(const std::string& title,
                                               const std::string& root) override {
        pickers.push_back({title, root});
        if (folders.empty()) return std::nullopt;
        auto folder = folders.front();
        folders.pop_front();
        return folder;
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> all;
        for (const auto& m : messages) all.push_back(m.text);
        return all;
    }
};

}  // namespace plenvo::test
