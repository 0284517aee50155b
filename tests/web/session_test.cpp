#include <gtest/gtest.h>

#include <set>
#include <string>

#include "web/cookies.h"
#include "web/form_fields.h"
#include "web/sessions.h"
#include "web/sign_in_throttle.h"

namespace plenvo::web {
namespace {

using namespace std::chrono_literals;
using Time = std::chrono::steady_clock::time_point;

const Time t0 = Time() + 1000h;

TEST(Sessions, IdsAreUniqueFullLengthAndUrlSafe) {
    Sessions sessions;
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        const Session s = sessions.start({"u", Role::admin}, t0);
        for (const std::string& token : {s.id, s.csrf}) {
            EXPECT_EQ(token.size(), 43u);
            EXPECT_EQ(token.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                              "0123456789-_"),
                      std::string::npos);
            EXPECT_TRUE(seen.insert(token).second);
        }
    }
}

TEST(Sessions, FoundUntilExpiredOrEnded) {
    Sessions sessions(60s);
    const Session s = sessions.start({"alice", Role::admin}, t0);
    const auto found = sessions.find(s.id, t0 + 59s);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->csrf, s.csrf);
    EXPECT_EQ(found->who.user, "alice");
    EXPECT_EQ(found->who.role, Role::admin);
    EXPECT_FALSE(sessions.find(s.id, t0 + 60s));
    // Ended on expiry: an earlier clock does not bring it back.
    EXPECT_FALSE(sessions.find(s.id, t0));

    const Session other = sessions.start({"bob", Role::viewer}, t0);
    std::string wrong = other.id;
    wrong.back() = wrong.back() == 'A' ? 'B' : 'A';  // same first half
    EXPECT_FALSE(sessions.find(wrong, t0));
    EXPECT_FALSE(sessions.find(other.id.substr(0, 21), t0));
    EXPECT_FALSE(sessions.find("", t0));
    sessions.end(wrong);
    EXPECT_TRUE(sessions.find(other.id, t0));
    sessions.end(other.id);
    EXPECT_FALSE(sessions.find(other.id, t0));
}

TEST(Sessions, BoundEndsTheOldestAndEndAllOfOnlyThatUser) {
    Sessions sessions(1h, 3);
    const Session a = sessions.start({"alice"}, t0);
    const Session b = sessions.start({"bob"}, t0 + 1s);
    const Session c = sessions.start({"alice"}, t0 + 2s);
    const Session d = sessions.start({"carol"}, t0 + 3s);
    EXPECT_FALSE(sessions.find(a.id, t0 + 4s));
    EXPECT_TRUE(sessions.find(b.id, t0 + 4s));

    sessions.endAllOf("alice");
    EXPECT_FALSE(sessions.find(c.id, t0 + 4s));
    EXPECT_TRUE(sessions.find(b.id, t0 + 4s));
    EXPECT_TRUE(sessions.find(d.id, t0 + 4s));
    // Room again: two more fit without ending bob or carol.
    sessions.start({"dave"}, t0 + 5s);
    EXPECT_TRUE(sessions.find(b.id, t0 + 5s));
    EXPECT_TRUE(sessions.find(d.id, t0 + 5s));
}

TEST(Cookies, FirstMatchingValueOfHostileHeaders) {
    EXPECT_EQ(cookieValue("a=b; plenvo_session=xyz; c=d", "plenvo_session"), "xyz");
    EXPECT_EQ(cookieValue("plenvo_session=one; plenvo_session=two", "plenvo_session"), "one");
    EXPECT_EQ(cookieValue("  x = \"quoted\" ;y=2", "x"), "quoted");
    EXPECT_EQ(cookieValue("x=", "x"), "");
    EXPECT_EQ(cookieValue("noequals; x=1", "x"), "1");
    EXPECT_FALSE(cookieValue("x", "x"));
    EXPECT_FALSE(cookieValue("", "x"));
    EXPECT_FALSE(cookieValue("xx=1; X=2", "x"));
    EXPECT_FALSE(cookieValue("x=\"open", "x"));
    EXPECT_FALSE(cookieValue("x=a b", "x"));
    EXPECT_FALSE(cookieValue(std::string("x=a\0b", 5), "x"));
    EXPECT_FALSE(cookieValue(std::string(1 << 20, ';'), "x"));
    EXPECT_EQ(cookieValue(std::string(1 << 20, 'a') + "=1; x=2", "x"), "2");
}

