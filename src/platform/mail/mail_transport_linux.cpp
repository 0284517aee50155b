#include <curl/curl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/mail/mail_transport.h"

namespace plenvo::platform {
namespace {

using Steady = std::chrono::steady_clock;

// A recipient list, freed whole.
class Recipients {
  public:
    Recipients() = default;
    ~Recipients() { curl_slist_free_all(list_); }
    Recipients(const Recipients&) = delete;
    Recipients& operator=(const Recipients&) = delete;
    bool add(const std::string& address) {
        curl_slist* grown = curl_slist_append(list_, ("<" + address + ">").c_str());
        if (!grown) return false;
        list_ = grown;
        return true;
    }
    curl_slist* get() const { return list_; }

  private:
    curl_slist* list_ = nullptr;
};

// What one send has seen of the server: when it last heard or sent anything,
// whether libcurl has the whole message, and the server's last reply line.
struct Watch {
    Steady::time_point lastEvent = Steady::now();
    bool messageEnded = false;
    std::string lastReply;
    std::string_view rest;  // the message still to hand over
};

size_t readMessage(char* into, size_t size, size_t count, void* user) {
    auto& watch = *static_cast<Watch*>(user);
    const size_t n = std::min(size * count, watch.rest.size());
    std::memcpy(into, watch.rest.data(), n);
    watch.rest.remove_prefix(n);
    watch.lastEvent = Steady::now();
    // libcurl asks no further once it has the size given: the last piece ends it.
    if (watch.rest.empty()) watch.messageEnded = true;
    return n;
}

int onTraffic(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    auto& watch = *static_cast<Watch*>(user);
    watch.lastEvent = Steady::now();
    if (type == CURLINFO_HEADER_IN) {
        std::string line(data, std::min<size_t>(size, 200));
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        for (char& c : line)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
        watch.lastReply = std::move(line);
    }
    return 0;
}

void initialiseOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// A host name or address as a URL may carry it; anything else could point the
// URL elsewhere (a user part, a path, a second host).
bool plainHost(const std::string& host) {
    if (host.empty() || host.size() > 253) return false;
    return std::all_of(host.begin(), host.end(), [](unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == ':' || c == '_';
    });
}

std::string urlOf(const MailServer& server) {
    const bool literalV6 = server.host.find(':') != std::string::npos;
    const std::string host = literalV6 ? "[" + server.host + "]" : server.host;
    return std::string(server.security == MailSecurity::tls ? "smtps://" : "smtp://") + host + ":" +
           std::to_string(server.port);
}

std::string secondsText(std::chrono::milliseconds span) {
    return std::to_string((span.count() + 999) / 1000) + " 秒";
}

// Why a send failed, for the administrator; the server's own words where it refused.
std::string whyNot(CURLcode code, const Watch& watch) {
    const std::string said =
        watch.lastReply.empty() ? "" : " (サーバーの応答: " + watch.lastReply + ")";
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
            return "メールサーバーの名前を解決できません";
        case CURLE_COULDNT_CONNECT:
            return "メールサーバーに接続できません";
        case CURLE_OPERATION_TIMEDOUT:
            return "メールサーバーが時間内に応答しませんでした";
        case CURLE_LOGIN_DENIED:
            return "メールサーバーへのログインが拒否されました" + said;
        case CURLE_USE_SSL_FAILED:
            return "メールサーバーが STARTTLS に対応していません" + said;
        case CURLE_SSL_CONNECT_ERROR:
            return "メールサーバーとの TLS 接続に失敗しました";
        case CURLE_PEER_FAILED_VERIFICATION:
            return "メールサーバーの証明書を確認できません";
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
            if (!said.empty() && watch.lastReply[0] >= '4')
                return "メールサーバーが受け付けませんでした" + said;
            return "メールサーバーとの接続が切れました";
        case CURLE_WEIRD_SERVER_REPLY:
            return "メールサーバーがメールを受け付けませんでした" + said;
        case CURLE_OUT_OF_MEMORY:
            return "メモリーが足りません";
        default:
            break;
    }
    return std::string("メールを送れませんでした: ") + curl_easy_strerror(code) + said;
}

}  // namespace

struct MailSession::Connection {
    MailServer server;
    Steady::time_point deadline;
    MailTimeouts timeouts;
    CURLM* multi = nullptr;  // holds the open connection between sends
    CURL* easy = nullptr;
    curl_socket_t socket = CURL_SOCKET_BAD;  // the one libcurl has open now

    ~Connection() {
        if (easy && multi) {
            // Closing sends QUIT and waits for its answer; not for minutes.
            curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, 2L);
            curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, 2000L);
            curl_multi_add_handle(multi, easy);
            curl_multi_remove_handle(multi, easy);
        }
        if (easy) curl_easy_cleanup(easy);
        if (multi) curl_multi_cleanup(multi);
    }
};

