#include <winsock2.h>
//
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/base64.h"
#include "platform/mail/mail_transport.h"
#include "platform/mail/smtp_socket_win.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {
namespace {

using Steady = std::chrono::steady_clock;

// Far above what servers send (512 by the standard), far below what could hurt.
constexpr size_t kMaxLine = 4096;
constexpr size_t kMaxReplyLines = 200;

struct Reply {
    int code = 0;
    std::vector<std::string> lines;  // the text after the code, one per line
};

// A server's words as they may go into a log line.
std::string shown(std::string_view text) {
    std::string out;
    for (const char c : text.substr(0, 200)) out += (c >= 0x20 && c < 0x7f) ? c : '?';
    if (text.size() > 200) out += "...";
    return out;
}

// A host name or address as getaddrinfo takes it, and as a certificate names it.
bool plainHost(const std::string& host) {
    if (host.empty() || host.size() > 253) return false;
    return std::all_of(host.begin(), host.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '.' || c == '-' || c == ':' || c == '_';
    });
}

// An address goes between angle brackets in one command line.
bool plainAddress(const std::string& address) {
    return address.size() <= 320 && std::none_of(address.begin(), address.end(), [](char c) {
               return static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == '<' || c == '>';
           });
}

// The name this machine gives itself in EHLO.
std::string machineName() {
    wchar_t name[256];
    DWORD size = 256;
    std::string out;
    if (::GetComputerNameExW(ComputerNameDnsFullyQualified, name, &size))
        out = win::utf8({name, size});
    const bool usable = !out.empty() && out.size() <= 253 &&
                        std::all_of(out.begin(), out.end(), [](unsigned char c) {
                            return std::isalnum(c) || c == '.' || c == '-';
                        });
    return usable ? out : "localhost";
}

// The message as DATA carries it: CR LF line ends, a dot doubled at a line's
// start, the closing dot line.
std::string dataOf(std::string_view message) {
    std::string out;
    out.reserve(message.size() + message.size() / 64 + 8);
    bool lineStart = true;
    for (size_t i = 0; i < message.size(); ++i) {
        const char c = message[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < message.size() && message[i + 1] == '\n') ++i;
            out += "\r\n";
            lineStart = true;
            continue;
        }
        if (lineStart && c == '.') out += '.';
        out += c;
        lineStart = false;
    }
    if (!lineStart) out += "\r\n";
    out += ".\r\n";
    return out;
}

// One connection: the socket, TLS once it is on, and what was read but not
// yet used. Once `broken` it takes no more commands. Each wait on the server
// ends after `patience`, and every wait by the session's deadline.
class Link {
  public:
    Link(Steady::time_point deadline, std::chrono::milliseconds patience)
        : session_(deadline), patience_(patience) {}

    std::string connect(const MailServer& server) {
        return failing(socket_.connect(server.host, server.port, waitEnd()));
    }
    std::string startTls(const std::string& host) {
        // Bytes read before the handshake would pass for protected ones.
        if (!in_.empty())
            return failing("メールサーバーが TLS の前に送るはずのないデータを送ってきました");
        tls_ = std::make_unique<smtp::Tls>();
        return failing(tls_->start(socket_, host, waitEnd()));
    }
    std::string write(std::string_view bytes) {
        if (broken_) return "メールサーバーとの接続が切れました";
        const auto until = waitEnd();
        return failing(tls_ ? tls_->sendAll(socket_, bytes, until) : socket_.sendAll(bytes, until));
    }
    // A command line of ours: CR and LF only as its end.
    std::string command(std::string_view line, Reply& reply) {
        if (line.find_first_of("\r\n") != std::string_view::npos)
            return "メールのコマンドに改行が含まれています";
        if (std::string why = write(std::string(line) + "\r\n"); !why.empty()) return why;
        return readReply(reply);
    }
    std::string readReply(Reply& reply) {
        reply = {};
        for (;;) {
            if (reply.lines.size() >= kMaxReplyLines)
                return failing("メールサーバーの応答が長すぎます");
            std::string line;
            if (std::string why = readLine(line); !why.empty()) return why;
            const bool coded = line.size() >= 3 && line[0] >= '2' && line[0] <= '5' &&
                               std::isdigit(static_cast<unsigned char>(line[1])) &&
                               std::isdigit(static_cast<unsigned char>(line[2])) &&
                               (line.size() == 3 || line[3] == ' ' || line[3] == '-');
            if (!coded)
                return failing("メールサーバーの応答が SMTP ではありません: " + shown(line));
            const int code = std::stoi(line.substr(0, 3));
            if (!reply.lines.empty() && code != reply.code)
                return failing("メールサーバーの応答が SMTP ではありません: " + shown(line));
            reply.code = code;
            reply.lines.push_back(line.size() > 4 ? line.substr(4) : std::string());
            if (line.size() == 3 || line[3] == ' ') break;
        }
        // The server is closing: nothing more can go over this connection.
        if (reply.code == 421) broken_ = true;
        return {};
    }
    bool broken() const { return broken_; }
    void setDeadline(Steady::time_point deadline) { session_ = deadline; }
    void setPatience(std::chrono::milliseconds patience) { patience_ = patience; }

