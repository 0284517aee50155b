#include "web/http/http_connection.h"

#include <algorithm>
#include <stdexcept>

namespace plenvo::web {
namespace {

constexpr std::size_t kReadPiece = 16 * 1024;
constexpr std::size_t kWritePiece = 64 * 1024;
// Rounds of one call, so that one busy client cannot keep the loop from the
// others: at most 1 MB of a large answer goes out before the next connection.
constexpr int kRoundsPerCall = 16;
constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

}  // namespace

HttpConnection::HttpConnection(std::unique_ptr<platform::ByteChannel> channel, std::string peer,
                               bool secure, const RequestLimits& limits,
                               std::function<bool(std::size_t)> reserveBody,
                               std::function<void(std::size_t)> releaseBody,
                               ServerClock::time_point now)
    : channel_(std::move(channel)),
      peer_(std::move(peer)),
      secure_(secure),
      reader_(limits),
      reserveBody_(std::move(reserveBody)),
      releaseBody_(std::move(releaseBody)),
      lastActivity_(now) {}

HttpConnection::~HttpConnection() {
    returnBody();
}

void HttpConnection::returnBody() {
    if (bodyHeld_ > 0) releaseBody_(bodyHeld_);
    bodyHeld_ = 0;
}

void HttpConnection::progress(ServerClock::time_point now) {
    if (phase_ == Phase::reading)
        read(now);
    else if (phase_ == Phase::writing)
        write(now);
}

void HttpConnection::read(ServerClock::time_point now) {
    for (int round = 0; round < kRoundsPerCall; ++round) {
        if (!input_.empty()) {
            std::size_t used = 0;
            const ReadStep step = reader_.feed(input_, used);
            input_.erase(0, used);
            if (reader_.started() && !requestStart_) requestStart_ = now;
            if (step == ReadStep::refused)
                return refuse(reader_.refusal().status, reader_.refusal().why, now);
            if (bodyHeld_ == 0 && reader_.bodyLength() > 0) {
                if (!reserveBody_(reader_.bodyLength()))
                    return refuse(503, "too many requests at once; try again", now);
                bodyHeld_ = reader_.bodyLength();
            }
            if (step == ReadStep::complete) {
                request_ = reader_.take();
                request_->peer = peer_;
                request_->secure = secure_;
                requestStart_.reset();
                continueSent_ = false;
                phase_ = Phase::answering;
                return;
            }
            // A reader that leaves bytes of an unfinished request would let input grow.
            if (!input_.empty()) return refuse(400, "bad request", now);
            if (reader_.awaitsContinue() && !continueSent_) {
                // Small enough for any socket's buffer; a client that misses
                // it sends its body after a pause of its own.
                channel_->writeSome(kContinue.data(), kContinue.size());
                continueSent_ = true;
            }
        }
        char piece[kReadPiece];
        const platform::IoResult got = channel_->readSome(piece, sizeof piece);
        if (got.state == platform::IoState::done) {
            lastActivity_ = now;
            input_.append(piece, got.bytes);
            continue;
        }
        if (got.state == platform::IoState::closed || got.state == platform::IoState::failed) {
            phase_ = Phase::ended;
            return;
        }
        lastWait_ = got.state;
        return;
    }
    lastWait_ = platform::IoState::wantRead;
}

HttpRequest HttpConnection::takeRequest() {
    HttpRequest request = std::move(*request_);
    request_.reset();
    return request;
}

void HttpConnection::answer(HttpResponse response, bool keepAlive, bool headOnly,
                            ServerClock::time_point now) {
    returnBody();
    closeAfter_ = !keepAlive;
    output_ = responseHead(response, keepAlive);
    // The head and a small body in one write: no wait for the peer's ack between them.
    if (!headOnly && response.streamed) {
        streamed_ = std::move(response.streamed);
        streamedSize_ = streamed_->size();
        streamedRead_ = 0;
    } else if (!headOnly) {
        output_ += response.body;
    }
    outputSent_ = 0;
    phase_ = Phase::writing;
    lastActivity_ = now;
    ++answered_;
    write(now);
}

void HttpConnection::refuse(int status, std::string_view why, ServerClock::time_point now) {
    request_.reset();
    answer(HttpResponse::text(status, why), false, false, now);
}

std::string_view HttpConnection::pendingOutput() {
    if (outputSent_ < output_.size()) return std::string_view(output_).substr(outputSent_);
    if (!streamed_ || streamedRead_ >= streamedSize_) return {};
    output_.resize(static_cast<std::size_t>(
        std::min<std::uint64_t>(kWritePiece, streamedSize_ - streamedRead_)));
    const std::size_t got = streamed_->readAt(streamedRead_, output_.data(), output_.size());
    // The length went out in the head: a body that ends early cannot be sent.
    if (got == 0) throw std::runtime_error("an answer's file ended before its length");
    output_.resize(got);
    outputSent_ = 0;
    streamedRead_ += got;
    return output_;
}

void HttpConnection::write(ServerClock::time_point now) {
    for (int round = 0; round < kRoundsPerCall; ++round) {
        const std::string_view pending = pendingOutput();
        if (pending.empty()) {
            streamed_.reset();
            output_ = std::string();  // an idle connection keeps no buffer
            outputSent_ = 0;
            if (closeAfter_) {
                phase_ = Phase::ended;
                return;
            }
            phase_ = Phase::reading;
            lastActivity_ = now;
            lastWait_ = platform::IoState::wantRead;
            // The next request may be here already, or held inside TLS.
            return read(now);
        }
        const platform::IoResult put = channel_->writeSome(pending.data(), pending.size());
        if (put.state == platform::IoState::done) {
            outputSent_ += put.bytes;
            lastActivity_ = now;
            continue;
        }
        if (put.state == platform::IoState::closed || put.state == platform::IoState::failed) {
            phase_ = Phase::ended;
            return;
        }
        lastWait_ = put.state;
        return;
    }
    lastWait_ = platform::IoState::wantWrite;
}

bool HttpConnection::waitsToRead() const {
    if (phase_ == Phase::reading) return lastWait_ != platform::IoState::wantWrite;
    return phase_ == Phase::writing && lastWait_ == platform::IoState::wantRead;
}

bool HttpConnection::waitsToWrite() const {
    if (phase_ == Phase::writing) return lastWait_ != platform::IoState::wantRead;
    return phase_ == Phase::reading && lastWait_ == platform::IoState::wantWrite;
}

std::optional<ServerClock::time_point> HttpConnection::deadline(
    std::chrono::milliseconds idle, std::chrono::milliseconds wholeRequest) const {
    if (phase_ == Phase::ended) return std::nullopt;
    // The site bounds its own waits; this only keeps a lost answer from
    // holding the connection for ever.
    if (phase_ == Phase::answering) return lastActivity_ + 4 * wholeRequest;
    auto until = lastActivity_ + idle;
    if (phase_ == Phase::reading && requestStart_)
        until = std::min(until, *requestStart_ + wholeRequest);
    return until;
}

}  // namespace plenvo::web
