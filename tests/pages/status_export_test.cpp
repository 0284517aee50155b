#include "pages/status_export.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "pages/epoch_time.h"
#include "pages/export_checks.h"
#include "pages/json_writer.h"
#include "platform/text/utf8_path.h"
#include "platform/text/utf8_text.h"
#include "store/date_time.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace plenvo::pages {
namespace {

namespace fs = std::filesystem;
using store::Connection;

constexpr const char* kFfd = "\xEF\xBF\xBD";

// How often the piece stands in the text.
size_t count(const std::string& text, const std::string& piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

// What python reads of the exports: strict UTF-8, no NaN, the values as
// written, and each metric label and time agreeing with the JSON.
constexpr const char* kPythonCheck = R"PY(
import datetime, json, re, sys
status = open(sys.argv[1], encoding='utf-8', errors='strict').read()
metrics = open(sys.argv[2], encoding='utf-8', errors='strict').read()
def refuse(constant): raise ValueError('not JSON: ' + constant)
doc = json.loads(status, parse_constant=refuse)
def unescape(v): return re.sub(r'\\(.)', lambda m: '\n' if m.group(1) == 'n' else m.group(1), v)
samples = {}
for line in metrics.splitlines():
    if line.startswith('#'): continue
    m = re.fullmatch(r'(\w+)(?:\{(.*)\})? (\S+)', line)
    assert m, line
    labels = dict((k, unescape(v)) for k, v in re.findall(r'(\w+)="((?:[^"\\]|\\.)*)"', m.group(2) or ''))
    samples.setdefault(m.group(1), []).append((labels, float(m.group(3))))
a = next(x for x in doc['agents'] if x['host'].startswith('PC"01'))
assert a['host'] == 'PC"01\\\r\n\x01\x7f', a['host']
assert a['user_id'] == 'u\t1\ufffd', a['user_id']
assert a['user_name'] == '\u5c71\u7530\u2028', a['user_name']
assert a['agent_version'] is None
assert a['destination'] == '\\\\FS01\\Backup\\PC01'
assert a['days_since_report'] == 61 and a['achievement_rate'] == 99.5 and a['state'] == 'Run', a
assert [c['code'] for c in a['codes']] == ['07', '15', '99'], a['codes']
assert a['codes'][0]['title'] and a['codes'][2]['title'] is None
blank = next(x for x in doc['agents'] if x['host'] == 'PC02' and x['last_report'] is None)
assert blank['state'] == '?' and blank['codes'] == [] and blank['achievement_rate'] is None
shown = lambda s: re.sub('[\x00-\x09\x0b-\x1f\x7f]', '\ufffd', s)
reported = datetime.datetime.fromisoformat(a['last_report'])
assert reported.utcoffset() is not None
series = [v for l, v in samples['plenvo_agent_last_report_timestamp_seconds']
          if l == {'host': shown(a['host']), 'user': shown(a['user_id'])}]
assert series == [reported.timestamp()], series
errors = [l['code'] for l, v in samples['plenvo_agent_error'] if l['host'] == shown(a['host'])]
assert errors == ['07', '15', '99'], errors
shares = doc['shares']
assert shares[0]['server'] == 'FS01' and shares[0]['usage_rate'] == 86 and shares[0]['size_bytes'] == 1000
assert shares[1]['size_bytes'] is None and shares[1]['share'] is None
assert abs(shares[0]['days_until_full'] - 14) < 0.01 and shares[0]['days_until_07'] == 0, shares[0]
assert shares[1]['days_until_full'] is None and shares[1]['days_until_07'] is None
[(labels, days)] = samples['plenvo_share_days_until_full']
assert labels == {'server': 'FS01', 'share': '\\\\FS01\\Backup'} and abs(days - 14) < 0.01
assert samples['plenvo_share_usage_ratio'] == [({'server': 'FS01', 'share': '\\\\FS01\\Backup'}, 0.86)]
success = datetime.datetime.fromisoformat(doc['passes'][0]['last_success']).timestamp()
assert samples['plenvo_pass_last_success_timestamp_seconds'] == [({'kind': 'import'}, success)]
assert doc['passes'][1] == {'kind': 'checks', 'last_duration_seconds': None, 'last_success': None}
)PY";

class StatusExportFiles : public ::testing::Test {
  protected:
    StatusExportFiles() {
        store::installMngDatabase(dir.path() / "Mng.mdb");
        fs::create_directories(dir.path() / "OrvShare" / "RST");
        clock.set({2009, 12, 1, 10, 0, 0});
    }

