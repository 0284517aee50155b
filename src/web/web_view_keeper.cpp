#include "web/web_view_keeper.h"

#include <utility>

#include "platform/core/journal_line.h"

namespace plenvo::web {
namespace {

// The longest a log or folder request waits on a file server.
constexpr std::chrono::seconds kReachLimit{5};

void tellServed(const WebServer& server) {
    platform::tellLine(platform::LinePriority::info,
                       "PlenvoBackupMng: web view at " + server.url());
}

}  // namespace

std::variant<std::unique_ptr<WebViewKeeper>, std::string> WebViewKeeper::start(
    const WebOptions& options, const platform::BaseFolder& base, platform::FailureLog& failures,
    std::chrono::milliseconds retryEvery) {
    std::unique_ptr<WebViewKeeper> keeper(new WebViewKeeper(options, base, failures, retryEvery));
    auto started = WebServer::start(options, base, failures, kReachLimit, keeper->console_.get());
    if (const auto* refused = std::get_if<WebRefusal>(&started); refused && !refused->addressTaken)
        return refused->why;
    if (auto* server = std::get_if<std::unique_ptr<WebServer>>(&started)) {
        tellServed(**server);
        keeper->server_ = std::move(*server);
    } else {
        failures.report("web view", std::get<WebRefusal>(started).why +
                                        "; tried again every minute while the console goes on");
        keeper->retrying_ = std::thread([k = keeper.get()] { k->keepTrying(); });
    }
    return keeper;
}

WebViewKeeper::WebViewKeeper(WebOptions options, platform::BaseFolder base,
                             platform::FailureLog& failures, std::chrono::milliseconds retryEvery)
    : options_(std::move(options)),
      base_(std::move(base)),
      failures_(failures),
      retryEvery_(retryEvery) {}

WebViewKeeper::~WebViewKeeper() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    ending_.notify_all();
    if (retrying_.joinable()) retrying_.join();
}

bool WebViewKeeper::serving() const {
    const std::lock_guard lock(mutex_);
    return server_ != nullptr;
}

std::optional<std::string> WebViewKeeper::servedAddress() const {
    const std::lock_guard lock(mutex_);
    if (!server_ || !server_->url().starts_with("http")) return std::nullopt;
    // One address only: several sockets from the service manager are told as a list.
    std::string url = server_->url().substr(0, server_->url().find(", "));
    // Every address of this machine: its browser reaches the view on loopback.
    for (const auto& [any, loopback] :
         {std::pair{"://0.0.0.0:", "://127.0.0.1:"}, std::pair{"://[::]:", "://[::1]:"}})
        if (const auto at = url.find(any); at != std::string::npos)
            url.replace(at, std::string_view(any).size(), loopback);
    return url;
}

void WebViewKeeper::keepTrying() {
    std::unique_lock lock(mutex_);
    while (!ending_.wait_for(lock, retryEvery_, [this] { return stopping_; })) {
        lock.unlock();
        auto started = WebServer::start(options_, base_, failures_, kReachLimit, console_.get());
        lock.lock();
        if (auto* server = std::get_if<std::unique_ptr<WebServer>>(&started)) {
            tellServed(**server);
            server_ = std::move(*server);
            return;
        }
        failures_.report("web view", std::get<WebRefusal>(started).why);
    }
}

}  // namespace plenvo::web
