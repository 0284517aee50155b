#include "http_probe.h"

#include <cctype>
#include <charconv>

namespace plenvo::test {
namespace {

using Clock = std::chrono::steady_clock;
using platform::IoState;

bool waitOn(platform::StreamConnection& c, bool writing, Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    platform::SocketWait wait{c.handle(), !writing, writing};
    return platform::waitForSockets({&wait, 1}, left) > 0;
}

bool sendAll(platform::StreamConnection& c, std::string_view bytes, Clock::time_point deadline) {
    while (!bytes.empty()) {
        const auto put = c.writeSome(bytes.data(), bytes.size());
        if (put.state == IoState::done) {
            bytes.remove_prefix(put.bytes);
        } else if (put.state == IoState::wantWrite || put.state == IoState::wantRead) {
            if (!waitOn(c, true, deadline)) return false;
        } else {
            return false;
        }
    }
    return true;
}

// Parses the head in `got`; the length of the head, or 0 while it is not whole.
std::size_t parsedHead(const std::string& got, HttpReply& reply) {
    const auto end = got.find("\r\n\r\n");
    if (end == std::string::npos) return 0;
    const auto firstSpace = got.find(' ');
    reply.status = std::atoi(got.c_str() + firstSpace + 1);
    std::size_t at = got.find("\r\n") + 2;
    while (at < end) {
        const auto lineEnd = got.find("\r\n", at);
        const std::string line = got.substr(at, lineEnd - at);
        const auto colon = line.find(':');
        std::string name = line.substr(0, colon);
        for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        const auto valueStart = line.find_first_not_of(' ', colon + 1);
        reply.headers[name] = valueStart == std::string::npos ? "" : line.substr(valueStart);
        at = lineEnd + 2;
    }
    return end + 4;
}

}  // namespace

HttpReply exchange(platform::StreamConnection& c, std::string_view request,
                   std::chrono::milliseconds limit, bool headOnly, bool untilClosed) {
    const auto deadline = Clock::now() + limit;
    HttpReply reply;
    if (!sendAll(c, request, deadline)) {
        reply.error = "could not send";
        return reply;
    }
    std::string got;
    std::size_t head = 0;
    for (;;) {
        if (head == 0) head = parsedHead(got, reply);
        if (head > 0 && reply.status == 100) {  // an interim answer
            got.erase(0, head);
            head = 0;
            reply = {};
            continue;
        }
        if (head > 0) {
            const auto length = reply.headers.find("content-length");
            std::size_t want = 0;
            if (length != reply.headers.end())
                std::from_chars(length->second.data(),
                                length->second.data() + length->second.size(), want);
            if (!untilClosed &&
                (headOnly || (length != reply.headers.end() && got.size() - head >= want))) {
                reply.body = got.substr(head, headOnly ? 0 : want);
                return reply;
            }
        }
        char piece[64 * 1024];
        const auto read = c.readSome(piece, sizeof piece);
        if (read.state == IoState::done) {
            got.append(piece, read.bytes);
        } else if (read.state == IoState::wantRead || read.state == IoState::wantWrite) {
            if (!waitOn(c, false, deadline)) {
                reply.error = "no answer in time";
                reply.status = 0;
                return reply;
            }
        } else {
            if (head > 0 && (untilClosed || reply.headers.count("content-length") == 0)) {
                reply.body = got.substr(head);
                return reply;
            }
            reply.error = "closed before a whole answer";
            reply.status = 0;
            return reply;
        }
    }
}

HttpReply httpGet(int port, std::string_view target, std::string_view extraHeaders,
                  std::chrono::milliseconds limit, const std::string& from) {
    auto connected = platform::StreamConnection::connectTo("127.0.0.1", port, limit, from);
    if (auto* why = std::get_if<std::string>(&connected)) return {.error = *why};
    auto& c = std::get<platform::StreamConnection>(connected);
    std::string request = "GET " + std::string(target) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    request += extraHeaders;
    request += "Connection: close\r\n\r\n";
    return exchange(c, request, limit);
}

bool closedAfter(platform::StreamConnection& c, std::string_view bytes,
                 std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    if (!bytes.empty() && !sendAll(c, bytes, deadline)) return true;  // broken is closed
    for (;;) {
        char piece[4096];
        const auto read = c.readSome(piece, sizeof piece);
        if (read.state == IoState::closed || read.state == IoState::failed) return true;
        if (read.state == IoState::done) continue;
        if (!waitOn(c, false, deadline)) return false;
    }
}

}  // namespace plenvo::test
