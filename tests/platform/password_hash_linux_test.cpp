#include <crypt.h>
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "platform/credentials/password_check.h"
#include "platform/credentials/sha512_crypt.h"

namespace plenvo::platform {
namespace {

std::string systemCrypt(const std::string& password, const std::string& settings) {
    const auto data = std::make_unique<crypt_data>();
    const char* made = ::crypt_r(password.c_str(), settings.c_str(), data.get());
    return made ? made : "";
}

// The same text as the system's crypt for passwords around the digest's
// 64 bytes and beyond, bytes above 127, salts up to and past 16 characters.
TEST(Sha512Crypt, AsTheSystemsCryptForRandomPasswordsAndSalts) {
    static constexpr char kSaltCharacters[] =
        "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::mt19937 random(20240611);
    const auto below = [&](std::size_t n) { return std::size_t(random() % n); };
    for (int i = 0; i < 150; ++i) {
        std::string password(i < 130 ? i : i == 130 ? kMaxPasswordSize : 131 + below(380), '\0');
        for (char& c : password) c = static_cast<char>(1 + below(255));
        std::string salt(1 + below(20), '\0');
        for (char& c : salt) c = kSaltCharacters[below(64)];
        const std::string settings =
            i % 3 == 0 ? "$6$" + salt
                       : "$6$rounds=" + std::to_string(1000 + below(2000)) + "$" + salt;
        const std::string expected = systemCrypt(password, settings);
        ASSERT_TRUE(expected.starts_with("$6$")) << settings;
        EXPECT_EQ(sha512Crypt(password, settings), expected)
            << settings << ", password of " << password.size() << " bytes";
    }
}

TEST(PasswordCheck, OtherCurrentKindsGoToTheSystemsCrypt) {
    const std::string sha256 = "$5$salt$Oo0nc86Ktkc05wTAggFOZIQJhfxhAZY1mlIogZJN.i.";
    EXPECT_TRUE(passwordHashKnown(sha256));
    EXPECT_TRUE(passwordMatches("pw", sha256));
    EXPECT_FALSE(passwordMatches("pw2", sha256));
    const std::string yescrypt = systemCrypt("pw", "$y$j9T$saltsaltsaltsalt");
    EXPECT_TRUE(passwordHashKnown(yescrypt));
    EXPECT_TRUE(passwordMatches("pw", yescrypt));
    EXPECT_FALSE(passwordHashKnown("$apr1$salt$dIQSC7CZVMfwYUarWFsjy0")) << "crypt has no apr1";
    EXPECT_FALSE(passwordHashKnown(""));
}

}  // namespace
}  // namespace plenvo::platform
