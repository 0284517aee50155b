#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <variant>

#include "platform/core/failure_log.h"
#include "platform/files/base_folder.h"
#include "web/console_link.h"
#include "web/web_server.h"

namespace plenvo::web {

// The web view for the console's whole life. An address that another program
// holds when the console starts (or a squatter on its port) does not end the
// console: it is told, and tried again every `retryEvery` until it can be
// served, while the passes go on.
class WebViewKeeper {
  public:
    // Serves, or keeps trying; or says why these options can never serve.
    static std::variant<std::unique_ptr<WebViewKeeper>, std::string> start(
        const WebOptions& options, const platform::BaseFolder& base, platform::FailureLog& failures,
        std::chrono::milliseconds retryEvery);

    ~WebViewKeeper();
    WebViewKeeper(const WebViewKeeper&) = delete;
    WebViewKeeper& operator=(const WebViewKeeper&) = delete;

    // Whether the view is being served now.
    bool serving() const;
    // Its address for a browser on this machine while it is served ("http://127.0.0.1:8080").
    std::optional<std::string> servedAddress() const;
    // The console the view's actions act on.
    ConsoleLink& console() { return *console_; }

  private:
    WebViewKeeper(WebOptions options, platform::BaseFolder base, platform::FailureLog& failures,
                  std::chrono::milliseconds retryEvery);
    void keepTrying();

    const WebOptions options_;
    const platform::BaseFolder base_;
    platform::FailureLog& failures_;
    const std::chrono::milliseconds retryEvery_;
    const std::unique_ptr<ConsoleLink> console_ = std::make_unique<ConsoleLink>();
    mutable std::mutex mutex_;
    std::condition_variable ending_;
    bool stopping_ = false;
    std::unique_ptr<WebServer> server_;
    std::thread retrying_;  // last: it uses the members above
};

}  // namespace plenvo::web
