#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <random>
#include <thread>

#include "installation.h"
#include "platform/text/utf8_path.h"
#include "removable/request_intake.h"
#include "store/date_time.h"
#include "support/appending_file.h"

namespace plenvo::removable {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

// Agents on the share append the way real ones do: open, a pause, a line,
// maybe a pause and another line, close. Now and then one holds the file for
// up to 1.5 s before it writes, while the console ticks every 50 to 100 ms.
class AgentStorm : public test::Installation {
  protected:
    // Appends line(0), line(1), ... to `file` until `until`; how many were written.
    static int agent(const fs::path& file, const std::function<std::string(int)>& line,
                     unsigned seed, Steady::time_point until) {
        std::mt19937 random(seed);
        const auto pause = [&] {
            const unsigned ms = random() % 100 == 0 ? 1000 + random() % 500 : random() % 6;
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        };
        int written = 0;
        while (Steady::now() < until) {
            test::AppendingFile out(file);
            if (!out.isOpen()) break;
            for (unsigned n = 1 + random() % 2; n > 0; --n) {
                pause();
                if (out.write(line(written) + "\r\n")) ++written;
            }
        }
        return written;
    }
    static std::string requestSerial(int agent, int i) {
        return "R" + std::to_string(agent) + "-" + std::to_string(i);
    }
    // Every usage line of an agent is one second later than its last.
    static platform::LocalTime usedAt(int i) {
        return {2009, 10, 1, i / 3600, i / 60 % 60, i % 60};
    }

    void tick() {
        takeMediaRequests(live);
        recordMediaUse(live, platform::utf8Of(dir.path()));
    }
    bool exchangeFolderEmpty() const { return fs::is_empty(rem()); }

    platform::SystemClock realClock;
    platform::RunContext live{platform::BaseFolder(dir.path()), realClock, failures};
};

TEST_F(AgentStorm, EveryLineAgentsWriteIsTakenInExactlyOnce) {
    constexpr int kRequestAgents = 3;
    constexpr int kUsageAgents = 2;
    for (int a = 0; a < kUsageAgents; ++a)
        sql("INSERT INTO RemList (DselNo, Size, UserID) VALUES ('S" + std::to_string(a) +
            "', '1 GB', 'Any')");

    const auto until = Steady::now() + 5s;
    std::vector<int> written(kRequestAgents + kUsageAgents);
    std::vector<std::thread> agents;
    for (int a = 0; a < kRequestAgents; ++a)
        agents.emplace_back([&, a] {
            written[a] = agent(
                rem() / "ADD",
                [a](int i) { return requestSerial(a, i) + "&1 GB&u" + std::to_string(a) + "&"; },
                100 + a, until);
        });
    for (int a = 0; a < kUsageAgents; ++a)
        agents.emplace_back([&, a] {
            written[kRequestAgents + a] = agent(
                rem() / "UseRem",
                [a](int i) {
                    return "S" + std::to_string(a) + "&" + store::generalText(usedAt(i));
                },
                200 + a, until);
        });
    std::mt19937 random(7);
    while (Steady::now() < until) {
        tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(50 + random() % 51));
    }
    for (auto& t : agents) t.join();
    // The files left settle and go within a few more ticks.
    for (const auto deadline = Steady::now() + 14s;
         !exchangeFolderEmpty() && Steady::now() < deadline;) {
        std::this_thread::sleep_for(100ms);
        tick();
    }
    EXPECT_TRUE(exchangeFolderEmpty());
    EXPECT_TRUE(failures.lines.empty()) << failures.lines.front();

    std::map<std::string, int> takenIn;
    for (const std::string& serial : rows("SELECT DselNo FROM RemList_Add")) ++takenIn[serial];
    int missing = 0, twice = 0, total = 0;
    std::string example;
    for (int a = 0; a < kRequestAgents; ++a) {
        ASSERT_GT(written[a], 100) << "agent " << a << " hardly wrote";
        for (int i = 0; i < written[a]; ++i) {
            const auto found = takenIn.find(requestSerial(a, i));
            const int times = found == takenIn.end() ? 0 : found->second;
            if (times != 1 && example.empty()) example = requestSerial(a, i);
            missing += times == 0;
            twice += times > 1;
        }
        total += written[a];
    }
    EXPECT_EQ(missing, 0) << "of " << total << " requests, e.g. " << example;
    EXPECT_EQ(twice, 0) << "of " << total << " requests, e.g. " << example;
    EXPECT_EQ(takenIn.size(), static_cast<size_t>(total));

    for (int a = 0; a < kUsageAgents; ++a) {
        ASSERT_GT(written[kRequestAgents + a], 100);
        EXPECT_EQ(
            rows("SELECT USDT FROM RemList WHERE DselNo = 'S" + std::to_string(a) + "'"),
            std::vector<std::string>{store::storedText(usedAt(written[kRequestAgents + a] - 1))})
            << "the last time agent " << a << " wrote";
    }
}

}  // namespace
}  // namespace plenvo::removable