TEST(Cookies, SetCookieTextAndSameSecret) {
    EXPECT_EQ(sessionCookie("abc", false, 8h),
              "plenvo_session=abc; Path=/; HttpOnly; SameSite=Strict; Max-Age=28800");
    EXPECT_EQ(endedSessionCookie(true),
              "plenvo_session=; Path=/; HttpOnly; SameSite=Strict; Max-Age=0; Secure");
    EXPECT_TRUE(sameSecret("abc", "abc"));
    EXPECT_TRUE(sameSecret("", ""));
    EXPECT_FALSE(sameSecret("abc", "abd"));
    EXPECT_FALSE(sameSecret("abc", "abcd"));
}

TEST(SignInThrottle, RefusesAfterFiveInASlidingMinute) {
    SignInThrottle throttle;
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(throttle.allows("10.0.0.1", t0 + i * 10s));
        throttle.failed("10.0.0.1", t0 + i * 10s);
    }
    EXPECT_FALSE(throttle.allows("10.0.0.1", t0 + 45s));
    EXPECT_EQ(throttle.retryAfter("10.0.0.1", t0 + 45s), 15s);
    EXPECT_EQ(throttle.retryAfter("10.0.0.1", t0 + 59s + 500ms), 1s);
    EXPECT_TRUE(throttle.allows("10.0.0.2", t0 + 45s));
    // The first failure leaves the window; the next one refills it.
    EXPECT_TRUE(throttle.allows("10.0.0.1", t0 + 60s));
    throttle.failed("10.0.0.1", t0 + 60s);
    EXPECT_FALSE(throttle.allows("10.0.0.1", t0 + 61s));
    EXPECT_EQ(throttle.retryAfter("10.0.0.1", t0 + 61s), 9s);

    throttle.succeeded("10.0.0.1");
    EXPECT_TRUE(throttle.allows("10.0.0.1", t0 + 61s));
}

TEST(SignInThrottle, ForgetsTheStalestBeyondItsBound) {
    SignInThrottle throttle(1, 2);
    throttle.failed("a", t0);
    throttle.failed("b", t0 + 1s);
    throttle.failed("a", t0 + 2s);  // "b" is now the stalest
    throttle.failed("c", t0 + 3s);
    EXPECT_FALSE(throttle.allows("a", t0 + 4s));
    EXPECT_TRUE(throttle.allows("b", t0 + 4s));
    EXPECT_FALSE(throttle.allows("c", t0 + 4s));
}

TEST(FormFields, DecodesEscapesAndRefusesBadInput) {
    const auto fields = formFields("user=a+b%2Bc&pass=%E3%81%82%26&user=later&&empty=&bare");
    ASSERT_TRUE(fields);
    EXPECT_EQ(*fields,
              (std::map<std::string, std::string>{
                  {"user", "a b+c"}, {"pass", "\xE3\x81\x82&"}, {"empty", ""}, {"bare", ""}}));
    EXPECT_EQ(formFields(""), (std::map<std::string, std::string>{}));

    for (const char* bad :
         {"a=%", "a=%4", "a=%zz", "a=%00", "a=%FF", "a=%C0%AF", "%ED%A0%80=x", "a=%E3%81"})
        EXPECT_FALSE(formFields(bad)) << bad;

    std::string many;
    for (int i = 0; i < 100; ++i) many += "f" + std::to_string(i) + "=1&";
    EXPECT_TRUE(formFields(many));
    EXPECT_FALSE(formFields(many + "one=more"));
}

}  // namespace
}  // namespace plenvo::web
