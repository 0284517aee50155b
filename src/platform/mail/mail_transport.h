#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plenvo::platform {

// How the connection to the mail server is protected.
enum class MailSecurity { none, starttls, tls };

struct MailServer {
    std::string host;
    int port = 25;
    MailSecurity security = MailSecurity::none;
    std::string user, password;  // no user: no login
};

// Who the message is from and who receives it, as the server is told.
struct MailEnvelope {
    std::string from;
    std::vector<std::string> to;
};

struct MailSendResult {
    bool sent = false;
    std::string error;  // why not, when not sent
};

// One connection to a mail server over SMTP, made at the first send and kept
// for the sends after it. All sends of a session together end by `deadline`:
// a server that does not answer costs the pass that one wait. Never throws.
class MailSession {
  public:
    MailSession(MailServer server, std::chrono::steady_clock::time_point deadline);
    ~MailSession();
    MailSession(const MailSession&) = delete;
    MailSession& operator=(const MailSession&) = delete;

    // `message` is the whole message, headers and body, lines ended by CR LF.
    // Sent when the server took it for at least one recipient.
    MailSendResult send(const MailEnvelope& envelope, std::string_view message);

  private:
    struct Connection;
    std::unique_ptr<Connection> connection_;
};

}  // namespace plenvo::platform
