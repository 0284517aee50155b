#include "web/http/request_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace plenvo::web {
namespace {

using Headers = std::vector<std::pair<std::string, std::string>>;

auto fieldsOf(const HttpRequest& r) {
    return std::tie(r.method, r.target, r.minorVersion, r.headers, r.body);
}

struct Reading {
    std::vector<HttpRequest> requests;
    int refusedWith = 0;  // the refusal's status, 0 while none
    std::size_t leftOver = 0;
};

// Feeds `bytes` in pieces of `piece` bytes as a connection would: what the
// reader leaves is fed again after take().
Reading readAll(std::string_view bytes, std::size_t piece, RequestLimits limits = {}) {
    RequestReader reader(limits);
    Reading reading;
    std::string pending;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        pending.append(bytes.substr(at, piece));
        for (;;) {
            std::size_t used = 0;
            const ReadStep step = reader.feed(pending, used);
            EXPECT_LE(used, pending.size());
            pending.erase(0, used);
            if (step == ReadStep::refused) {
                reading.refusedWith = reader.refusal().status;
                return reading;
            }
            if (step == ReadStep::needMore) break;
            reading.requests.push_back(reader.take());
        }
    }
    reading.leftOver = pending.size();
    return reading;
}

int statusOf(std::string_view bytes, RequestLimits limits = {}) {
    return readAll(bytes, bytes.size(), limits).refusedWith;
}

TEST(RequestReader, WholeAndByteByByteReadTheSame) {
    const std::string pipelined =
        "\r\nGET /a?x=1 HTTP/1.1\r\nHost: h\r\nX-Tab:\t v \t\r\n\r\n"
        "POST /b HTTP/1.0\nContent-Length: 5\ncontent-length: 05\n\nhello\r\n"
        "GET /c HTTP/1.1\r\nContent-Length: 2\r\n\r\nokGET /d HTTP/1.1\r\n\r\n";
    const Reading whole = readAll(pipelined, pipelined.size());
    ASSERT_EQ(whole.refusedWith, 0);
    ASSERT_EQ(whole.requests.size(), 4u);
    EXPECT_EQ(whole.requests[0].target, "/a?x=1");
    EXPECT_EQ(whole.requests[0].headers, (Headers{{"host", "h"}, {"x-tab", "v"}}));
    EXPECT_EQ(whole.requests[1].minorVersion, 0);
    EXPECT_EQ(whole.requests[1].body, "hello");
    EXPECT_EQ(whole.requests[2].body, "ok") << "GET with a body";
    EXPECT_EQ(whole.requests[3].target, "/d");

    for (const std::size_t piece : {1, 2, 7}) {
        const Reading pieces = readAll(pipelined, piece);
        ASSERT_EQ(pieces.requests.size(), whole.requests.size()) << piece;
        for (std::size_t i = 0; i < whole.requests.size(); ++i)
            EXPECT_EQ(fieldsOf(pieces.requests[i]), fieldsOf(whole.requests[i])) << piece;
        EXPECT_EQ(pieces.leftOver, 0u);
    }
}

TEST(RequestReader, EachLimitHoldsAtItsValueAndRefusesOneMore) {
    const RequestLimits limits{.line = 32, .headers = 64, .headerCount = 3, .body = 10};
    const std::string head = "GET / HTTP/1.1\r\n";
    // A request line of exactly 32 bytes with its CR LF, then one longer.
    const std::string line32 = "GET /" + std::string(16, 'a') + " HTTP/1.1\r\n";
    ASSERT_EQ(line32.size(), 32u);
    EXPECT_EQ(statusOf(line32 + "\r\n", limits), 0);
    EXPECT_EQ(statusOf("GET /a" + line32.substr(5) + "\r\n", limits), 414);
    // Refused once the limit is reached, without waiting for the LF.
    EXPECT_EQ(readAll(line32.substr(0, 31), 1, limits).refusedWith, 0);
    EXPECT_EQ(readAll(line32.substr(0, 30) + "x", 1, limits).refusedWith, 0);
    EXPECT_EQ(readAll(line32.substr(0, 30) + "xx", 1, limits).refusedWith, 414);

    const std::string field32 = "X: " + std::string(27, 'v') + "\r\n";
    EXPECT_EQ(statusOf(head + field32 + "\r\n", limits), 0);
    EXPECT_EQ(statusOf(head + "X: v" + field32.substr(3) + "\r\n", limits), 431);

    // Two 32-byte lines fill the 64 bytes of header lines.
    EXPECT_EQ(statusOf(head + field32 + field32 + "\r\n", limits), 0);
    EXPECT_EQ(statusOf(head + field32 + field32 + "Y:\r\n\r\n", limits), 431);
    EXPECT_EQ(readAll(head + field32 + field32 + "Y", 1, limits).refusedWith, 0);
    EXPECT_EQ(readAll(head + field32 + field32 + "Y:", 1, limits).refusedWith, 431);

    EXPECT_EQ(statusOf(head + "A:\r\nB:\r\nC:\r\n\r\n", limits), 0);
    EXPECT_EQ(statusOf(head + "A:\r\nB:\r\nC:\r\nD:\r\n\r\n", limits), 431);

    EXPECT_EQ(statusOf(head + "Content-Length: 10\r\n\r\n0123456789", limits), 0);
    // Refused on the head alone: the body never comes.
    EXPECT_EQ(statusOf(head + "Content-Length: 11\r\n\r\n", limits), 413);
}

