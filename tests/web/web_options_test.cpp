#include "web/web_options.h"

#include <gtest/gtest.h>

#include "platform/network/tls_server.h"

namespace plenvo::web {
namespace {

using platform::TlsServer;

TEST(WebOptions, ACertificateTakesItsKeyOrItsPasswordInTheFormsThisBuildTakes) {
    const bool pfxOnly = TlsServer::keyForms() == platform::TlsKeyForms::pfxOnly;
    const auto refusalWith = [](const char* cert, const char* key, const char* password) {
        WebOptions options{.address = "127.0.0.1", .port = 8443};
        if (*cert) options.certFile = cert;
        if (*key) options.keyFile = key;
        if (*password) options.certPasswordFile = password;
        return servingRefusal(options).value_or("");
    };
    EXPECT_EQ(refusalWith("cert.pfx", "", "password"), "");
    EXPECT_EQ(refusalWith("cert.pem", "key.pem", "").empty(), !pfxOnly);
    EXPECT_NE(
        refusalWith("cert.pem", "key.pem", "").find(pfxOnly ? "give --http-cert FILE.pfx" : ""),
        std::string::npos);
    EXPECT_NE(
        refusalWith("cert.pfx", "", "").find("--http-cert FILE.pfx --http-cert-password-file"),
        std::string::npos);
    EXPECT_NE(refusalWith("cert", "key.pem", "password").find("give one of them"),
              std::string::npos);
    EXPECT_NE(refusalWith("", "", "password").find("go with --http-cert FILE"), std::string::npos);
}

// Each refusal names what to give, and what it names is then served: no advice
// leads back to a refusal already met.
TEST(WebOptions, AnAddressOthersReachIsServedOnceWhatTheRefusalsNameIsGiven) {
    WebOptions options{.address = "0.0.0.0", .port = 8443};
    int refusals = 0;
    while (const auto refusal = servingRefusal(options)) {
        ASSERT_LT(++refusals, 3) << *refusal;
        const bool tls = refusal->find("--http-cert FILE.pfx --http-cert-password-file FILE") !=
                             std::string::npos &&
                         !options.certFile;
        const bool users =
            refusal->find("--http-users FILE") != std::string::npos && !options.usersFile;
        ASSERT_TRUE(tls || users) << "names nothing new: " << *refusal;
        if (tls) {
            options.certFile = "cert.pfx";
            options.certPasswordFile = "password";
        }
        if (users) options.usersFile = "users";
    }
    EXPECT_TRUE(options.usersFile);
    EXPECT_EQ(options.certFile.has_value(), !TlsServer::plainToOtherMachines())
        << "plain HTTP to other machines where this build allows it, and only there";
}

}  // namespace
}  // namespace plenvo::web
