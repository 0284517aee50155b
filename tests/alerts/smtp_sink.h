#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace plenvo::test {

// One message the sink took: its envelope recipients and the message as sent.
struct ReceivedMail {
    std::vector<std::string> recipients;
    std::string headers;  // as sent, CR LF between lines
    std::string subject;  // decoded
    std::string body;     // decoded
};

// A real SMTP server (aiosmtpd) on 127.0.0.1, started by the test and stopped
// by its process id. Messages land in a folder; tests read them back.
class SmtpSink {
  public:
    // Why no sink can be started here; empty when one can.
    static std::string unavailableReason();
    // A port nobody listens on now.
    static int freePort();

    // `port` 0: any free port. `mode`: a hostile server, as smtp_sink.py says.
    explicit SmtpSink(const std::filesystem::path& folder, int port = 0,
                      const std::string& mode = "");
    ~SmtpSink();
    SmtpSink(const SmtpSink&) = delete;
    SmtpSink& operator=(const SmtpSink&) = delete;

    int port() const { return port_; }
    const std::string& failure() const { return failure_; }
    std::vector<ReceivedMail> mails() const;
    int connections() const;

  private:
    std::filesystem::path folder_;
    pid_t pid_ = -1;
    int port_ = 0;
    std::string failure_;
};

}  // namespace plenvo::test
