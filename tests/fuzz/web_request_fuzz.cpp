// What a browser or anyone on the network sends the web view, and an agent's
// Log.txt as the view shows it.
//
// Input: line 1 a request target, line 2 an Authorization value; the rest is
// both a users file and the tail of a Log.txt.
#include <string>
#include <string_view>
#include <variant>

#include "fuzz_support.h"
#include "platform/core/base64.h"
#include "platform/files/folder_listing.h"
#include "platform/text/utf8_text.h"
#include "web/log_tail.h"
#include "web/request_path.h"
#include "web/users_file.h"

using namespace plenvo;

namespace {

// Segments hold names only, and encoding them gives a target with the same segments.
void checkTarget(std::string_view target) {
    const auto segments = web::pathSegments(target);
    if (!segments) return;
    std::string again;
    for (const std::string& segment : *segments) {
        FUZZ_CHECK(!segment.empty() && segment != "." && segment != "..");
        for (const char c : segment) {
            const auto byte = static_cast<unsigned char>(c);
            FUZZ_CHECK(c != '/' && byte >= 0x20 && byte != 0x7F);
        }
        again += "/" + web::percentEncoded(segment);
    }
    FUZZ_CHECK(web::pathSegments(again.empty() ? "/" : again) == segments);
}

// A user never holds the colon that ends it, and what was read is read again alike.
void checkCredentials(std::string_view authorization) {
    const auto credentials = web::basicCredentials(authorization);
    if (!credentials) return;
    const auto& [user, password] = *credentials;
    FUZZ_CHECK(user.find(':') == std::string::npos);
    FUZZ_CHECK(web::basicCredentials("Basic " + platform::base64Encoded(user + ":" + password)) ==
               credentials);
}

void checkLogTail(const std::string& bytes, bool cut) {
    const platform::FileTail tail{bytes, bytes.size() + (cut ? 1000 : 0)};
    const std::string shown = web::newestLinesFirst(tail);
    FUZZ_CHECK(platform::validUtf8(shown) == shown);
    FUZZ_CHECK(shown.empty() || shown.ends_with('\n'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(fuzz::textOf(data, size));
    const auto first = text.find('\n');
    const auto second = first == std::string::npos ? first : text.find('\n', first + 1);
    const std::string_view all = text;
    checkTarget(all.substr(0, first));
    if (first != std::string::npos)
        checkCredentials(
            all.substr(first + 1, second == std::string::npos ? second : second - first - 1));
    const std::string rest = second == std::string::npos ? "" : text.substr(second + 1);
    if (const auto users = web::UsersFile::parse(rest);
        const auto* parsed = std::get_if<web::UsersFile>(&users))
        FUZZ_CHECK(parsed->size() > 0);
    checkLogTail(rest, size % 2 == 1);
    return 0;
}