  private:
    std::string failing(std::string why) {
        if (!why.empty()) broken_ = true;
        return why;
    }
    std::string readLine(std::string& line) {
        for (;;) {
            const size_t end = in_.find('\n');
            if (end != std::string::npos) {
                if (end > kMaxLine) break;
                line = in_.substr(0, end);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                in_.erase(0, end + 1);
                return {};
            }
            if (in_.size() > kMaxLine) break;
            if (broken_) return "メールサーバーとの接続が切れました";
            const auto until = waitEnd();
            const std::string why =
                tls_ ? tls_->receive(socket_, in_, until) : socket_.receive(in_, until);
            if (!why.empty()) return failing(why);
        }
        return failing("メールサーバーの応答の行が長すぎます");
    }

    Steady::time_point waitEnd() const { return std::min(session_, Steady::now() + patience_); }

    Steady::time_point session_;
    std::chrono::milliseconds patience_;
    smtp::Socket socket_;
    std::unique_ptr<smtp::Tls> tls_;
    std::string in_;
    bool broken_ = false;
};

std::string refused(const char* what, const Reply& reply) {
    std::string out = std::string("メールサーバーが") + what + "を拒否しました: ";
    out += std::to_string(reply.code);
    if (!reply.lines.empty() && !reply.lines[0].empty()) {
        out += ' ';
        out += shown(reply.lines[0]);
    }
    return out;
}

bool positive(const Reply& reply) {
    return reply.code >= 200 && reply.code < 300;
}

// EHLO's answer: the extensions after the first line, as upper-case words.
std::vector<std::vector<std::string>> extensionsOf(const Reply& reply) {
    std::vector<std::vector<std::string>> out;
    for (size_t i = 1; i < reply.lines.size(); ++i) {
        std::vector<std::string> words;
        std::string word;
        for (const char c : reply.lines[i] + ' ') {
            if (c == ' ' || c == '=') {
                if (!word.empty()) words.push_back(word);
                word.clear();
            } else {
                word += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
        }
        if (!words.empty()) out.push_back(std::move(words));
    }
    return out;
}

const std::vector<std::string>* extension(const std::vector<std::vector<std::string>>& all,
                                          const std::string& name) {
    for (const auto& words : all)
        if (words[0] == name) return &words;
    return nullptr;
}

std::string hello(Link& link, const std::string& name,
                  std::vector<std::vector<std::string>>& extensions, bool helo) {
    Reply reply;
    if (std::string why = link.command("EHLO " + name, reply); !why.empty()) return why;
    if (positive(reply)) {
        extensions = extensionsOf(reply);
        return {};
    }
    // An old server without extensions, when none is needed.
    if (!helo || reply.code < 500) return refused("EHLO", reply);
    if (std::string why = link.command("HELO " + name, reply); !why.empty()) return why;
    if (!positive(reply)) return refused("HELO", reply);
    extensions.clear();
    return {};
}

std::string logIn(Link& link, const MailServer& server,
                  const std::vector<std::vector<std::string>>& extensions) {
    const auto* auth = extension(extensions, "AUTH");
    // As libcurl does: a server that asks for no login gets none.
    if (!auth) return {};
    const auto offers = [&](const char* name) {
        return std::find(auth->begin() + 1, auth->end(), name) != auth->end();
    };
    Reply reply;
    if (offers("PLAIN")) {
        const std::string token =
            base64Encoded(std::string(1, '\0') + server.user + '\0' + server.password);
        if (std::string why = link.command("AUTH PLAIN " + token, reply); !why.empty()) return why;
    } else if (offers("LOGIN")) {
        if (std::string why = link.command("AUTH LOGIN", reply); !why.empty()) return why;
        if (reply.code != 334) return refused("ログイン", reply);
        if (std::string why = link.command(base64Encoded(server.user), reply); !why.empty())
            return why;
        if (reply.code != 334) return refused("ログイン", reply);
        if (std::string why = link.command(base64Encoded(server.password), reply); !why.empty())
            return why;
    } else {
        return "メールサーバーがこのプログラムの知るログイン方法 (PLAIN, LOGIN) に対応していません";
    }
    if (reply.code != 235) return refused("ログイン", reply);
    return {};
}

std::string open(Link& link, const MailServer& server) {
    if (std::string why = link.connect(server); !why.empty()) return why;
    if (server.security == MailSecurity::tls)
        if (std::string why = link.startTls(server.host); !why.empty()) return why;
    Reply reply;
    if (std::string why = link.readReply(reply); !why.empty()) return why;
    if (reply.code != 220) return refused("接続", reply);

    const std::string name = machineName();
    const bool needsNothing = server.security == MailSecurity::none && server.user.empty();
    std::vector<std::vector<std::string>> extensions;
    if (std::string why = hello(link, name, extensions, needsNothing); !why.empty()) return why;
    if (server.security == MailSecurity::starttls) {
        if (!extension(extensions, "STARTTLS"))
            return "メールサーバーが STARTTLS に対応していません";
        if (std::string why = link.command("STARTTLS", reply); !why.empty()) return why;
        if (reply.code != 220) return refused("STARTTLS", reply);
        if (std::string why = link.startTls(server.host); !why.empty()) return why;
        if (std::string why = hello(link, name, extensions, false); !why.empty()) return why;
    }
    if (!server.user.empty())
        if (std::string why = logIn(link, server, extensions); !why.empty()) return why;
    return {};
}

// One mail over an open connection. `clean` turns false when a transaction
// was left half done, so the next one starts with RSET; `unsure` turns true
// when the whole message went and its answer did not come.
std::string transfer(Link& link, const MailEnvelope& envelope, std::string_view message,
                     const MailTimeouts& timeouts, bool& clean, bool& unsure) {
    Reply reply;
    if (!clean) {
        if (std::string why = link.command("RSET", reply); !why.empty()) return why;
        if (!positive(reply)) return refused("RSET", reply);
        clean = true;
    }
    clean = false;
    if (std::string why = link.command("MAIL FROM:<" + envelope.from + ">", reply); !why.empty())
        return why;
    if (!positive(reply)) return refused("送信者", reply);
    // One refused address (a user's typo) must not hold back the others' mail.
    size_t taken = 0;
    Reply refusal;
    for (const std::string& address : envelope.to) {
        if (std::string why = link.command("RCPT TO:<" + address + ">", reply); !why.empty())
            return why;
        if (positive(reply))
            ++taken;
        else
            refusal = reply;
    }
    if (taken == 0) return refused("すべての宛先", refusal);
    if (std::string why = link.command("DATA", reply); !why.empty()) return why;
    if (reply.code != 354) return refused("DATA", reply);
    if (std::string why = link.write(dataOf(message)); !why.empty()) return why;
    link.setPatience(timeouts.messageEnd);
    std::string why = link.readReply(reply);
    link.setPatience(timeouts.reply);
    if (!why.empty()) {
        unsure = true;
        return why;
    }
    clean = true;
    if (!positive(reply)) return refused("メール", reply);
    return {};
}

}  // namespace

