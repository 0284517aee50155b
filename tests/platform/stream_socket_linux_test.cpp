#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/network/stream_socket.h"
#include "support/temp_dir.h"

namespace plenvo::platform {
namespace {

using namespace std::chrono_literals;

std::optional<StreamConnection> acceptedWithin(StreamListener& listener) {
    SocketWait wait{.handle = listener.handle(), .forRead = true};
    if (waitForSockets({&wait, 1}, 2s) != 1) return std::nullopt;
    return listener.accept();
}

TEST(StreamSocketLinux, AClientFromAnotherLoopbackAddressShowsThatAddress) {
    auto listener = std::get<StreamListener>(StreamListener::onTcp("127.0.0.1", 0));
    auto client = StreamConnection::connectTo("127.0.0.1", listener.port(), 2s, "127.0.0.2");
    ASSERT_TRUE(std::holds_alternative<StreamConnection>(client)) << std::get<std::string>(client);
    auto server = acceptedWithin(listener);
    ASSERT_TRUE(server);
    EXPECT_EQ(server->peer(), "127.0.0.2");
}

TEST(StreamSocketLinux, APortLeftInTimeWaitCanBeListenedOnAgainAtOnce) {
    auto listener = std::get<StreamListener>(StreamListener::onTcp("127.0.0.1", 0));
    const int port = listener.port();
    auto client = std::get<StreamConnection>(StreamConnection::connectTo("127.0.0.1", port, 2s));
    // The server's side closes first, so that its end stays in TIME_WAIT.
    acceptedWithin(listener).reset();
    SocketWait wait{.handle = client.handle(), .forRead = true};
    waitForSockets({&wait, 1}, 2s);
    { StreamListener gone = std::move(listener); }
    auto again = StreamListener::onTcp("127.0.0.1", port);
    EXPECT_TRUE(std::holds_alternative<StreamListener>(again))
        << std::get<ListenRefusal>(again).why;
}

// A socket file whose program ended without removing it.
void leaveStaleSocket(const std::filesystem::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::listen(fd, 1);
    ::close(fd);
}

TEST(StreamSocketLinux, ALocalSocketIsForOwnerAndGroupReplacesOnlyAStaleOneAndGoesWithIt) {
    test::TempDir dir;
    const auto path = dir.path() / "web.sock";
    leaveStaleSocket(path);
    {
        auto made = StreamListener::onLocalSocket(path);
        ASSERT_TRUE(std::holds_alternative<StreamListener>(made))
            << std::get<ListenRefusal>(made).why;
        auto& listener = std::get<StreamListener>(made);
        EXPECT_EQ(listener.port(), 0);
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0660u);
        auto client = StreamConnection::connectToLocal(path);
        ASSERT_TRUE(std::holds_alternative<StreamConnection>(client));
        auto server = acceptedWithin(listener);
        ASSERT_TRUE(server);
        EXPECT_EQ(server->peer(), "");

        // A socket someone listens on is not a stale one.
        auto second = StreamListener::onLocalSocket(path);
        ASSERT_TRUE(std::holds_alternative<ListenRefusal>(second));
        EXPECT_TRUE(std::get<ListenRefusal>(second).addressTaken);
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(path)));

    test::writeBytes(path, "keep me");
    auto refused = StreamListener::onLocalSocket(path);
    ASSERT_TRUE(std::holds_alternative<ListenRefusal>(refused));
    EXPECT_FALSE(std::get<ListenRefusal>(refused).addressTaken);
    EXPECT_EQ(test::readBytes(path), "keep me");
}

// In a child process of its own: the case takes descriptor 3 and the
// process's environment.
TEST(StreamSocketLinux, SocketsHandedOverBySystemdAreTakenOnceAndOnlyByTheirProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            bool ok = true;
            const auto check = [&](bool good, const char* what) {
                if (!good) std::fprintf(stderr, "failed: %s\n", what);
                ok = ok && good;
            };
            auto made = StreamListener::onTcp("127.0.0.1", 0);
            auto& listener = std::get<StreamListener>(made);
            const int port = listener.port();
            if (listener.handle() != 3) ::dup2(static_cast<int>(listener.handle()), 3);
            ::fcntl(3, F_SETFL, ::fcntl(3, F_GETFL) & ~O_NONBLOCK);
            ::fcntl(3, F_SETFD, 0);

            ::setenv("LISTEN_PID", std::to_string(::getpid() + 1).c_str(), 1);
            ::setenv("LISTEN_FDS", "1", 1);
            check(StreamListener::handedOver().empty(), "another process's sockets taken");

            ::setenv("LISTEN_PID", std::to_string(::getpid()).c_str(), 1);
            ::setenv("LISTEN_FDS", "1", 1);
            ::setenv("LISTEN_FDNAMES", "web", 1);
            auto handed = StreamListener::handedOver();
            check(handed.size() == 1, "one socket");
            check(!std::getenv("LISTEN_PID") && !std::getenv("LISTEN_FDS") &&
                      !std::getenv("LISTEN_FDNAMES"),
                  "environment cleared");
            check(StreamListener::handedOver().empty(), "taken twice");
            if (handed.size() == 1) {
                check(handed[0].port() == port, "port");
                check((::fcntl(3, F_GETFD) & FD_CLOEXEC) != 0, "close-on-exec");
                check((::fcntl(3, F_GETFL) & O_NONBLOCK) != 0, "non-blocking");
                check(!handed[0].accept(), "accept with nobody waiting");
            }
            std::fflush(stderr);
            std::_Exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace plenvo::platform
