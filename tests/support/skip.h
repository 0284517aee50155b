#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

namespace plenvo::test {

// Where PLENVO_NO_SKIP is set (CI sets it), a test that cannot run here fails:
// a missing tool or right must never pass as a skipped test nobody reads.
inline ::testing::TestPartResult::Type skipOutcome() {
    const char* strict = std::getenv("PLENVO_NO_SKIP");
    return strict && *strict && std::string_view(strict) != "0"
               ? ::testing::TestPartResult::kFatalFailure
               : ::testing::TestPartResult::kSkip;
}

}  // namespace plenvo::test

// PLENVO_SKIP() that fails under PLENVO_NO_SKIP; the reason follows with <<.
#define PLENVO_SKIP() return GTEST_MESSAGE_("cannot run here", ::plenvo::test::skipOutcome())
