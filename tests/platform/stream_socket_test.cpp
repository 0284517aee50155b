#include "platform/network/stream_socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace plenvo::platform {
namespace {

using namespace std::chrono_literals;

// A client of `listener` and the server's side of it.
struct LoopbackPair {
    explicit LoopbackPair(StreamListener& listener)
        : client(std::get<StreamConnection>(
              StreamConnection::connectTo("127.0.0.1", listener.port(), 2s))) {
        SocketWait wait{.handle = listener.handle(), .forRead = true};
        if (waitForSockets({&wait, 1}, 2s) == 1) server = listener.accept();
    }
    StreamConnection client;
    std::optional<StreamConnection> server;
};

// What `from` reads within a second, up to the end of its stream.
std::string bytesWithin(ByteChannel& from, std::size_t count) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + 1s;
    char buffer[256];
    for (IoResult r; got.size() < count && std::chrono::steady_clock::now() < deadline;) {
        r = from.readSome(buffer, sizeof buffer);
        if (r.state != IoState::done && r.state != IoState::wantRead) break;
        got.append(buffer, r.bytes);
        SocketWait wait{.handle = from.handle(), .forRead = true};
        if (r.state == IoState::wantRead) waitForSockets({&wait, 1}, 100ms);
    }
    return got;
}

TEST(StreamSocket, BytesGoBothWaysAndThePeersEndShowsAsClosed) {
    auto listener = std::get<StreamListener>(StreamListener::onTcp("127.0.0.1", 0));
    ASSERT_GT(listener.port(), 0);
    // Nothing waits: the answer comes at once, without blocking.
    EXPECT_FALSE(listener.accept());

    std::optional pair = LoopbackPair(listener);
    ASSERT_TRUE(pair->server);
    StreamConnection& server = *pair->server;
    EXPECT_EQ(server.peer(), "127.0.0.1");
    char byte;
    EXPECT_EQ(server.readSome(&byte, 1).state, IoState::wantRead);
    EXPECT_EQ(pair->client.writeSome("ping", 4).bytes, 4u);
    EXPECT_EQ(bytesWithin(server, 4), "ping");
    EXPECT_EQ(server.writeSome("pong", 4).bytes, 4u);
    EXPECT_EQ(bytesWithin(pair->client, 4), "pong");

    StreamConnection kept = std::move(*pair->server);
    pair.reset();
    SocketWait wait{.handle = kept.handle(), .forRead = true};
    EXPECT_EQ(waitForSockets({&wait, 1}, 2s), 1);
    EXPECT_EQ(kept.readSome(&byte, 1).state, IoState::closed);
    // Writing on to a peer that has gone fails; it does not end the program.
    IoState wrote = IoState::done;
    for (int i = 0; i < 200 && wrote == IoState::done; ++i) {
        wrote = kept.writeSome("x", 1).state;
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(wrote, IoState::failed);
}

TEST(StreamSocket, OnlyOneListenerHasAPort) {
    auto first = std::get<StreamListener>(StreamListener::onTcp("127.0.0.1", 0));
    auto second = StreamListener::onTcp("127.0.0.1", first.port());
    ASSERT_TRUE(std::holds_alternative<ListenRefusal>(second));
    EXPECT_TRUE(std::get<ListenRefusal>(second).addressTaken)
        << std::get<ListenRefusal>(second).why;

    auto unknown = StreamListener::onTcp("no-such-host.invalid", 0);
    ASSERT_TRUE(std::holds_alternative<ListenRefusal>(unknown));
    EXPECT_FALSE(std::get<ListenRefusal>(unknown).addressTaken);
}

TEST(StreamSocket, NamesResolveAndIpv4ClientsOfADualStackListenerShowAsIpv4) {
    EXPECT_TRUE(std::holds_alternative<StreamListener>(StreamListener::onTcp("localhost", 0)));
    EXPECT_TRUE(std::holds_alternative<std::string>(
        StreamConnection::connectTo("no-such-host.invalid", 80, 2s)));

    auto both = StreamListener::onTcp("::", 0);
    if (!std::holds_alternative<StreamListener>(both)) GTEST_SKIP() << "no IPv6 here";
    LoopbackPair pair(std::get<StreamListener>(both));
    ASSERT_TRUE(pair.server);
    EXPECT_EQ(pair.server->peer(), "127.0.0.1");
}

TEST(StreamSocket, AWaitEndsAtItsLimitOrWhenWokenFromAnotherThread) {
    SocketWaker waker;
    SocketWait wait{.handle = waker.handle(), .forRead = true};
    EXPECT_EQ(waitForSockets({&wait, 1}, 10ms), 0);
    EXPECT_FALSE(wait.readable);

    std::thread other([&] {
        std::this_thread::sleep_for(20ms);
        waker.wake();
        waker.wake();
    });
    EXPECT_EQ(waitForSockets({&wait, 1}, 5s), 1);
    EXPECT_TRUE(wait.readable);
    other.join();
    waker.drain();
    EXPECT_EQ(waitForSockets({&wait, 1}, 0ms), 0);
}

}  // namespace
}  // namespace plenvo::platform
