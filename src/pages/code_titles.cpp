#include "pages/code_titles.h"

namespace plenvo::pages {

std::optional<std::string> InfoSet(store::Connection& db, const std::string& code) {
    store::Statement st =
        db.prepare("SELECT Title FROM MailTextMST WHERE MNo = ?1 ORDER BY rowid LIMIT 1");
    st.bind(1, code);
    if (!st.step()) return std::nullopt;
    return st.text(0);
}

std::vector<std::string> listedCodes(std::string_view erNo) {
    std::vector<std::string> codes;
    size_t start = 0;
    while (!erNo.empty() && start <= erNo.size()) {
        size_t end = erNo.find(',', start);
        if (end == std::string_view::npos) end = erNo.size();
        if (end > start) codes.emplace_back(erNo.substr(start, end - start));
        start = end + 1;
    }
    return codes;
}

const std::optional<std::string>& CodeTitles::of(const std::string& code) {
    auto [it, fresh] = titles_.try_emplace(code);
    // A lookup that fails leaves the code without a title for the rest of the
    // pass: it is told once, not once per row.
    if (fresh) it->second = InfoSet(db_, code);
    return it->second;
}

}  // namespace plenvo::pages