TEST(RequestReader, RefusalsAnswerWithTheirStatusAndStay) {
    const std::pair<const char*, int> cases[] = {
        {"GET http://h/ HTTP/1.1\r\n\r\n", 400},
        {"OPTIONS * HTTP/1.1\r\n\r\n", 400},
        {"GET /a b HTTP/1.1\r\n\r\n", 400},
        {"GET  / HTTP/1.1\r\n\r\n", 400},
        {"GET /\x01 HTTP/1.1\r\n\r\n", 400},
        {"G(T / HTTP/1.1\r\n\r\n", 400},
        {"GET / http/1.1\r\n\r\n", 400},
        {"GET / HTTP/1.1 \r\n\r\n", 400},
        {"GET / HTTP/1.1\r\r\n\r\n", 400},
        {"GET / HTTP/2.0\r\n\r\n", 505},
        {"GET / HTTP/11.1\r\n\r\n", 400},
        {"\r\n\r\n\r\n\r\n\r\nGET / HTTP/1.1\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nHost : h\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nHost\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nA: 1\r\n  folded\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nA: x\ry\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 501},
        {"POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab", 400},
        {"POST / HTTP/1.1\r\nContent-Length: +1\r\n\r\nb", 400},
        {"POST / HTTP/1.1\r\nContent-Length: 1, 1\r\n\r\nb", 400},
        {"POST / HTTP/1.1\r\nContent-Length: 18446744073709551616\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nContent-Length: 18446744073709551615\r\n\r\n", 413},
    };
    for (const auto& [request, status] : cases) EXPECT_EQ(statusOf(request), status) << request;

    RequestReader reader;
    std::size_t used = 1;
    ASSERT_EQ(reader.feed("BAD\r\n", used), ReadStep::refused);
    reader.take();
    EXPECT_EQ(reader.feed("GET / HTTP/1.1\r\n\r\n", used), ReadStep::refused);
    EXPECT_EQ(used, 0u);
}

TEST(RequestReader, StateTheServerAsksAbout) {
    RequestReader reader;
    std::size_t used = 0;
    const std::string_view two = "GET /1 HTTP/1.1\r\n\r\nGET /2 HTTP/1.1\r\n\r\n";
    ASSERT_EQ(reader.feed(two, used), ReadStep::complete);
    EXPECT_EQ(used, two.size() / 2);
    EXPECT_EQ(reader.feed(two.substr(used), used), ReadStep::complete) << "until taken";
    EXPECT_EQ(used, 0u);
    EXPECT_EQ(reader.take().target, "/1");

    EXPECT_EQ(reader.feed("\r\n\r", used), ReadStep::needMore);
    EXPECT_FALSE(reader.started()) << "empty lines only";
    const std::string_view head =
        "\nPUT /u HTTP/1.1\r\nExpect: 100-Continue\r\nContent-Length: 3\r\n\r\n";
    EXPECT_EQ(reader.feed(head.substr(0, 2), used), ReadStep::needMore);
    EXPECT_TRUE(reader.started());
    EXPECT_EQ(reader.bodyLength(), 0u);
    EXPECT_EQ(reader.feed(head.substr(2), used), ReadStep::needMore);
    EXPECT_EQ(reader.bodyLength(), 3u);
    EXPECT_TRUE(reader.awaitsContinue());
    EXPECT_EQ(reader.feed("abc", used), ReadStep::complete);
    EXPECT_FALSE(reader.awaitsContinue());
    EXPECT_EQ(reader.take().body, "abc");

    const auto awaits = [](std::string_view request) {
        RequestReader r;
        std::size_t n = 0;
        r.feed(request, n);
        return r.awaitsContinue();
    };
    EXPECT_FALSE(awaits("PUT /u HTTP/1.0\r\nExpect: 100-continue\r\nContent-Length: 3\r\n\r\n"));
    EXPECT_FALSE(awaits("PUT /u HTTP/1.1\r\nExpect: 100-continue\r\n\r\n"));
}

TEST(HttpRequest, KeepsAliveByVersionAndConnectionTokens) {
    const auto keeps = [](int minor, Headers headers) {
        HttpRequest request;
        request.minorVersion = minor;
        request.headers = std::move(headers);
        return request.keepsAlive();
    };
    EXPECT_TRUE(keeps(1, {}));
    EXPECT_TRUE(keeps(1, {{"connection", "closed, keep-alive"}}));
    EXPECT_FALSE(keeps(1, {{"connection", "Upgrade,  CLOSE "}}));
    EXPECT_FALSE(keeps(1, {{"connection", "keep-alive"}, {"connection", "close"}}));
    EXPECT_FALSE(keeps(0, {}));
    EXPECT_FALSE(keeps(0, {{"x-connection", "keep-alive"}}));
    EXPECT_TRUE(keeps(0, {{"connection", "Keep-Alive"}}));
    EXPECT_FALSE(keeps(0, {{"connection", "keep-alive, close"}}));
}

}  // namespace
}  // namespace plenvo::web
