// The request file ADD and the usage file UseRem that agents write into REM.
// Their line parsing lies inside request_intake.cpp, so the target runs the
// public intake on the bytes, tick after tick until the file is taken in, and
// checks the pieces the parsing is made of on their own. The first line also
// serves as the position file a claimed file keeps beside it, which anyone on
// the share can write too.
#include "fuzz_support.h"
#include "platform/core/run_context.h"
#include "platform/files/file_system.h"
#include "removable/exchange_fields.h"
#include "removable/request_intake.h"
#include "store/date_time.h"
#include "store/mng_database.h"

using namespace plenvo;

namespace {

class TickingClock final : public platform::Clock {
  public:
    platform::LocalTime now() const override { return now_; }
    void reset() { now_ = {2009, 10, 1, 9, 5, 3}; }
    void tick() { now_.minute += 1; }  // stays within the hour for the few ticks a run takes

  private:
    platform::LocalTime now_{2009, 10, 1, 9, 5, 3};
};

// Only the failures the intake means to tell may come up.
class ExpectedFailures final : public platform::FailureLog {
  public:
    void report(std::string_view topic, std::string_view what) override {
        const bool expected =
            (topic == "media requests" &&
             what.starts_with("request with fewer than four fields")) ||
            (topic == "media use" && (what.starts_with("usage line with fewer than two fields") ||
                                      what.starts_with("usage line without a date"))) ||
            what.starts_with("line longer than");
        if (!expected)
            std::fprintf(stderr, "%.*s: %.*s\n", int(topic.size()), topic.data(), int(what.size()),
                         what.data());
        FUZZ_CHECK(expected);
    }
};

struct Installation {
    Installation() {
        std::filesystem::create_directories(rem);
        FUZZ_CHECK(store::installMngDatabase(base / "Mng.mdb"));
        store::openMng(ctx.base).exec(
            "INSERT INTO RemList (DselNo, Size, UserID) VALUES ('111', '1 GB', 'Any'), "
            "('-1967333648', '7.45 GB', 'u1')");
    }
    std::filesystem::path base = fuzz::scratch() / "base";
    std::filesystem::path rem = base / "OrvShare" / "REM";
    TickingClock clock;
    ExpectedFailures failures;
    platform::RunContext ctx{platform::BaseFolder(base), clock, failures};
};

Installation& installation() {
    static Installation it;
    return it;
}

void checkFieldPieces(std::string_view line) {
    const auto fields = removable::splitFields(line);
    std::string joined;
    for (size_t i = 0; i < fields.size(); ++i) {
        FUZZ_CHECK(fields[i].find('&') == std::string::npos);
        joined += (i ? "&" : "") + fields[i];
    }
    FUZZ_CHECK(joined == line);
    const std::string t = removable::trimmed(line);
    FUZZ_CHECK(line.find(t) != std::string_view::npos);
    if (!t.empty())
        FUZZ_CHECK(t.front() != ' ' && t.front() != '\t' && t.back() != ' ' && t.back() != '\t');
    const std::string stored = removable::storedUserIds(std::string(line));
    FUZZ_CHECK(stored.find('&') == std::string::npos && !stored.empty());
    const std::string quoted = removable::excerpt(line);
    FUZZ_CHECK(quoted.size() <= line.size() + 3);
    if (fuzz::validUtf8(line)) FUZZ_CHECK(fuzz::validUtf8(quoted));
}

// Runs the intake tick after tick; the file must be taken in within a few.
template <typename Intake>
void tickUntilTaken(Installation& it, const std::string& name, Intake intake) {
    for (int tick = 0; tick < 4; ++tick) {
        intake();
        it.clock.tick();
        if (!platform::fileExists(it.rem / name) &&
            !platform::fileExists(it.rem / (name + ".taking")))
            return;
    }
    std::fprintf(stderr, "%s still waits after four ticks\n", name.c_str());
    FUZZ_CHECK(false);
}

void checkTables(store::Connection& db) {
    store::Statement requests =
        db.prepare("SELECT DselNo, Size, UserID, Remark, UPDT FROM RemList_Add");
    while (requests.step()) {
        const std::string serial = requests.text(0).value_or("");
        FUZZ_CHECK(!serial.empty() && serial == removable::trimmed(serial));
        for (int column = 0; column < 4; ++column)
            FUZZ_CHECK(requests.text(column).value_or("").find('&') == std::string::npos);
        FUZZ_CHECK(store::fromStoredText(requests.text(4).value_or("")).has_value());
    }
    store::Statement usage = db.prepare("SELECT USDT FROM RemList");
    while (usage.step())
        if (const auto when = usage.text(0)) FUZZ_CHECK(store::fromStoredText(*when).has_value());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = fuzz::textOf(data, size);
    checkFieldPieces(bytes);

    Installation& it = installation();
    store::Connection db = store::openMng(it.ctx.base);
    db.exec("DELETE FROM RemList_Add; UPDATE RemList SET USDT = NULL");
    const auto addTick = [&] { removable::takeMediaRequests(it.ctx); };
    const auto useTick = [&] { removable::recordMediaUse(it.ctx, ""); };

    // Fresh files as an agent leaves them.
    it.clock.reset();
    fuzz::writeBytes(it.rem / "ADD", bytes);
    tickUntilTaken(it, "ADD", addTick);
    fuzz::writeBytes(it.rem / "UseRem", bytes);
    tickUntilTaken(it, "UseRem", useTick);
    checkTables(db);

    // Claimed files left by an earlier run, with the first line as their position.
    const std::string_view position = bytes.substr(0, bytes.find('\n'));
    for (const std::string name : {"ADD", "UseRem"}) {
        fuzz::writeBytes(it.rem / (name + ".taking"), bytes);
        fuzz::writeBytes(it.rem / (name + ".taking.pos"), position);
    }
    it.clock.reset();
    tickUntilTaken(it, "ADD", addTick);
    tickUntilTaken(it, "UseRem", useTick);
    checkTables(db);
    return 0;
}
