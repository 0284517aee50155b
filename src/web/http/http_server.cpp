#include "web/http/http_server.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <new>
#include <thread>
#include <unordered_map>

#include "web/http/http_connection.h"
#include "web/http/task_pool.h"

namespace plenvo::web {
namespace {

constexpr std::size_t kAcceptsPerTurn = 64;
constexpr std::chrono::milliseconds kLongestWait{1000};

}  // namespace

struct HttpServer::Loop {
    Loop(std::vector<platform::StreamListener> listenersIn,
         std::shared_ptr<const platform::TlsServer> tlsIn, HttpHandler handlerIn,
         platform::FailureLog& failuresIn, ServerLimits limitsIn)
        : limits(limitsIn),
          handler(std::move(handlerIn)),
          failures(failuresIn),
          listeners(std::move(listenersIn)),
          tls(std::move(tlsIn)),
          pagePool(limits.pageThreads, limits.pageWaiting),
          slowPool(limits.slowThreads, limits.slowWaiting),
          thread([this] { run(); }) {}

    ~Loop() {
        stopping = true;
        waker.wake();
        thread.join();
    }

    struct Entry {
        std::unique_ptr<HttpConnection> connection;
        bool withSite = false;  // its request is on a pool
    };
    struct Answered {
        std::uint64_t id;
        HttpResponse response;
        bool keepAlive;
        bool headOnly;
    };

    void run();
    void turn();
    void accept(platform::StreamListener& listener, ServerClock::time_point now);
    void progress(std::uint64_t id, ServerClock::time_point now);
    void settle(std::uint64_t id, ServerClock::time_point now);
    void dispatch(std::uint64_t id, Entry& entry, ServerClock::time_point now);
    void deliverAnswers(ServerClock::time_point now);
    void cutSlow(ServerClock::time_point now);
    void drop(std::uint64_t id);
    HttpResponse answerSafely(const HttpRequest& request);

    const ServerLimits limits;
    const HttpHandler handler;
    platform::FailureLog& failures;
    std::vector<platform::StreamListener> listeners;
    const std::shared_ptr<const platform::TlsServer> tls;
    platform::SocketWaker waker;
    std::atomic<bool> stopping{false};

    std::mutex answeredMutex;
    std::vector<Answered> answered;

    // The loop's own.
    std::unordered_map<std::uint64_t, Entry> connections;
    std::map<std::string, std::size_t, std::less<>> perAddress;
    std::uint64_t nextId = 1;
    std::size_t bodiesHeld = 0;

