// The lines of an agent's result file, without the file: the keys they match,
// the values they give, and the error codes of ErNo.
#include <algorithm>
#include <cctype>

#include "intake/error_codes.h"
#include "platform/text/text_file.h"
#include "result_checks.h"

using namespace plenvo;

namespace {

void checkCodes(std::string_view agentText) {
    const intake::AgentCodes agent = intake::agentCodes(agentText);
    for (size_t i = 0; i < agent.codes.size(); ++i) {
        const std::string& code = agent.codes[i];
        FUZZ_CHECK(code.size() == 2 && std::isdigit(static_cast<unsigned char>(code[0])) &&
                   std::isdigit(static_cast<unsigned char>(code[1])));
        for (size_t j = 0; j < i; ++j) FUZZ_CHECK(agent.codes[j] != code);
    }
    // The merge only appends, and never past the longest list of codes.
    const std::string_view lists[] = {"", "08", "08,14", agentText};
    for (const std::string_view current : lists) {
        const std::string merged = intake::mergedWithAgentCodes(current, agent);
        FUZZ_CHECK(merged.starts_with(current));
        FUZZ_CHECK(merged.size() <= std::max(current.size(), intake::kMaxCodeListLength));
        intake::importedCodes(current, agent);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = fuzz::textOf(data, size);
    intake::ParsedReport report;
    for (size_t start = 0; start < bytes.size();) {
        const size_t end = std::min(bytes.find('\n', start), bytes.size());
        std::string_view raw = bytes.substr(start, end - start);
        if (raw.ends_with('\r')) raw.remove_suffix(1);
        intake::matchLine(platform::decodeCp932(raw), report);
        start = end + 1;
    }
    fuzz::checkReport(report);

    // The raw bytes as one line, undecoded.
    intake::ParsedReport raw;
    intake::matchLine(bytes, raw);
    fuzz::checkReport(raw);

    if (const std::string* codes = report.text(intake::kErNo)) checkCodes(*codes);
    checkCodes(bytes);
    return 0;
}
