#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "platform/core/failure_log.h"
#include "platform/network/stream_socket.h"
#include "platform/network/tls_server.h"
#include "web/http/http_request.h"
#include "web/http/http_response.h"
#include "web/http/request_reader.h"

namespace plenvo::web {

// What clients together can make the server hold, and for how long.
struct ServerLimits {
    RequestLimits request{};
    std::size_t connections = 256;
    std::size_t perAddress = 32;                     // TCP clients; a local socket is a proxy's
    std::chrono::milliseconds idle{10'000};          // nothing sent, or nothing taken
    std::chrono::milliseconds wholeRequest{30'000};  // from its first byte to its last
    std::size_t bodyBudget = 32 * 1024 * 1024;       // request bodies held at once, all clients
    std::size_t pageThreads = 2;
    std::size_t pageWaiting = 64;
    std::size_t slowThreads = 4;  // requests that wait on file servers
    std::size_t slowWaiting = 32;
    std::size_t requestsPerConnection = 1000;
};

// What the server asks of the site behind it. Both are called on the pools'
// threads, several at once.
struct HttpHandler {
    // Whether answering may wait on another machine: such requests run on
    // threads of their own, so that they never hold up the pages.
    std::function<bool(const HttpRequest&)> waitsOnServers;
    // The answer; an exception gives 500 and ends nothing else. HEAD is asked
    // as it came and answered without its body.
    std::function<HttpResponse(const HttpRequest&)> answer;
};

// HTTP/1.1 on the listeners, with TLS when `tls` is given, from construction
// until destruction. One thread moves the bytes of every connection without
// ever waiting on one; the answers are made on two bounded pools.
class HttpServer {
  public:
    // Throws std::system_error when the system has no sockets left for its own use.
    HttpServer(std::vector<platform::StreamListener> listeners,
               std::shared_ptr<const platform::TlsServer> tls, HttpHandler handler,
               platform::FailureLog& failures, ServerLimits limits = {});
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

  private:
    struct Loop;
    std::unique_ptr<Loop> loop_;
};

}  // namespace plenvo::web
