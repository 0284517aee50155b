#include "web/web_server.h"

#include <system_error>

#include "platform/credentials/secret_file.h"
#include "platform/network/stream_socket.h"
#include "platform/network/tls_server.h"
#include "platform/text/utf8_path.h"
#include "web/http/http_server.h"
#include "web/routes.h"
#include "web/users_watch.h"
#include "web/web_console.h"

namespace plenvo::web {
namespace {

constexpr std::size_t kKeyFileLimit = 1024 * 1024;
constexpr std::size_t kPasswordFileLimit = 64 * 1024;

// The key of the certificate: its PEM file, or the password of the .pfx that
// holds it. Whoever reads either file, or the .pfx, can pose as this console.
std::variant<platform::TlsKey, WebRefusal> tlsKeyOf(const WebOptions& options) {
    if (options.keyFile) {
        if (const auto read = platform::readSecretFile(*options.keyFile, kKeyFileLimit);
            !read.refusal.empty())
            return WebRefusal{"the TLS key " + read.refusal};
        return platform::TlsKey{platform::PemKeyFile{*options.keyFile}};
    }
    if (const auto read = platform::readSecretFile(*options.certFile, kKeyFileLimit);
        !read.refusal.empty())
        return WebRefusal{"the .pfx file " + read.refusal};
    const auto read = platform::readSecretFile(*options.certPasswordFile, kPasswordFileLimit);
    if (!read.refusal.empty()) return WebRefusal{"the password file " + read.refusal};
    if (!read.text)
        return WebRefusal{"cannot read the password file " +
                          platform::utf8Of(*options.certPasswordFile)};
    // The first line; an empty file for a .pfx without a password.
    std::string password = read.text->substr(0, read.text->find('\n'));
    if (password.ends_with('\r')) password.pop_back();
    return platform::TlsKey{platform::PfxPassword{std::move(password)}};
}

// The sockets to serve: those the service manager opened, else the address asked.
std::variant<std::vector<platform::StreamListener>, WebRefusal> listenersFor(
    const WebOptions& options) {
    auto handed = platform::StreamListener::handedOver();
    // The sockets decide who reaches the view, whatever --http says.
    for (const auto& listener : handed)
        if (!options.usersFile && !isLoopback(listener.address()))
            return WebRefusal{"the service manager's socket " +
                              (listener.address().empty()
                                   ? std::string("(a local socket for a proxy)")
                                   : listener.address() + ":" + std::to_string(listener.port())) +
                              " can be reached from other machines: give a users file with "
                              "--http-users FILE"};
    if (!handed.empty()) return handed;
    auto made = options.localSocket
                    ? platform::StreamListener::onLocalSocket(*options.localSocket)
                    : platform::StreamListener::onTcp(options.address, options.port);
    if (auto* refused = std::get_if<platform::ListenRefusal>(&made)) {
        const std::string where = options.localSocket
                                      ? platform::utf8Of(*options.localSocket)
                                      : options.address + ":" + std::to_string(options.port);
        return WebRefusal{"cannot listen on " + where + " (" + refused->why + ")",
                          refused->addressTaken};
    }
    std::vector<platform::StreamListener> listeners;
    listeners.push_back(std::move(std::get<platform::StreamListener>(made)));
    return listeners;
}

// Where the view is served, as the sockets say.
std::string urlOf(const std::vector<platform::StreamListener>& listeners, bool secure) {
    std::string urls;
    for (const auto& listener : listeners) {
        if (!urls.empty()) urls += ", ";
        const std::string address = listener.address();
        if (address.empty()) {
            urls += "a local socket";
            continue;
        }
        const bool v6 = address.find(':') != std::string::npos;
        urls += std::string(secure ? "https" : "http") + "://" +
                (v6 ? "[" + address + "]" : address) + ":" + std::to_string(listener.port());
    }
    return urls;
}

}  // namespace

struct WebServer::Running {
    Running(const platform::BaseFolder& base, platform::FailureLog& failures,
            std::chrono::milliseconds reachLimit, std::unique_ptr<UsersWatch> usersIn,
            const ConsoleLink* console)
        : site(base, failures, reachLimit),
          users(std::move(usersIn)),
          webConsole(site, users.get(), console, failures, base) {}

    const WebSite site;
    const std::unique_ptr<UsersWatch> users;
    WebConsole webConsole;
    std::unique_ptr<HttpServer> server;  // last: it answers with the members above
};

std::variant<std::unique_ptr<WebServer>, WebRefusal> WebServer::start(
    const WebOptions& options, const platform::BaseFolder& base, platform::FailureLog& failures,
    std::chrono::milliseconds reachLimit, const ConsoleLink* console) {
    if (const auto refusal = servingRefusal(options)) return WebRefusal{*refusal};

    std::unique_ptr<UsersWatch> users;
    if (options.usersFile) {
        auto opened = UsersWatch::open(*options.usersFile, failures);
        if (auto* why = std::get_if<std::string>(&opened)) return WebRefusal{*why};
        users = std::move(std::get<std::unique_ptr<UsersWatch>>(opened));
    }

    std::shared_ptr<const platform::TlsServer> tls;
    if (options.certFile) {
        auto key = tlsKeyOf(options);
        if (auto* refused = std::get_if<WebRefusal>(&key)) return std::move(*refused);
        auto loaded = platform::TlsServer::load(*options.certFile, std::get<platform::TlsKey>(key));
        if (auto* why = std::get_if<std::string>(&loaded)) return WebRefusal{*why};
        tls = std::move(std::get<std::shared_ptr<const platform::TlsServer>>(loaded));
    }

    auto listening = listenersFor(options);
    if (auto* refused = std::get_if<WebRefusal>(&listening)) return std::move(*refused);
    auto& listeners = std::get<std::vector<platform::StreamListener>>(listening);
    std::string url = options.localSocket && listeners.size() == 1
                          ? "unix:" + platform::utf8Of(*options.localSocket)
                          : urlOf(listeners, tls != nullptr);

    auto running = std::make_unique<Running>(base, failures, reachLimit, std::move(users), console);
    Running& r = *running;
    HttpHandler handler{
        .waitsOnServers =
            [](const HttpRequest& request) { return WebSite::waitsOnServers(request.target); },
        .answer = [&r](const HttpRequest& request) { return r.webConsole.answer(request); },
    };
    try {
        running->server = std::make_unique<HttpServer>(std::move(listeners), std::move(tls),
                                                       std::move(handler), failures);
    } catch (const std::system_error& e) {
        return WebRefusal{std::string("cannot serve the web view: ") + e.what()};
    }
    return std::unique_ptr<WebServer>(new WebServer(std::move(running), std::move(url)));
}

WebServer::WebServer(std::unique_ptr<Running> running, std::string url)
    : running_(std::move(running)), url_(std::move(url)) {}

WebServer::~WebServer() = default;

}  // namespace plenvo::web
