#pragma once

#include <cstddef>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace plenvo::platform {

// Where skipped failures go: one line each on standard error when headless,
// "topic: what" with the topic in plain words ("drive survey", "import"),
// nowhere in tray mode.
class FailureLog {
  public:
    virtual ~FailureLog() = default;
    virtual void report(std::string_view topic, std::string_view what) = 0;
    // A pass (import, checks) has ended.
    virtual void passEnded() {}
};

// Tells each failure the first time; the same failure of the same file or row
// in a later pass is only counted, and a pass that passed over such repeats
// ends with one line saying how many. A failure not seen for kForgetAfter
// passes is forgotten, so that one that comes back is told again. Holds at
// most `limit` failures; past that, new ones are told every time. Safe to use
// from several threads.
class RepeatsCounted final : public FailureLog {
  public:
    static constexpr long kForgetAfter = 15;  // the checks' ten minutes and some

    explicit RepeatsCounted(FailureLog& inner, std::size_t limit = 100000)
        : inner_(inner), limit_(limit) {}
    void report(std::string_view topic, std::string_view what) override;
    void passEnded() override;

  private:
    FailureLog& inner_;
    const std::size_t limit_;
    std::mutex mutex_;
    std::unordered_map<std::string, long> lastSeen_;  // by topic and text: the pass
    long pass_ = 0;
    std::size_t repeats_ = 0;
};

class SilentFailureLog final : public FailureLog {
  public:
    void report(std::string_view, std::string_view) override {}
};

// Lines on standard error: messages carry agents' file names and values, so
// each is made printable and cut to kMessageLimit bytes.
class StderrFailureLog final : public FailureLog {
  public:
    static constexpr size_t kMessageLimit = 500;
    void report(std::string_view topic, std::string_view what) override;
};

// The text safe for a terminal: line breaks and tabs become blanks; other
// control characters (C0, DEL, C1) and bytes that are no UTF-8 become "?".
// Longer than `limit` bytes, it is cut on a character boundary and ends in
// " [cut]" within the limit.
std::string printableText(std::string_view text, size_t limit);

// Runs an event procedure or a step to its end: a failure is told and goes no
// further, for nothing above could carry it and it must never end the console.
template <typename Work>
void guarded(FailureLog& failures, std::string_view topic, Work&& work) {
    try {
        work();
    } catch (const std::exception& e) {
        failures.report(topic, e.what());
    } catch (...) {
        failures.report(topic, "unknown failure");
    }
}

}  // namespace plenvo::platform
