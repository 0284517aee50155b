#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/core/run_context.h"
#include "store/date_time.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace plenvo::test {

// An installation in a temporary folder with a real Mng.mdb, a clock the test
// sets and a log of the skipped failures.
class CheckFixture : public ::testing::Test {
  protected:
    CheckFixture() {
        store::installMngDatabase(dir.path() / "Mng.mdb");
        std::filesystem::create_directories(dir.path() / "OrvShare" / "RST");
        std::filesystem::create_directories(dir.path() / "HTM");
    }

    store::Connection db() { return store::openMng(ctx.base); }

    std::int64_t addUser(const std::string& comNm, const std::string& toBkup,
                         const std::string& erNo,
                         const std::optional<platform::LocalTime>& updt = std::nullopt) {
        auto c = db();
        auto st = c.prepare(
            "INSERT INTO UserLog (ComNM, UserID, ToBkup, ErNo, UPDT) VALUES (?1, 'u', ?2, ?3, ?4) "
            "RETURNING rowid");
        st.bind(1, comNm).bind(2, toBkup).bind(3, erNo);
        st.bind(4, updt ? store::DbValue{store::storedText(*updt)} : store::DbValue{});
        st.step();
        return *st.integer(0);
    }

    std::string erNo(std::int64_t rowid) {
        auto c = db();
        auto st = c.prepare("SELECT ErNo FROM UserLog WHERE rowid = ?1");
        st.bind(1, store::DbValue{rowid});
        st.step();
        return st.text(0).value_or("<null>");
    }

    TempDir dir;
    FakeClock clock{{2009, 10, 8, 0, 1, 0}};
    RecordingFailureLog failures;
    const platform::RunContext ctx{platform::BaseFolder(dir.path()), clock, failures};
};

}  // namespace plenvo::test