    // Last but one: their tasks use the members above until they end.
    TaskPool pagePool;
    TaskPool slowPool;
    std::thread thread;
};

void HttpServer::Loop::run() {
    while (!stopping) {
        try {
            turn();
        } catch (const std::exception& e) {
            failures.report("web view", e.what());
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
}

void HttpServer::Loop::turn() {
    std::vector<platform::SocketWait> waits;
    std::vector<std::uint64_t> waitIds;  // beside waits, after the waker and the listeners
    waits.reserve(1 + listeners.size() + connections.size());
    waits.push_back({waker.handle(), true});
    for (const auto& listener : listeners) waits.push_back({listener.handle(), true});
    auto now = ServerClock::now();
    auto wakeAt = now + kLongestWait;
    for (const auto& [id, entry] : connections) {
        const HttpConnection& c = *entry.connection;
        if (const auto deadline = c.deadline(limits.idle, limits.wholeRequest))
            wakeAt = std::min(wakeAt, *deadline);
        if (!c.waitsToRead() && !c.waitsToWrite()) continue;
        waits.push_back({c.handle(), c.waitsToRead(), c.waitsToWrite()});
        waitIds.push_back(id);
    }
    const auto limit = std::chrono::duration_cast<std::chrono::milliseconds>(wakeAt - now);
    platform::waitForSockets(
        waits, std::max(limit, std::chrono::milliseconds(0)) + std::chrono::milliseconds(1));
    now = ServerClock::now();
    if (waits[0].readable) waker.drain();
    deliverAnswers(now);
    for (std::size_t i = 0; i < listeners.size(); ++i)
        if (waits[1 + i].readable) accept(listeners[i], now);
    for (std::size_t i = 0; i < waitIds.size(); ++i) {
        const auto& wait = waits[1 + listeners.size() + i];
        if (wait.readable || wait.writable) progress(waitIds[i], now);
    }
    cutSlow(now);
}

void HttpServer::Loop::accept(platform::StreamListener& listener, ServerClock::time_point now) {
    for (std::size_t n = 0; n < kAcceptsPerTurn; ++n) {
        auto accepted = listener.accept();
        if (!accepted) return;
        const std::string peer = accepted->peer();
        // Over a limit the connection is closed at once: holding it unanswered
        // would only fill the system's queue for everyone.
        if (connections.size() >= limits.connections) continue;
        if (!peer.empty() && perAddress[peer] >= limits.perAddress) continue;
        try {
            std::unique_ptr<platform::ByteChannel> channel =
                tls ? tls->wrap(std::move(*accepted))
                    : std::make_unique<platform::StreamConnection>(std::move(*accepted));
            auto connection = std::make_unique<HttpConnection>(
                std::move(channel), peer, tls != nullptr, limits.request,
                [this](std::size_t bytes) {
                    if (bodiesHeld + bytes > limits.bodyBudget) return false;
                    bodiesHeld += bytes;
                    return true;
                },
                [this](std::size_t bytes) { bodiesHeld -= std::min(bodiesHeld, bytes); }, now);
            connections.emplace(nextId++, Entry{std::move(connection)});
            if (!peer.empty()) ++perAddress[peer];
        } catch (const std::bad_alloc&) {
            return;
        }
    }
}

void HttpServer::Loop::progress(std::uint64_t id, ServerClock::time_point now) {
    const auto found = connections.find(id);
    if (found == connections.end()) return;
    try {
        found->second.connection->progress(now);
    } catch (const std::exception&) {
        found->second.connection->end();  // a body that cannot be read, or no memory
    }
    settle(id, now);
}

// After a connection moved: drop it once it ended, hand on a complete request.
void HttpServer::Loop::settle(std::uint64_t id, ServerClock::time_point now) {
    const auto found = connections.find(id);
    if (found == connections.end()) return;
    Entry& entry = found->second;
    const auto phase = entry.connection->phase();
    if (phase == HttpConnection::Phase::ended) return drop(id);
    if (phase == HttpConnection::Phase::answering && !entry.withSite) dispatch(id, entry, now);
    if (entry.connection->phase() == HttpConnection::Phase::ended) drop(id);
}

void HttpServer::Loop::dispatch(std::uint64_t id, Entry& entry, ServerClock::time_point now) {
    HttpConnection& c = *entry.connection;
    try {
        HttpRequest request = c.takeRequest();
        const bool keepAlive = request.keepsAlive() && !stopping &&
                               c.requestsAnswered() + 1 < limits.requestsPerConnection;
        const bool headOnly = request.method == "HEAD";
        const bool slow = handler.waitsOnServers(request);
        auto task = [this, id, keepAlive, headOnly, request = std::move(request)] {
            try {
                HttpResponse response = answerSafely(request);
                {
                    std::lock_guard lock(answeredMutex);
                    answered.push_back({id, std::move(response), keepAlive, headOnly});
                }
                waker.wake();
            } catch (...) {
                // No memory even for the answer: the connection is cut by the
                // loop's deadline for answers.
            }
        };
        if ((slow ? slowPool : pagePool).offer(std::move(task)))
            entry.withSite = true;
        else
            c.refuse(503, "busy; try again shortly", now);
    } catch (const std::exception&) {
        c.end();
    }
}

HttpResponse HttpServer::Loop::answerSafely(const HttpRequest& request) {
    try {
        return handler.answer(request);
    } catch (const std::bad_alloc&) {
        return HttpResponse::text(500, "the console has no memory for this request now");
    } catch (const std::exception& e) {
        failures.report("web view", std::string("a request failed: ") + e.what());
        return HttpResponse::text(500, "failed");
    }
}

void HttpServer::Loop::deliverAnswers(ServerClock::time_point now) {
    std::vector<Answered> ready;
    {
        std::lock_guard lock(answeredMutex);
        ready.swap(answered);
    }
    for (Answered& a : ready) {
        const auto found = connections.find(a.id);
        if (found == connections.end()) continue;  // cut meanwhile
        found->second.withSite = false;
        try {
            found->second.connection->answer(std::move(a.response), a.keepAlive, a.headOnly, now);
        } catch (const std::exception&) {
            found->second.connection->end();
        }
        settle(a.id, now);
    }
}

void HttpServer::Loop::cutSlow(ServerClock::time_point now) {
    std::vector<std::uint64_t> late;
    for (const auto& [id, entry] : connections) {
        const auto deadline = entry.connection->deadline(limits.idle, limits.wholeRequest);
        if (deadline && now >= *deadline) late.push_back(id);
    }
    for (const std::uint64_t id : late) drop(id);
}

void HttpServer::Loop::drop(std::uint64_t id) {
    const auto found = connections.find(id);
    if (found == connections.end()) return;
    const std::string& peer = found->second.connection->peer();
    if (!peer.empty()) {
        const auto count = perAddress.find(peer);
        if (count != perAddress.end() && --count->second == 0) perAddress.erase(count);
    }
    connections.erase(found);
}

HttpServer::HttpServer(std::vector<platform::StreamListener> listeners,
                       std::shared_ptr<const platform::TlsServer> tls, HttpHandler handler,
                       platform::FailureLog& failures, ServerLimits limits)
    : loop_(std::make_unique<Loop>(std::move(listeners), std::move(tls), std::move(handler),
                                   failures, limits)) {}

HttpServer::~HttpServer() = default;

}  // namespace plenvo::web
