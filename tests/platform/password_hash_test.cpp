#include <gtest/gtest.h>

#include <string>

#include "platform/credentials/password_check.h"
#include "platform/credentials/sha512.h"
#include "platform/credentials/sha512_crypt.h"

namespace plenvo::platform {
namespace {

std::string hex(const Sha512Digest& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char byte : digest) {
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0xf];
    }
    return out;
}

TEST(Sha512, FipsVectorsWholeAndInPieces) {
    EXPECT_EQ(hex(sha512("abc")),
              "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
              "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f");
    EXPECT_EQ(hex(sha512("")),
              "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
              "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e");

    // A million "a" in pieces of uneven size, then the same object again.
    Sha512 hash;
    const std::string piece(997, 'a');
    std::size_t left = 1'000'000;
    for (; left > piece.size(); left -= piece.size()) hash.add(piece);
    hash.add(piece.substr(0, left));
    EXPECT_EQ(hex(hash.finish()),
              "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973eb"
              "de0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b");
    EXPECT_EQ(hash.add("a").add("bc").finish(), sha512("abc")) << "finish() starts anew";
}

TEST(Sha512Crypt, TheVectorsOfTheDescription) {
    struct Case {
        const char *settings, *password, *hash;
    };
    const Case cases[] = {
        {"$6$saltstring", "Hello world!",
         "$6$saltstring$svn8UoSVapNtMuq1ukKS4tPQd8iKwSMHWjl/"
         "O817G3uBnIFNjnQJuesI68u4OTLiBFdcbYEdFCoEO"
         "faS35inz1"},
        // The salt stops at 16 characters.
        {"$6$rounds=10000$saltstringsaltstring", "Hello world!",
         "$6$rounds=10000$saltstringsaltst$OW1/O6BYHV6BcXZu8QVeXbDWra3Oeqh0sbHbbMCVNSnCM/"
         "UrjmM0Dp8vOu"
         "ZeHBy/YTBmSK6H9qs/y3RnOaw5v."},
        // Rounds named, even the default ones, are named in the hash.
        {"$6$rounds=5000$toolongsaltstring", "This is just a test",
         "$6$rounds=5000$toolongsaltstrin$"
         "lQ8jolhgVRVhY4b5pZKaysCLi0QBxGoNeKQzQ3glMhwllF7oGDZxUhx1yx"
         "dYcz/e1JSbq3y6JMxxl8audkUEm0"},
        // A password longer than one digest.
        {"$6$rounds=1400$anotherlongsaltstring",
         "a very much longer text to encrypt.  This one even stretches over morethan one line.",
         "$6$rounds=1400$anotherlongsalts$POfYwTEok97VWcjxIiSOjiykti.o/"
         "pQs.wPvMxQ6Fm7I6IoYN3CmLs66x9"
         "t0oSwbtEW7o7UmJEiDwGqd8p4ur1"},
        {"$6$rounds=77777$short", "we have a short salt string but not a short password",
         "$6$rounds=77777$short$WuQyW2YR.hBNpjjRhpYD/"
         "ifIw05xdfeEyQoMxIXbkvr0gge1a1x3yRULJ5CCaUeOxFmtl"
         "cGZelFl5CxtgfiAc0"},
        {"$6$rounds=123456$asaltof16chars..", "a short string",
         "$6$rounds=123456$asaltof16chars..$BtCwjqMJGx5hrJhZywWvt0RLE8uZ4oPwcelCjmw2kSYu."
         "Ec6ycULevoBK"
         "25fs2xXgMNrCzIMVcgEJAstJeonj1"},
        // Too few rounds are raised to the least, and named so.
        {"$6$rounds=10$roundstoolow", "the minimum number is still observed",
         "$6$rounds=1000$roundstoolow$kUMsbe306n21p9R.FRkW3IGn."
         "S9NPN0x50YhH1xhLsPuWGsUSklZt58jaTfF4ZEQ"
         "pyUNGc0dqbpBYYBaHHrsX."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sha512Crypt(c.password, c.settings), c.hash) << c.settings;
        // A whole hash serves as its own settings: that is how one is checked.
        EXPECT_EQ(sha512Crypt(c.password, c.hash), c.hash) << c.settings;
        EXPECT_TRUE(sha512CryptMatches(c.password, c.hash)) << c.settings;
    }
    EXPECT_FALSE(sha512Crypt("x", "$5$saltstring"));
    EXPECT_FALSE(sha512Crypt("x", "saltstring"));
}

TEST(Sha512Crypt, RoundsAsCryptReadsThem) {
    EXPECT_EQ(shaCryptRounds("$6$salt$hash"), 5000u);
    EXPECT_EQ(shaCryptRounds("$5$rounds=20000$salt$hash"), 20000u);
    EXPECT_EQ(shaCryptRounds("$6$rounds=10$salt"), 1000u);
    EXPECT_EQ(shaCryptRounds("$6$rounds=999999999$salt"), 999'999'999u);
    EXPECT_EQ(shaCryptRounds("$6$rounds=99999999999999999999999$salt"), 999'999'999u);
    // Without digits and "$" after them it is salt, and the rounds the default.
    EXPECT_EQ(shaCryptRounds("$6$rounds=12x$salt"), 5000u);
    EXPECT_EQ(shaCryptRounds("$6$rounds=$salt"), 5000u);
    EXPECT_EQ(sha512Crypt("pw", "$6$rounds=12x$salt")->substr(0, 14), "$6$rounds=12x$");
    EXPECT_FALSE(shaCryptRounds("$1$salt$hash"));
    EXPECT_FALSE(shaCryptRounds("$y$j9T$salt$hash"));
}

TEST(PasswordCheck, SixHashesOnEverySystem) {
    const std::string hash =
        "$6$saltstring$svn8UoSVapNtMuq1ukKS4tPQd8iKwSMHWjl/"
        "O817G3uBnIFNjnQJuesI68u4OTLiBFdcbYEdFCoEOfa"
        "S35inz1";
    EXPECT_TRUE(passwordCheckAvailable());
    EXPECT_TRUE(passwordHashKnown(hash));
    EXPECT_TRUE(passwordMatches("Hello world!", hash));
    for (const std::string wrong : {"Hello world", "Hello world!!", "hello world!", ""})
        EXPECT_FALSE(passwordMatches(wrong, hash)) << wrong;
    // A NUL ends the password for crypt: it is refused alike everywhere.
    EXPECT_FALSE(passwordMatches(std::string("Hello world!\0x", 14), hash));
    // Longer passwords cost too much to check (the square of their length).
    const std::string longest(kMaxPasswordSize, 'p');
    EXPECT_TRUE(passwordMatches(longest, *sha512Crypt(longest, "$6$salt")));
    EXPECT_FALSE(passwordMatches(longest + "p", *sha512Crypt(longest + "p", "$6$salt")));
    // A hash cut short, or with a character changed, matches nothing.
    EXPECT_FALSE(passwordMatches("Hello world!", hash.substr(0, hash.size() - 1)));
    EXPECT_FALSE(passwordMatches("Hello world!", hash + "x"));
    EXPECT_FALSE(passwordMatches("Hello world!", hash.substr(0, hash.size() - 1) + "2"));
    // Hashes of "pw" that crypt could still read, but that are too weak to trust.
    for (const char* weak : {"$1$salt$IXp9zPHZ94CMcVBXaZFPN/", "abzlUXK5ed5rs", "$zz$salt$hash"}) {
        EXPECT_FALSE(passwordHashKnown(weak)) << weak;
        EXPECT_FALSE(passwordMatches("pw", weak)) << weak;
    }
}

}  // namespace
}  // namespace plenvo::platform