struct MailSession::Connection {
    MailServer server;
    Steady::time_point deadline;
    MailTimeouts timeouts;
    std::unique_ptr<Link> link;  // open and logged in
    bool clean = true;
};

MailSession::MailSession(MailServer server, std::chrono::steady_clock::time_point deadline,
                         MailTimeouts timeouts)
    : connection_(std::make_unique<Connection>(
          Connection{std::move(server), deadline, timeouts, {}, true})) {}

MailSession::~MailSession() {
    Link* link = connection_->link.get();
    if (!link || link->broken()) return;
    // A polite end, but not one that holds up the pass.
    const auto now = Steady::now();
    if (now >= connection_->deadline) return;
    link->setDeadline(std::min(connection_->deadline, now + std::chrono::seconds(2)));
    Reply reply;
    link->command("QUIT", reply);
}

MailSendResult MailSession::send(const MailEnvelope& envelope, std::string_view message) {
    Connection& c = *connection_;
    if (!plainHost(c.server.host)) return {false, "メールサーバーの名前が正しくありません"};
    if (c.server.port < 1 || c.server.port > 65535)
        return {false, "メールサーバーのポート番号が正しくありません"};
    if (envelope.to.empty()) return {false, "宛先がありません"};
    if (!plainAddress(envelope.from) ||
        !std::all_of(envelope.to.begin(), envelope.to.end(), plainAddress))
        return {false, "メールアドレスが正しくありません"};
    if (Steady::now() >= c.deadline) return {false, "メールサーバーに使える時間が残っていません"};

    if (!c.link) {
        auto link = std::make_unique<Link>(c.deadline, c.timeouts.reply);
        if (std::string why = open(*link, c.server); !why.empty()) return {false, why};
        c.link = std::move(link);
        c.clean = true;
    }
    bool unsure = false;
    std::string why = transfer(*c.link, envelope, message, c.timeouts, c.clean, unsure);
    // A broken connection is not kept: the next mail tries a new one.
    if (c.link->broken()) c.link.reset();
    if (!why.empty()) return {false, why, unsure};
    return {true, {}, false};
}

}  // namespace plenvo::platform
