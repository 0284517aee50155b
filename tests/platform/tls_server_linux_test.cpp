#include <gtest/gtest.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "platform/network/tls_server.h"
#include "platform/process/detached_command.h"
#include "support/temp_dir.h"

namespace plenvo::platform {
namespace {

using namespace std::chrono_literals;

const std::string kPfxPassword = "pa ss:w\xc3\xb6rd";

void runOpenSsl(std::vector<std::string> argv) {
    argv.insert(argv.begin(), "openssl");
    const auto result = runBounded(argv, 30s);
    ASSERT_TRUE(result && result->exitCode == 0) << (result ? result->output : "did not end");
}

// A self-signed certificate for 127.0.0.1 and its key, a key of another, the
// key locked by a passphrase, and both in a .pfx without a password; a .pfx
// with a password holding 127.0.0.1 signed by an intermediate signed by a
// root, and the intermediate. Made once for all cases (EC: quick to make).
// Each case has a server's channel and OpenSSL's client at the other end.
class TlsServerTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        files = new test::TempDir;
        const auto in = [](const char* name) { return (dir() / name).string(); };
        const auto req = [](std::vector<std::string> args) {
            args.insert(args.begin(), "req");
            args.insert(args.end(), {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                     "-nodes", "-days", "1"});
            runOpenSsl(args);
        };
        const auto sign = [&](const char* request, const char* issuer, const char* out) {
            runOpenSsl({"x509", "-req", "-in", in(request), "-CA", in(issuer), "-CAkey",
                        in(issuer) + ".key", "-copy_extensions", "copy", "-days", "1", "-out",
                        in(out)});
        };
        req({"-x509", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
             in("key.pem"), "-out", in("cert.pem")});
        runOpenSsl({"genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-out", in("other.pem")});
        runOpenSsl({"pkey", "-in", in("key.pem"), "-aes256", "-passout", "pass:secret", "-out",
                    in("locked.pem")});
        runOpenSsl({"pkcs12", "-export", "-in", in("cert.pem"), "-inkey", in("key.pem"), "-passout",
                    "pass:", "-out", in("open.pfx")});

        req({"-x509", "-subj", "/CN=root", "-keyout", in("root.pem.key"), "-out", in("root.pem")});
        req({"-subj", "/CN=intermediate", "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
             "keyUsage=keyCertSign", "-keyout", in("middle.pem.key"), "-out", in("middle.csr")});
        sign("middle.csr", "root.pem", "middle.pem");
        req({"-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
             in("leaf.key"), "-out", in("leaf.csr")});
        sign("leaf.csr", "middle.pem", "leaf.pem");
        runOpenSsl({"pkcs12", "-export", "-in", in("leaf.pem"), "-inkey", in("leaf.key"),
                    "-certfile", in("middle.pem"), "-passout", "pass:" + kPfxPassword, "-out",
                    in("chain.pfx")});
    }
    static void TearDownTestSuite() { delete std::exchange(files, nullptr); }
    static const std::filesystem::path& dir() { return files->path(); }

    void SetUp() override { serve("cert.pem", PemKeyFile{dir() / "key.pem"}, "cert.pem"); }

    // A new connection to a server with this certificate and key, its client
    // trusting the certificates in `trusted`.
    void serve(const char* certificate, const TlsKey& key, const char* trusted) {
        TearDown();
        auto tls = TlsServer::load(dir() / certificate, key);
        ASSERT_TRUE(std::holds_alternative<std::shared_ptr<const TlsServer>>(tls))
            << std::get<std::string>(tls);
        auto listener = std::get<StreamListener>(StreamListener::onTcp("127.0.0.1", 0));
        client.emplace(std::get<StreamConnection>(
            StreamConnection::connectTo("127.0.0.1", listener.port(), 2s)));
        SocketWait wait{.handle = listener.handle(), .forRead = true};
        waitForSockets({&wait, 1}, 2s);
        auto accepted = listener.accept();
        ASSERT_TRUE(accepted);
        server = std::get<std::shared_ptr<const TlsServer>>(tls)->wrap(std::move(*accepted));

        context = SSL_CTX_new(TLS_client_method());
        SSL_CTX_load_verify_locations(context, (dir() / trusted).c_str(), nullptr);
        SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
        ssl = SSL_new(context);
        SSL_set1_host(ssl, "127.0.0.1");
        SSL_set_fd(ssl, static_cast<int>(client->handle()));
        SSL_set_connect_state(ssl);
    }
    void TearDown() override {
        SSL_free(std::exchange(ssl, nullptr));
        SSL_CTX_free(std::exchange(context, nullptr));
    }

