#pragma once

#include <cmath>

#include "fuzz_support.h"
#include "intake/result_file.h"
#include "store/date_time.h"

namespace plenvo::fuzz {

// What any report must hold, whatever the agent wrote.
inline void checkReport(const intake::ParsedReport& report) {
    for (size_t k = 0; k < intake::kResultKeyCount; ++k) {
        const auto& value = report.values[k];
        switch (intake::kResultKeys[k].kind) {
            case intake::ValueKind::text:
                FUZZ_CHECK(!report.refused[k]);
                if (const auto* s = std::get_if<std::string>(&value))
                    FUZZ_CHECK(s->find('=') == std::string::npos);
                break;
            case intake::ValueKind::number:
                if (const auto* n = std::get_if<double>(&value)) FUZZ_CHECK(std::isfinite(*n));
                break;
            case intake::ValueKind::count:
                if (const auto* n = std::get_if<std::int64_t>(&value))
                    FUZZ_CHECK(*n >= -32768 && *n <= 32767);
                break;
            case intake::ValueKind::date:
                // Stored as the date fields store it, or not at all.
                if (const auto* s = std::get_if<std::string>(&value))
                    FUZZ_CHECK(store::fromStoredText(*s).has_value());
                break;
        }
    }
}

}  // namespace plenvo::fuzz
