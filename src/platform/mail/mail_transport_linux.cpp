#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/mail/mail_transport.h"

namespace plenvo::platform {
namespace {

struct EasyDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;

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

// The message handed to libcurl piece by piece.
struct Upload {
    std::string_view rest;
};

size_t readMessage(char* into, size_t size, size_t count, void* user) {
    auto& upload = *static_cast<Upload*>(user);
    const size_t n = std::min(size * count, upload.rest.size());
    std::memcpy(into, upload.rest.data(), n);
    upload.rest.remove_prefix(n);
    return n;
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

}  // namespace

struct MailSession::Connection {
    MailServer server;
    std::chrono::steady_clock::time_point deadline;
    Easy easy;
};

MailSession::MailSession(MailServer server, std::chrono::steady_clock::time_point deadline)
    : connection_(std::make_unique<Connection>(Connection{std::move(server), deadline, nullptr})) {}

MailSession::~MailSession() = default;

MailSendResult MailSession::send(const MailEnvelope& envelope, std::string_view message) {
    Connection& c = *connection_;
    if (!plainHost(c.server.host)) return {false, "mail server name is not valid"};
    if (c.server.port < 1 || c.server.port > 65535) return {false, "mail server port is not valid"};
    if (envelope.to.empty()) return {false, "no recipient"};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        c.deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return {false, "no time left for the mail server in this pass"};

    if (!c.easy) {
        initialiseOnce();
        c.easy.reset(curl_easy_init());
        if (!c.easy) return {false, "libcurl could not start"};
    }
    CURL* curl = c.easy.get();
    // The options are set anew for each mail; the handle keeps its connection.
    curl_easy_reset(curl);
    Recipients recipients;
    for (const std::string& address : envelope.to)
        if (!recipients.add(address)) return {false, "out of memory"};
    Upload upload{message};
    char error[CURL_ERROR_SIZE] = {};
    const std::string url = urlOf(c.server);
    const std::string from = "<" + envelope.from + ">";

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count()));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(left.count()));
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
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));

    const CURLcode done = curl_easy_perform(curl);
    // The options point at this call's locals.
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, nullptr);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    if (done == CURLE_OK) return {true, {}};
    std::string why = error[0] ? error : curl_easy_strerror(done);
    while (!why.empty() && (why.back() == '\n' || why.back() == '\r')) why.pop_back();
    return {false, why};
}

}  // namespace plenvo::platform