    // Why loading is refused; empty when it is not.
    static std::string refusalOf(const char* certificate, const TlsKey& key) {
        auto made = TlsServer::load(dir() / certificate, key);
        return std::holds_alternative<std::string>(made) ? std::get<std::string>(made) : "";
    }

    // The client's last call: 1 for done, else SSL_get_error's answer.
    int outcome(int result) const { return result > 0 ? 1 : SSL_get_error(ssl, result); }

    // Calls `step` until it says it is finished, waiting on both sockets between calls.
    bool drive(const std::function<bool()>& step, bool serverWrites = false) {
        const auto deadline = std::chrono::steady_clock::now() + 3s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (step()) return true;
            SocketWait waits[] = {{.handle = client->handle(), .forRead = true}, {}};
            if (server)
                waits[1] = {.handle = server->handle(), .forRead = true, .forWrite = serverWrites};
            waitForSockets({waits, server ? 2u : 1u}, 5ms);
        }
        return false;
    }

    inline static test::TempDir* files = nullptr;
    std::optional<StreamConnection> client;
    std::unique_ptr<ByteChannel> server;
    SSL_CTX* context = nullptr;
    SSL* ssl = nullptr;
    char buffer[16384];
};

TEST_F(TlsServerTest, BytesGoBothWaysAndEitherSideEndsTheStreamInOrder) {
    EXPECT_TRUE(TlsServer::available());
    std::string heard;
    // The handshake runs in the server's first reads; the client's bytes follow it.
    bool sent = false;
    ASSERT_TRUE(drive([&] {
        if (!sent) sent = outcome(SSL_write(ssl, "hello", 5)) == 1;
        const IoResult r = server->readSome(buffer, sizeof buffer);
        EXPECT_TRUE(r.state == IoState::done || r.state == IoState::wantRead);
        heard.append(buffer, r.bytes);
        return heard == "hello";
    }));
    EXPECT_EQ(SSL_get_verify_result(ssl), X509_V_OK);

    // A quarter megabyte to a slow reader through small socket buffers: the
    // server's writes end part-way and go on from a copy elsewhere in memory,
    // as a caller's buffer may move.
    const int small = 32768;
    ::setsockopt(static_cast<int>(server->handle()), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    ::setsockopt(static_cast<int>(client->handle()), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    std::string pending;
    for (int i = 0; pending.size() < (1u << 18); ++i) pending += std::to_string(i) + ",";
    const std::string whole = pending;
    std::string received;
    int waitedToWrite = 0;
    ASSERT_TRUE(drive(
        [&] {
            const IoResult w = server->writeSome(pending.data(), pending.size());
            EXPECT_NE(w.state, IoState::failed);
            waitedToWrite += w.state == IoState::wantWrite;
            pending = pending.substr(w.bytes);
            const int n = SSL_read(ssl, buffer, 4096);
            if (n > 0) received.append(buffer, static_cast<std::size_t>(n));
            return received.size() == whole.size();
        },
        true));
    EXPECT_TRUE(received == whole);
    EXPECT_GT(waitedToWrite, 0);

    // The client's close_notify reads as the end; the server's goes out as it is dropped.
    SSL_shutdown(ssl);
    ASSERT_TRUE(drive([&] {
        const IoState state = server->readSome(buffer, sizeof buffer).state;
        EXPECT_NE(state, IoState::failed);
        return state == IoState::closed;
    }));
    server.reset();
    int last = 0;
    ASSERT_TRUE(drive([&] {
        last = outcome(SSL_read(ssl, buffer, sizeof buffer));
        return last != SSL_ERROR_WANT_READ;
    }));
    EXPECT_EQ(last, SSL_ERROR_ZERO_RETURN);
}

TEST_F(TlsServerTest, WritingToAClientThatWentAwayFailsRatherThanEndingTheProgram) {
    ASSERT_TRUE(drive([&] {
        server->readSome(buffer, 1);
        return outcome(SSL_do_handshake(ssl)) == 1;
    }));
    client.reset();
    // Had the socket been written with write(), SIGPIPE would end the tests here.
    IoState state = IoState::done;
    for (int i = 0; i < 200 && state != IoState::failed; ++i) {
        state = server->writeSome("data", 4).state;
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(state, IoState::failed);
}

TEST_F(TlsServerTest, AClientSpeakingPlainHttpBreaksTheStreamRatherThanStallingIt) {
    const std::string request = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";
    ASSERT_EQ(client->writeSome(request.data(), request.size()).bytes, request.size());
    IoState state = IoState::wantRead;
    drive([&] {
        state = server->readSome(buffer, sizeof buffer).state;
        return state != IoState::wantRead;
    });
    EXPECT_EQ(state, IoState::failed);
}

TEST_F(TlsServerTest, KeysThatDoNotFitOrCannotBeReadAreRefusedWithTheReason) {
    const auto refusal = [](const char* certificate, const char* key) {
        return refusalOf(certificate, PemKeyFile{dir() / key});
    };
    EXPECT_NE(refusal("cert.pem", "other.pem").find("does not belong"), std::string::npos);
    EXPECT_NE(refusal("missing.pem", "key.pem").find("No such file"), std::string::npos);
    // Refused, not asked for: a passphrase prompt would hang a service.
    EXPECT_NE(refusal("cert.pem", "locked.pem").find("cannot use the private key"),
              std::string::npos);
}

TEST_F(TlsServerTest, APfxServesWithTheChainItHoldsAndAnEmptyPasswordOpensOneWithout) {
    struct Case {
        const char* pfx;
        std::string password;
        const char* trusted;
    };
    // The client knows the root alone: the intermediate must come from the .pfx.
    for (const Case& c :
         {Case{"chain.pfx", kPfxPassword, "root.pem"}, Case{"open.pfx", "", "cert.pem"}}) {
        serve(c.pfx, PfxPassword{c.password}, c.trusted);
        std::string heard;
        bool sent = false;
        ASSERT_TRUE(drive([&] {
            if (!sent) sent = outcome(SSL_write(ssl, "hello", 5)) == 1;
            heard.append(buffer, server->readSome(buffer, sizeof buffer).bytes);
            return heard == "hello";
        })) << c.pfx;
        EXPECT_EQ(SSL_get_verify_result(ssl), X509_V_OK) << c.pfx;
    }
}

TEST_F(TlsServerTest, APfxThePasswordDoesNotOpenOrThatIsNoPfxIsRefusedNamingIt) {
    const auto refusal = [](const char* file, const std::string& password) {
        return refusalOf(file, PfxPassword{password});
    };
    const std::string locked = "the password does not open " + (dir() / "chain.pfx").string();
    EXPECT_EQ(refusal("chain.pfx", "pa ss"), locked);
    EXPECT_EQ(refusal("chain.pfx", ""), locked);
    EXPECT_EQ(refusal("open.pfx", "x"),
              "the password does not open " + (dir() / "open.pfx").string());
    EXPECT_EQ(refusal("cert.pem", kPfxPassword),
              (dir() / "cert.pem").string() + " is not a PKCS#12 (.pfx) file");
    EXPECT_NE(refusal("missing.pfx", kPfxPassword).find("No such file"), std::string::npos);
}

}  // namespace
}  // namespace plenvo::platform