    void addAgent(const std::vector<store::DbValue>& values) {
        Connection db = store::openMng(ctx.base);
        auto st = db.prepare(
            "INSERT INTO UserLog (ComNM, UserID, UserName, AgtVer, ToBkup, UPDT, RSRT, Status, "
            "FileNM, ErNo) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
        for (size_t i = 0; i < values.size(); ++i) st.bind(static_cast<int>(i + 1), values[i]);
        st.run();
    }
    void addShare(const std::vector<store::DbValue>& values) {
        Connection db = store::openMng(ctx.base);
        auto st = db.prepare(
            "INSERT INTO ShareDriveInfo (ComNM, SharePath, LocalPath, DrvSize, DrvSpace, "
            "UsageVate) VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
        for (size_t i = 0; i < values.size(); ++i) st.bind(static_cast<int>(i + 1), values[i]);
        st.run();
    }
    // A result file its agent wrote a minute ago.
    std::string freshResultFile(const std::string& name) {
        const auto file = dir.path() / "OrvShare" / "RST" / name;
        test::writeBytes(file, "x");
        test::setModified(file, platform::LocalTime{2009, 12, 1, 9, 59, 0});
        return platform::utf8Of(file);
    }

    void addHostileRows() {
        using std::monostate;
        addAgent({std::string("PC\"01\\\r\n\x01\x7F"), std::string("u\t1\xFF"),
                  std::string("\u5C71\u7530\u2028"), monostate{},
                  std::string("\\\\FS01\\Backup\\PC01"), std::string("2009-10-01 09:05:03"),
                  std::string("99.5%"), std::string("Run"), freshResultFile("PC01.txt"),
                  std::string("07,,15,07,99")});
        // Nothing but the key: every value missing.
        addAgent({std::string("PC02"), std::string("u2"), monostate{}, monostate{}, monostate{},
                  monostate{}, monostate{}, monostate{}, monostate{}, monostate{}});
        // The same pair twice, as an old database may hold it: one series only.
        for (const char* rate : {"50%", "100%"})
            addAgent({std::string("PC03"), std::string("u3"), monostate{}, monostate{}, monostate{},
                      std::string("2009-11-30 08:00:00"), std::string(rate), std::string("Idol"),
                      std::string("/nowhere/PC03.txt"), std::string("")});
        addShare({std::string("FS01"), std::string("\\\\FS01\\Backup"),
                  std::string("D:\\Backups\\"), 1000.0, 140.0, std::int64_t{86}});
        // Six daily surveys up to yesterday, 10 more bytes used each day: full in 14 days.
        Connection db = store::openMng(ctx.base);
        for (int day = 6; day >= 1; --day)
            db.exec("INSERT INTO ShareHistory VALUES ('" +
                    store::storedText(store::minusDays(clock.now(), day)) +
                    "', 'FS01', '\\\\FS01\\Backup', 1000, " + std::to_string(140 + 10 * day) + ")");
        addShare({std::string("\xC3SV"), std::monostate{}, std::monostate{}, std::string("n/a"),
                  std::monostate{}, std::monostate{}});
    }

    void exportNow() {
        const PassFigures passes[] = {{"import", 1.5, platform::LocalTime{2009, 12, 1, 9, 59, 58}},
                                      {"checks", std::nullopt, std::nullopt}};
        writeStatusExports(ctx, passes);
    }
    std::string json() { return test::readBytes(dir.path() / "HTM" / "status.json"); }
    std::string metrics() { return test::readBytes(dir.path() / "HTM" / "metrics.prom"); }

    test::TempDir dir;
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    platform::RunContext ctx{platform::BaseFolder(dir.path()), clock, failures};
};

TEST_F(StatusExportFiles, HostileRowsKeepBothFormatsWhole) {
    addHostileRows();
    store::openMng(ctx.base).exec(
        "INSERT INTO RemList_Add (DselNo, Size, UserID, Remark) VALUES ('1', '8GB', 'u1', '')");
    exportNow();
    const std::string status = json(), prom = metrics();
    // A request waiting for the administrator is counted in both.
    EXPECT_NE(status.find(R"("requests_pending": 1)"), std::string::npos);
    EXPECT_NE(prom.find("plenvo_media_requests_pending 1\n"), std::string::npos);

    EXPECT_TRUE(test::JsonShape::valid(status)) << status;
    EXPECT_TRUE(test::wellFormedUtf8(status));
    EXPECT_TRUE(test::wellFormedUtf8(prom));
    for (char c : status) EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 && c != '\n');
    EXPECT_NE(status.find(R"("host": "PC\"01\\\r\n\u0001\u007F")"), std::string::npos) << status;
    EXPECT_NE(status.find("\"user_name\": \"\u5C71\u7530\\u2028\""), std::string::npos);
    EXPECT_NE(status.find(R"("achievement_rate": 99.5)"), std::string::npos);
    EXPECT_NE(status.find(R"("days_since_report": 61)"), std::string::npos);
    EXPECT_NE(status.find(R"("title": null)"), std::string::npos);

    // The labels of the hostile agent, before the closing brace.
    const std::string hostile = std::string(R"({host="PC\"01\\)") + kFfd + R"(\n)" + kFfd + kFfd +
                                R"(",user="u)" + kFfd + "1" + kFfd + "\"";
    EXPECT_EQ(count(prom, "plenvo_agent_achievement_ratio" + hostile + "} 0.995\n"), 1u) << prom;
    EXPECT_EQ(count(prom, "plenvo_agent_error" + hostile + ",code=\""), 3u);
    EXPECT_EQ(count(prom, R"(plenvo_agent_achievement_ratio{host="PC03",user="u3"})"), 1u);
    EXPECT_EQ(count(prom, R"({host="PC02")"), 0u) << "no values, no samples";
    EXPECT_EQ(count(prom, "plenvo_share_size_bytes{"), 1u);
    EXPECT_EQ(count(prom, R"(plenvo_pass_last_duration_seconds{kind="import"} 1.5)"), 1u);
    EXPECT_EQ(count(prom, R"(plenvo_pass_last_duration_seconds{kind="checks"})"), 0u);
    EXPECT_EQ(count(prom, "NaN"), 0u);
    for (const char* family :
         {"plenvo_status_updated_timestamp_seconds", "plenvo_agent_last_report_timestamp_seconds",
          "plenvo_agent_achievement_ratio", "plenvo_agent_error", "plenvo_share_size_bytes",
          "plenvo_share_free_bytes", "plenvo_share_usage_ratio",
          "plenvo_pass_last_duration_seconds", "plenvo_pass_last_success_timestamp_seconds"}) {
        EXPECT_EQ(count(prom, std::string("# HELP ") + family + " "), 1u) << family;
        EXPECT_EQ(count(prom, std::string("# TYPE ") + family + " gauge\n"), 1u) << family;
    }

    // The times where the zone is known: summer time in October, winter time in December.
    if (const char* zone = std::getenv("TZ"); zone && std::string(zone) == "Europe/Berlin") {
        EXPECT_NE(status.find(R"("last_report": "2009-10-01T09:05:03+02:00")"), std::string::npos);
        EXPECT_NE(status.find(R"("updated": "2009-12-01T10:00:00+01:00")"), std::string::npos);
        EXPECT_EQ(
            count(prom, "plenvo_agent_last_report_timestamp_seconds" + hostile + "} 1254380703\n"),
            1u);
    }

#ifdef PLENVO_PYTHON
    const auto script = dir.path() / "check.py";
    test::writeBytes(script, kPythonCheck);
    const std::string files = " '" + (dir.path() / "HTM" / "status.json").string() + "' '" +
                              (dir.path() / "HTM" / "metrics.prom").string() + "'";
    EXPECT_EQ(std::system((PLENVO_PYTHON " '" + script.string() + "'" + files).c_str()), 0);
#endif
#ifdef PLENVO_PROMTOOL
    // Days are the unit the forecast is read in, under the name its users
    // were given; promtool's one word about it is expected, nothing else.
    const auto said = dir.path() / "promtool.txt";
    [[maybe_unused]] const int linted = std::system(
        (PLENVO_PROMTOOL " check metrics < '" + (dir.path() / "HTM" / "metrics.prom").string() +
         "' > '" + said.string() + "' 2>&1")
            .c_str());
    EXPECT_EQ(test::readBytes(said),
              "plenvo_share_days_until_full use base unit \"seconds\" instead of \"days\"\n");
#endif
}

TEST_F(StatusExportFiles, AFailureLeavesTheOtherFileOrTheOldOnes) {
    addHostileRows();
    // Something in the way of status.json: metrics.prom is still written.
    fs::create_directories(dir.path() / "HTM" / "status.json" / "in the way");
    exportNow();
    EXPECT_TRUE(fs::is_regular_file(dir.path() / "HTM" / "metrics.prom"));
    ASSERT_EQ(failures.lines.size(), 1u);
    EXPECT_TRUE(failures.lines[0].starts_with("status exports: ")) << failures.lines[0];

    // A database that cannot be read: the last whole picture stays.
    fs::remove_all(dir.path() / "HTM" / "status.json");
    exportNow();
    const std::string before = metrics();
    test::writeBytes(dir.path() / "Mng.mdb", "not a database");
    clock.set({2009, 12, 1, 10, 1, 0});
    exportNow();
    EXPECT_EQ(metrics(), before);
    EXPECT_FALSE(fs::exists(dir.path() / "HTM" / "metrics.prom.new~"));
    EXPECT_EQ(failures.lines.size(), 2u);
}

// Places are remembered by the minute: around both changes of summer time,
// and in the hour that comes twice, they stay what the C library says
// (epochSeconds() asks it each time).
TEST(StatusExportText, TimesArePlacedAsTheCLibraryPlacesThemAroundSummerTime) {
    TimePlaces places;
    for (const int month : {3, 10})
        for (int minute = 0; minute < 5 * 60; minute += 7)
            for (const int second : {0, 31, 59}) {
                const platform::LocalTime t{2009,        month,       month == 3 ? 29 : 25,
                                            minute / 60, minute % 60, second};
                EXPECT_EQ(places.epochSeconds(t), epochSeconds(t))
                    << month << " " << minute << " " << second;
            }
}

TEST(StatusExportText, BytesNoFormatCanCarryAreReplacedOrEscaped) {
    // Overlong, surrogate, past U+10FFFF, cut short, stray continuation.
    EXPECT_EQ(platform::validUtf8("\xC0\xAF|\xED\xA0\x80|\xF4\x90\x80\x80|\xE5\xB1|\x80"),
              std::string(kFfd) + kFfd + "|" + kFfd + kFfd + kFfd + "|" + kFfd + kFfd + kFfd +
                  kFfd + "|" + kFfd + kFfd + "|" + kFfd);
    EXPECT_EQ(platform::validUtf8("\u5C71\U0001F600\u00E9"), "\u5C71\U0001F600\u00E9");
    EXPECT_EQ(jsonString(std::string("a\0b\x1F\"\\/", 7)), R"("a\u0000b\u001F\"\\/")");

    JsonWriter json;
    json.beginArray();
    json.number(std::numeric_limits<double>::quiet_NaN());
    json.number(-std::numeric_limits<double>::infinity());
    json.number(0.1);
    json.number(1e21);
    json.beginObject();
    json.endObject();
    json.endArray();
    EXPECT_EQ(json.text(), "[\n  null,\n  null,\n  0.1,\n  1e+21,\n  {}\n]\n");
    EXPECT_TRUE(test::JsonShape::valid(json.text()));
}

}  // namespace
}  // namespace plenvo::pages
