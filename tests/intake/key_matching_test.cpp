// The key matcher against the plain one it replaced: every key searched for
// in every line, over many generated lines.
#include <gtest/gtest.h>

#include <random>

#include "intake/result_file.h"
#include "store/date_time.h"

namespace plenvo::intake {
namespace {

void referenceMatchLine(std::string_view line, ParsedReport& report) {
    if (line.size() < 4) return;
    std::optional<std::optional<std::string_view>> value;
    for (size_t k = 0; k < kResultKeyCount; ++k) {
        const ResultKey& key = kResultKeys[k];
        if (line.find(key.match) == std::string_view::npos) continue;
        if (!key.exclusion.empty() && line.find(key.exclusion) != std::string_view::npos) continue;
        if (!value) value = valueOfLine(line);
        if (!*value) continue;
        const std::string_view text = **value;
        switch (key.kind) {
            case ValueKind::text:
                report.values[k] = std::string(text);
                break;
            case ValueKind::number:
                if (auto n = parseNumber(text))
                    report.values[k] = *n;
                else
                    report.refused[k] = true;
                break;
            case ValueKind::count:
                if (auto n = parseCount(text))
                    report.values[k] = *n;
                else
                    report.refused[k] = true;
                break;
            case ValueKind::date:
                if (auto t = store::parseDateTime(text))
                    report.values[k] = store::storedText(*t);
                else
                    report.refused[k] = true;
                break;
        }
    }
}

// Lines of pieces that make keys match, half match, or sit next to each other.
class LineMaker {
  public:
    explicit LineMaker(unsigned seed) : random_(seed) {
        for (const auto& key : kResultKeys) {
            pieces_.emplace_back(key.match);
            if (!key.exclusion.empty()) pieces_.emplace_back(key.exclusion);
            // The key cut short, or without its "=".
            pieces_.emplace_back(key.match.substr(0, key.match.size() - 1));
            pieces_.emplace_back(key.match.substr(1));
        }
        for (const char* other : {"=",          "==",     " ",       "  ",   "\t",
                                  "山田",       "①～",    "利用者=", "x",    "To",
                                  "Rep",        "SW",     "Sz",      "SZ",   "12",
                                  "1,234.5",    "-0",     "40000",   "12.5", "2009/10/01 9:05:03",
                                  "2009-13-45", "comnm=", "COMNM=",  "",     "ErNo=03,14",
                                  "UPDT",       "QTY="})
            pieces_.emplace_back(other);
    }

    std::string line() {
        std::string out;
        const int count = static_cast<int>(random_() % 7);
        for (int i = 0; i < count; ++i) out += pieces_[random_() % pieces_.size()];
        return out;
    }

  private:
    std::minstd_rand random_;
    std::vector<std::string> pieces_;
};

TEST(KeyMatching, AgreesWithSearchingEveryKeyInEveryLine) {
    LineMaker maker(20091001);
    for (int report = 0; report < 20000; ++report) {
        ParsedReport fast;
        ParsedReport plain;
        std::vector<std::string> lines;
        for (int i = 0; i < 8; ++i) {
            lines.push_back(maker.line());
            matchLine(lines.back(), fast);
            referenceMatchLine(lines.back(), plain);
        }
        for (size_t k = 0; k < kResultKeyCount; ++k) {
            ASSERT_EQ(fast.values[k], plain.values[k]) << kResultKeys[k].field << " after:\n"
                                                       << ::testing::PrintToString(lines);
            ASSERT_EQ(fast.refused[k], plain.refused[k]) << kResultKeys[k].field << " after:\n"
                                                         << ::testing::PrintToString(lines);
        }
    }
}

TEST(KeyMatching, KeysAtTheEdgesAndAroundSeveralEqualsSigns) {
    for (const char* line : {"ComNM=",
                             "=ComNM=",
                             "ComNM==",
                             "xComNM=y=z",
                             "a=b=ComNM=c",
                             "RmtComnm=ComNM=x",
                             "ComNM=RmtComnm=",
                             "ToFavSz=FavSz=5",
                             "FavSz=ToFavSz=",
                             "UserIDComNM=1",
                             "RepSW=",
                             "RepSWFav=1",
                             "Fav=RepSWFav",
                             "SPF01SZ=ToSPF01SZ=3",
                             "UPDT=2009/10/01",
                             "TLFileQTY=12.5=ErNo=03",
                             "DmNm=利用者=",
                             "==",
                             "====",
                             "ab=="}) {
        ParsedReport fast;
        ParsedReport plain;
        matchLine(line, fast);
        referenceMatchLine(line, plain);
        EXPECT_EQ(fast.values, plain.values) << line;
        EXPECT_EQ(fast.refused, plain.refused) << line;
    }
}

}  // namespace
}  // namespace plenvo::intake
