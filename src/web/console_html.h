#pragma once

#include <string>
#include <string_view>

namespace plenvo::web {

// The web console's pages: UTF-8, Japanese, readable on a phone, no script.
// `body` is markup made with pages::htmlEscaped for every value in it.
std::string consolePage(std::string_view title, std::string_view body, std::string_view user);

// A form that posts to `action` with the session's token and the hidden
// fields, and one button.
std::string postForm(std::string_view action, std::string_view csrf, std::string_view fields,
                     std::string_view button);

// A hidden field and a text field, values escaped.
std::string hiddenField(std::string_view name, std::string_view value);
std::string textField(std::string_view label, std::string_view name, std::string_view value,
                      std::size_t maxLength);

}  // namespace plenvo::web
