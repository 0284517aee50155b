#include "web/web_server.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "platform/credentials/secret_file.h"
#include "platform/network/listening_socket.h"
#include "platform/text/utf8_path.h"
#include "web/routes.h"
#include "web/users_watch.h"

namespace plenvo::web {
namespace {

// Headers on every answer: no guessing of types, nothing framed or sent on,
// no script in any page.
const httplib::Headers kCommonHeaders = {
    {"X-Content-Type-Options", "nosniff"},
    {"X-Frame-Options", "DENY"},
    {"Referrer-Policy", "no-referrer"},
    {"Cache-Control", "no-store"},
    {"Content-Security-Policy",
     "default-src 'self'; style-src 'self' 'unsafe-inline'; script-src 'none'"},
};

constexpr std::size_t kKeyFileLimit = 1024 * 1024;

}  // namespace

struct WebServer::Running {
    Running(WebSite siteIn, std::unique_ptr<UsersWatch> usersIn,
            std::unique_ptr<httplib::Server> in)
        : site(std::move(siteIn)), users(std::move(usersIn)), server(std::move(in)) {}
    ~Running() {
        // stop() reaches a server only once it listens.
        while (thread.joinable() && !finished && !server->is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        server->stop();
        if (thread.joinable()) thread.join();
    }
    const WebSite site;
    const std::unique_ptr<UsersWatch> users;
    std::unique_ptr<httplib::Server> server;
    std::atomic<bool> finished{false};
    std::thread thread;  // last: it serves with the members above
};

std::variant<std::unique_ptr<WebServer>, WebRefusal> WebServer::start(
    const WebOptions& options, const platform::BaseFolder& base, platform::FailureLog& failures,
    std::chrono::milliseconds reachLimit) {
    if (const auto refusal = servingRefusal(options)) return WebRefusal{*refusal};

    std::unique_ptr<UsersWatch> users;
    if (options.usersFile) {
        auto opened = UsersWatch::open(*options.usersFile, failures);
        if (auto* why = std::get_if<std::string>(&opened)) return WebRefusal{*why};
        users = std::move(std::get<std::unique_ptr<UsersWatch>>(opened));
    }

    std::unique_ptr<httplib::Server> server;
    std::string scheme = "http";
#ifdef PLENVO_WEB_TLS
    if (options.certFile) {
        const std::string cert = platform::utf8Of(*options.certFile);
        const std::string key = platform::utf8Of(*options.keyFile);
        // Whoever reads the key can pose as this console.
        if (const auto read = platform::readSecretFile(*options.keyFile, kKeyFileLimit);
            !read.refusal.empty())
            return WebRefusal{"the TLS key " + read.refusal};
        auto tls = std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str());
        if (!tls->is_valid())
            return WebRefusal{"cannot use the certificate " + cert + " with the key " + key +
                              " (both PEM files, readable, the key matching)"};
        server = std::move(tls);
        scheme = "https";
    }
#endif
    if (!server) server = std::make_unique<httplib::Server>();

    auto running = std::make_unique<Running>(WebSite(base, failures, reachLimit), std::move(users),
                                             std::move(server));
    Running& r = *running;
    r.server->set_socket_options(
        [](socket_t socket) { platform::makeSoleListener(static_cast<std::uintptr_t>(socket)); });
    r.server->set_default_headers(kCommonHeaders);
    r.server->set_payload_max_length(64 * 1024);  // nothing is ever posted
    r.server->set_pre_routing_handler(
        [&r](const httplib::Request& request, httplib::Response& response) {
            if (!r.users || r.users->admits(request.get_header_value("Authorization")))
                return httplib::Server::HandlerResponse::Unhandled;
            response.status = 401;
            response.set_header("WWW-Authenticate",
                                "Basic realm=\"Plenvo Backup Manager\", charset=\"UTF-8\"");
            response.set_content("sign in\n", "text/plain; charset=utf-8");
            return httplib::Server::HandlerResponse::Handled;
        });
    r.server->Get(".*", [&r](const httplib::Request& request, httplib::Response& response) {
        const WebResponse answer = r.site.answer(request.target);
        response.status = answer.status;
        response.set_content(answer.body, answer.contentType.c_str());
    });
    r.server->set_exception_handler(
        [&failures](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
            failures.report("web view", "a request failed");
            response.status = 500;
            response.set_content("failed\n", "text/plain; charset=utf-8");
        });

    if (!r.server->bind_to_port(options.address, options.port))
        return WebRefusal{"cannot listen on " + options.address + ":" +
                              std::to_string(options.port) + " (in use, or no such address here)",
                          true};
    r.thread = std::thread([&r] {
        r.server->listen_after_bind();
        r.finished = true;
    });

    const bool v6 = options.address.find(':') != std::string::npos;
    const std::string host = v6 ? "[" + options.address + "]" : options.address;
    return std::unique_ptr<WebServer>(new WebServer(
        std::move(running), scheme + "://" + host + ":" + std::to_string(options.port)));
}

WebServer::WebServer(std::unique_ptr<Running> running, std::string url)
    : running_(std::move(running)), url_(std::move(url)) {}

WebServer::~WebServer() = default;

}  // namespace plenvo::web
