// The Windows TLS server with .pfx files that OpenSSL made on the Linux side
// (tls_files.sh); PLENVO_TLS_FILES names their folder.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/mail/smtp_socket_win.h"
#include "platform/network/tls_server.h"
#include "platform/text/utf8_path.h"
#include "support/skip.h"

namespace plenvo::platform {
namespace {

using namespace std::chrono_literals;

const std::string kPassword = "pa ss:word";
// What Wine's Schannel, which makes client connections only, comes to.
const std::string kCannotAccept =
    "this system's Schannel cannot accept TLS connections; serve on 127.0.0.1 behind a reverse "
    "proxy that adds TLS";

std::filesystem::path filesFolder() {
    const char* folder = std::getenv("PLENVO_TLS_FILES");
    return folder ? pathFromUtf8(folder) : std::filesystem::path();
}

std::string refusalOf(const char* file, const TlsKey& key) {
    auto made = TlsServer::load(filesFolder() / file, key);
    return std::holds_alternative<std::string>(made) ? std::get<std::string>(made) : "";
}

// Schannel's own client (the mail one) against the server: it checks the
// certificate after the handshake, and this one is trusted by nobody here.
void expectHandshake(const TlsServer& tls) {
    auto listener = std::get<StreamListener>(StreamListener::onTcp("127.0.0.1", 0));
    std::string clientSaid;
    std::thread client([&, port = listener.port()] {
        const auto deadline = smtp::Clock::now() + 10s;
        smtp::Socket socket;
        smtp::Tls session;
        clientSaid = socket.connect("127.0.0.1", port, deadline);
        if (clientSaid.empty()) clientSaid = session.start(socket, "127.0.0.1", deadline);
    });
    std::unique_ptr<ByteChannel> server;
    IoState state = IoState::wantRead;
    char buffer[4096];
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (state == IoState::wantRead || state == IoState::wantWrite) {
        if (std::chrono::steady_clock::now() > deadline) break;
        SocketWait wait{.handle = server ? server->handle() : listener.handle(),
                        .forRead = true,
                        .forWrite = state == IoState::wantWrite};
        waitForSockets({&wait, 1}, 50ms);
        if (!server)
            if (auto accepted = listener.accept()) server = tls.wrap(std::move(*accepted));
        if (server) state = server->readSome(buffer, sizeof buffer).state;
    }
    client.join();
    EXPECT_NE(clientSaid.find("証明書を信頼できません"), std::string::npos) << clientSaid;
}

TEST(TlsServerWin, APfxGivesAServerOrTheSystemsWordThatItCannotAcceptConnections) {
    if (filesFolder().empty()) PLENVO_SKIP() << "PLENVO_TLS_FILES is not set";
    EXPECT_TRUE(TlsServer::available());
    EXPECT_EQ(TlsServer::keyForms(), TlsKeyForms::pfxOnly);
    for (const auto& [file, password] :
         {std::pair<const char*, std::string>{"server.pfx", kPassword}, {"open.pfx", ""}}) {
        auto loaded = TlsServer::load(filesFolder() / file, PfxPassword{password});
        if (const auto* why = std::get_if<std::string>(&loaded))
            EXPECT_EQ(*why, kCannotAccept) << file;
        else
            expectHandshake(*std::get<std::shared_ptr<const TlsServer>>(loaded));
    }
}

TEST(TlsServerWin, AWrongPasswordAFileThatIsNoPfxOrPemFilesAreRefusedNamingWhy) {
    if (filesFolder().empty()) PLENVO_SKIP() << "PLENVO_TLS_FILES is not set";
    const std::string pfx = utf8Of(filesFolder() / "server.pfx");
    EXPECT_TRUE(refusalOf("server.pfx", PfxPassword{"pa ss"})
                    .starts_with("the password does not open " + pfx))
        << refusalOf("server.pfx", PfxPassword{"pa ss"});
    EXPECT_TRUE(refusalOf("server.pfx", PfxPassword{""}).starts_with("the password does not open"));
    EXPECT_EQ(refusalOf("cert.pem", PfxPassword{kPassword}),
              utf8Of(filesFolder() / "cert.pem") + " is not a PKCS#12 (.pfx) file");
    EXPECT_TRUE(refusalOf("missing.pfx", PfxPassword{kPassword})
                    .starts_with("cannot read " + utf8Of(filesFolder() / "missing.pfx")));
    EXPECT_NE(refusalOf("cert.pem", PemKeyFile{filesFolder() / "key.pem"}).find("PKCS#12"),
              std::string::npos);
}

}  // namespace
}  // namespace plenvo::platform
