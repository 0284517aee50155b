#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/sqlite.h"

namespace plenvo::pages {

// The Title of the MailTextMST row for the code, or nullopt without one.
std::optional<std::string> InfoSet(store::Connection& db, const std::string& code);

// The codes of an ErNo list in its order; empty pieces (a leading, trailing or
// doubled comma) are passed over.
std::vector<std::string> listedCodes(std::string_view erNo);

// The codes' titles, each asked of MailTextMST once for as long as this lives.
class CodeTitles {
  public:
    explicit CodeTitles(store::Connection& db) : db_(db) {}
    const std::optional<std::string>& of(const std::string& code);

  private:
    store::Connection& db_;
    std::map<std::string, std::optional<std::string>> titles_;
};

}  // namespace plenvo::pages
