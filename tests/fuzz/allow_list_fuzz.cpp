// The allow-list file REM/RM, restored into RemList at start-up.
#include <vector>

#include "fuzz_support.h"
#include "platform/core/run_context.h"
#include "removable/allow_list.h"
#include "removable/exchange_fields.h"
#include "store/date_time.h"
#include "store/mng_database.h"
#include "store/monitoring_flag.h"

using namespace plenvo;

namespace {

class FixedClock final : public platform::Clock {
  public:
    platform::LocalTime now() const override { return {2009, 10, 1, 9, 5, 3}; }
};

// Only the failures the restore means to tell may come up.
class ExpectedFailures final : public platform::FailureLog {
  public:
    void report(std::string_view topic, std::string_view what) override {
        const bool expected =
            topic == "registered media" &&
            ((what.starts_with("line ") && what.ends_with(" has fewer than five fields")) ||
             what.starts_with("no date in \""));
        if (!expected)
            std::fprintf(stderr, "%.*s: %.*s\n", int(topic.size()), topic.data(), int(what.size()),
                         what.data());
        FUZZ_CHECK(expected);
    }
};

struct Installation {
    // The database is made once; every run empties its tables.
    Installation() {
        std::filesystem::create_directories(base / "OrvShare" / "REM");
        FUZZ_CHECK(store::installMngDatabase(base / "Mng.mdb"));
        flag.set("True");
    }
    std::filesystem::path base = fuzz::scratch() / "base";
    FixedClock clock;
    ExpectedFailures failures;
    platform::RunContext ctx{platform::BaseFolder(base), clock, failures};
    store::MonitoringFlag flag;
};

Installation& installation() {
    static Installation it;
    return it;
}

// Every RemList row as its five texts; Null as "<null>".
std::vector<std::vector<std::string>> restoredRows(store::Connection& db) {
    std::vector<std::vector<std::string>> rows;
    store::Statement st =
        db.prepare("SELECT DselNo, Size, UserID, Remark, UPDT FROM RemList ORDER BY rowid");
    while (st.step()) {
        std::vector<std::string> row;
        for (int c = 0; c < 5; ++c) row.push_back(st.text(c).value_or("<null>"));
        rows.push_back(row);
    }
    return rows;
}

// A byte CP932 could not decode is written back as "?".
std::string asWrittenBack(std::string text) {
    for (size_t at; (at = text.find("\xEF\xBF\xBD")) != std::string::npos;)
        text.replace(at, 3, "?");
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Installation& it = installation();
    store::Connection db = store::openMng(it.ctx.base);
    db.exec("DELETE FROM RemList; DELETE FROM Setting");

    const auto rm = it.base / "OrvShare" / "REM" / "RM";
    fuzz::writeBytes(rm, fuzz::textOf(data, size));
    removable::restoreRegisteredMedia(it.ctx);

    auto rows = restoredRows(db);
    for (const auto& row : rows) {
        for (int c = 0; c < 4; ++c) {
            FUZZ_CHECK(row[c].find('&') == std::string::npos);
            FUZZ_CHECK(row[c] == removable::trimmed(row[c]));
        }
        FUZZ_CHECK(row[4] == "<null>" || store::fromStoredText(row[4]).has_value());
    }
    {
        store::Statement settings = db.prepare("SELECT count(*) FROM Setting");
        FUZZ_CHECK(settings.step() && settings.integer(0) == 1);
    }

    // What the restore took in, the console writes out again and restores the same.
    removable::writeAllowList(it.ctx, it.flag);
    db.exec("DELETE FROM RemList");
    removable::restoreRegisteredMedia(it.ctx);
    for (auto& row : rows)
        for (auto& field : row) field = asWrittenBack(field);
    FUZZ_CHECK(restoredRows(db) == rows);
    return 0;
}
