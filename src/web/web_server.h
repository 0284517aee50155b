#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <variant>

#include "platform/core/failure_log.h"
#include "platform/files/base_folder.h"
#include "web/console_link.h"
#include "web/web_options.h"

namespace plenvo::web {

// The web view, served on threads of its own from start() until it is
// destroyed. Requests only read: the pages and images as the console wrote
// them, Mng.mdb through a read-only connection per request, and the agents'
// destinations through the platform's bounded paths.
// Why the web view cannot serve: options it can never serve, or an address
// that another program holds just now.
struct WebRefusal {
    std::string why;
    bool addressTaken = false;
};

class WebServer {
  public:
    // Binds the address and starts serving; or says why it cannot (options
    // this build refuses, a users file or certificate that cannot be read, an
    // address that cannot be bound).
    // `reachLimit` bounds each wait on a machine that holds a destination.
    static std::variant<std::unique_ptr<WebServer>, WebRefusal> start(
        const WebOptions& options, const platform::BaseFolder& base, platform::FailureLog& failures,
        std::chrono::milliseconds reachLimit = std::chrono::seconds(5),
        const ConsoleLink* console = nullptr);

    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // "http://127.0.0.1:8080" and the like, for the line that says it is served.
    const std::string& url() const { return url_; }

  private:
    struct Running;
    explicit WebServer(std::unique_ptr<Running> running, std::string url);

    std::unique_ptr<Running> running_;
    std::string url_;
};

}  // namespace plenvo::web