namespace {

// `user`: where the session keeps the socket libcurl has open.
int onSocket(void* user, curl_socket_t socket, curlsocktype) {
    *static_cast<curl_socket_t*>(user) = socket;
    return CURL_SOCKOPT_OK;
}

int onClose(void* user, curl_socket_t socket) {
    auto& kept = *static_cast<curl_socket_t*>(user);
    if (kept == socket) kept = CURL_SOCKET_BAD;
    return ::close(socket);
}

}  // namespace

MailSession::MailSession(MailServer server, std::chrono::steady_clock::time_point deadline,
                         MailTimeouts timeouts)
    : connection_(std::make_unique<Connection>()) {
    connection_->server = std::move(server);
    connection_->deadline = deadline;
    connection_->timeouts = timeouts;
}

MailSession::~MailSession() = default;

MailSendResult MailSession::send(const MailEnvelope& envelope, std::string_view message) {
    Connection& c = *connection_;
    if (!plainHost(c.server.host)) return {false, "メールサーバーの名前が正しくありません"};
    if (c.server.port < 1 || c.server.port > 65535)
        return {false, "メールサーバーのポート番号が正しくありません"};
    if (envelope.to.empty()) return {false, "宛先がありません"};
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(c.deadline - Steady::now());
    if (left.count() <= 0) return {false, "メールサーバーに使える時間が残っていません"};

    if (!c.easy) {
        initialiseOnce();
        c.multi = curl_multi_init();
        c.easy = curl_easy_init();
        if (!c.multi || !c.easy) return {false, "libcurl を開始できません"};
    }
    CURL* curl = c.easy;
    // The options are set anew for each mail; the multi handle keeps the connection.
    curl_easy_reset(curl);
    Recipients recipients;
    for (const std::string& address : envelope.to)
        if (!recipients.add(address)) return {false, "メモリーが足りません"};
    Watch watch;
    watch.rest = message;
    const std::string url = urlOf(c.server);
    const std::string from = "<" + envelope.from + ">";
    const long messageEndSeconds = static_cast<long>((c.timeouts.messageEnd.count() + 999) / 1000);

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count()));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(std::min(left, c.timeouts.reply).count()));
    // Every reply is watched below; libcurl itself waits on the reply to the
    // end of the message, which may take longest.
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, std::max(1L, messageEndSeconds));
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, onTraffic);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &watch);
    curl_easy_setopt(curl, CURLOPT_SOCKOPTFUNCTION, onSocket);
    curl_easy_setopt(curl, CURLOPT_SOCKOPTDATA, &c.socket);
    curl_easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, onClose);
    curl_easy_setopt(curl, CURLOPT_CLOSESOCKETDATA, &c.socket);
    curl_easy_setopt(curl, CURLOPT_USE_SSL,
                     c.server.security == MailSecurity::none ? static_cast<long>(CURLUSESSL_NONE)
                                                             : static_cast<long>(CURLUSESSL_ALL));
    if (!c.server.user.empty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, c.server.user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, c.server.password.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.c_str());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients.get());
    // One refused address (a user's typo) must not hold back the others' mail.
    // Spelt with three L as libcurl before 8.2 spells it; later ones keep the name.
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT_ALLLOWFAILS, 1L);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, readMessage);
    curl_easy_setopt(curl, CURLOPT_READDATA, &watch);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));

    curl_multi_add_handle(c.multi, curl);
    bool stalled = false;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(c.multi, &running) != CURLM_OK || running == 0) break;
        // Until the message is whole, no wait on the server may pass the reply
        // timeout. Removing the handle would end the message with its closing
        // line, so the connection is cut under libcurl instead.
        if (!stalled && !watch.messageEnded && Steady::now() - watch.lastEvent > c.timeouts.reply &&
            c.socket != CURL_SOCKET_BAD) {
            stalled = true;
            ::shutdown(c.socket, SHUT_RDWR);
        }
        curl_multi_poll(c.multi, nullptr, 0, 100, nullptr);
    }
    CURLcode done = CURLE_OK;
    int queued = 0;
    while (CURLMsg* m = curl_multi_info_read(c.multi, &queued))
        if (m->msg == CURLMSG_DONE) done = m->data.result;
    curl_multi_remove_handle(c.multi, curl);
    // The options point at this call's locals.
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, nullptr);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, nullptr);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, nullptr);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 0L);
    curl_easy_setopt(curl, CURLOPT_READDATA, nullptr);
    if (done == CURLE_OK && !stalled) return {true, {}, false};
    MailSendResult result{false, {}, watch.messageEnded};
    result.error =
        stalled ? "メールサーバーが " + secondsText(c.timeouts.reply) + "以内に応答しませんでした"
                : whyNot(done, watch);
    if (done == CURLE_OPERATION_TIMEDOUT && watch.messageEnded)
        result.error = "メールの送信後、メールサーバーが " +
                       secondsText(std::min<std::chrono::milliseconds>(
                           c.timeouts.messageEnd,
                           std::chrono::duration_cast<std::chrono::milliseconds>(left))) +
                       "以内に受け付けを返しませんでした";
    return result;
}

}  // namespace plenvo::platform
