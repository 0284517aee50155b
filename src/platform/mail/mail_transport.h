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
    // Not sent, but the whole message went and the answer never came: the
    // server may have taken it.
    bool unsure = false;
};

// How long the server may keep us waiting (RFC 5321 4.5.3.2): for any reply
// or for taking what we send, and for its reply to the end of the message.
struct MailTimeouts {
    std::chrono::milliseconds reply = std::chrono::minutes(2);
    std::chrono::milliseconds messageEnd = std::chrono::minutes(5);
};

// One connection to a mail server over SMTP, made at the first send and kept
// for the sends after it. Each wait on the server is bounded by `timeouts`,
// and all sends of a session together end by `deadline`. Never throws.
class MailSession {
  public:
    MailSession(MailServer server, std::chrono::steady_clock::time_point deadline,
                MailTimeouts timeouts = {});
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
