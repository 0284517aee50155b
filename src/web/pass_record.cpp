#include "web/pass_record.h"

#include <algorithm>
#include <system_error>

#include "platform/files/plain_file.h"
#include "web/json_body.h"

namespace plenvo::web {
namespace {

// The passes and the file's end fit in this; the agents before them may be 100 MB.
constexpr std::size_t kTailBytes = 16 * 1024;

}  // namespace

std::vector<PassRecord> lastPasses(const platform::BaseFolder& base) {
    std::string tail;
    try {
        const platform::PlainFileReader file(base.at("\\HTM\\status.json"));
        const std::uint64_t size = file.size();
        const std::uint64_t from = size > kTailBytes ? size - kTailBytes : 0;
        tail.resize(static_cast<std::size_t>(size - from));
        tail.resize(file.readAt(from, tail.data(), tail.size()));
    } catch (const std::system_error&) {
        return {};
    }
    std::vector<PassRecord> passes;
    const auto list = tail.rfind("\"passes\": [");
    if (list == std::string::npos) return passes;
    std::size_t at = list;
    for (;;) {
        const auto open = tail.find('{', at);
        if (open == std::string::npos) break;
        const auto close = tail.find('}', open);
        if (close == std::string::npos) break;
        const auto fields = flatJsonObject(std::string_view(tail).substr(open, close - open + 1));
        at = close + 1;
        if (!fields) continue;
        PassRecord pass;
        bool wrongType = false;
        pass.kind = stringField(*fields, "kind", wrongType).value_or("");
        pass.lastSuccess = stringField(*fields, "last_success", wrongType);
        if (const auto d = fields->find("last_duration_seconds");
            d != fields->end() && std::holds_alternative<double>(d->second))
            pass.lastDurationSeconds = std::get<double>(d->second);
        if (!pass.kind.empty()) passes.push_back(std::move(pass));
    }
    return passes;
}

}  // namespace plenvo::web
