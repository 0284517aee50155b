#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/network/byte_channel.h"
#include "web/http/http_request.h"
#include "web/http/http_response.h"
#include "web/http/request_reader.h"

namespace plenvo::web {

using ServerClock = std::chrono::steady_clock;

// One client's connection: its requests as they come in, one at a time, and
// the answers as the socket takes them. Never waits; the server's loop calls
// it when the socket is ready.
class HttpConnection {
  public:
    enum class Phase {
        reading,    // a request is coming, or the next one is awaited
        answering,  // the request is with the site
        writing,    // the answer goes out
        ended,      // drop it
    };

    // `reserveBody` is asked before a body of that many bytes is read; a
    // refusal answers 503. `releaseBody` gives it back.
    HttpConnection(std::unique_ptr<platform::ByteChannel> channel, std::string peer, bool secure,
                   const RequestLimits& limits, std::function<bool(std::size_t)> reserveBody,
                   std::function<void(std::size_t)> releaseBody, ServerClock::time_point now);
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    // Moves what the socket has or takes now, in the current phase.
    void progress(ServerClock::time_point now);
    // The complete request, once progress() has reached answering.
    HttpRequest takeRequest();
    // Starts the answer to the request taken.
    void answer(HttpResponse response, bool keepAlive, bool headOnly, ServerClock::time_point now);
    // Answers with `status` and ends the connection after it.
    void refuse(int status, std::string_view why, ServerClock::time_point now);
    void end() { phase_ = Phase::ended; }

    Phase phase() const { return phase_; }
    std::uintptr_t handle() const { return channel_->handle(); }
    const std::string& peer() const { return peer_; }
    // What to wait for before progress() can go on.
    bool waitsToRead() const;
    bool waitsToWrite() const;
    // When the connection is cut for slowness: nothing sent or taken for
    // `idle`, or a request not whole after `wholeRequest`.
    std::optional<ServerClock::time_point> deadline(std::chrono::milliseconds idle,
                                                    std::chrono::milliseconds wholeRequest) const;
    std::size_t requestsAnswered() const { return answered_; }

  private:
    void read(ServerClock::time_point now);
    void write(ServerClock::time_point now);
    // What the answer has still to send now; refills from a streamed body.
    std::string_view pendingOutput();
    void returnBody();

    std::unique_ptr<platform::ByteChannel> channel_;
    const std::string peer_;
    const bool secure_;
    RequestReader reader_;
    std::function<bool(std::size_t)> reserveBody_;
    std::function<void(std::size_t)> releaseBody_;
    std::size_t bodyHeld_ = 0;
    bool continueSent_ = false;

    Phase phase_ = Phase::reading;
    platform::IoState lastWait_ = platform::IoState::wantRead;
    ServerClock::time_point lastActivity_;
    std::optional<ServerClock::time_point> requestStart_;
    std::string input_;  // bytes read and not yet fed (the next request's)
    std::optional<HttpRequest> request_;

    std::string output_;  // head, a small body, or a piece of a streamed one
    std::size_t outputSent_ = 0;
    std::shared_ptr<const BodySource> streamed_;
    std::uint64_t streamedRead_ = 0;
    std::uint64_t streamedSize_ = 0;
    bool closeAfter_ = false;
    std::size_t answered_ = 0;
};

}  // namespace plenvo::web
