// What a browser or anyone on the network sends the web view, and an agent's
// Log.txt as the view shows it.
//
// Input: line 1 a request target, line 2 an Authorization value; the rest is
// both a users file and the tail of a Log.txt. The whole input is also the
// bytes of a connection, read once in pieces and once whole.
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "fuzz_support.h"
#include "platform/core/base64.h"
#include "platform/files/folder_listing.h"
#include "platform/text/utf8_text.h"
#include "web/http/request_reader.h"
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

constexpr web::RequestLimits kLimits{.line = 64, .headers = 256, .headerCount = 8, .body = 128};

struct Reading {
    std::vector<web::HttpRequest> requests;
    int refusedWith = 0;
};

// Feeds the pieces as a connection does: what the reader leaves of one is fed
// again, with the next piece behind it.
Reading readPieces(std::string_view bytes, const std::vector<std::size_t>& pieces) {
    web::RequestReader reader(kLimits);
    Reading reading;
    std::string pending;
    std::size_t at = 0;
    for (const std::size_t piece : pieces) {
        pending.append(bytes.substr(at, piece));
        at += piece;
        for (;;) {
            std::size_t used = pending.size() + 1;
            const web::ReadStep step = reader.feed(pending, used);
            FUZZ_CHECK(used <= pending.size());
            FUZZ_CHECK(reader.bodyLength() <= kLimits.body);
            FUZZ_CHECK(!reader.awaitsContinue() || reader.bodyLength() > 0);
            pending.erase(0, used);
            if (step == web::ReadStep::refused) {
                reading.refusedWith = reader.refusal().status;
                FUZZ_CHECK(reader.feed(bytes, used) == web::ReadStep::refused && used == 0);
                return reading;
            }
            if (step == web::ReadStep::needMore) {
                FUZZ_CHECK(pending.empty());
                break;
            }
            reading.requests.push_back(reader.take());
            FUZZ_CHECK(!reader.started() && reader.bodyLength() == 0);
        }
    }
    return reading;
}

bool isLowerToken(std::string_view name) {
    if (name.empty()) return false;
    for (const char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos))
            return false;
    return true;
}

void checkRequest(const web::HttpRequest& request) {
    // "METHOD SP target SP HTTP/1.x LF" fitted in a line.
    FUZZ_CHECK(request.method.size() + request.target.size() + 11 <= kLimits.line);
    FUZZ_CHECK(request.target.starts_with('/'));
    for (const char c : request.target)
        FUZZ_CHECK(static_cast<unsigned char>(c) > 0x20 && c != 0x7F);
    FUZZ_CHECK(request.minorVersion == 0 || request.minorVersion == 1);
    FUZZ_CHECK(request.headers.size() <= kLimits.headerCount);
    std::size_t headerBytes = 0;
    for (const auto& [name, value] : request.headers) {
        FUZZ_CHECK(isLowerToken(name));
        for (const char c : value)
            FUZZ_CHECK(c == '\t' || (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F));
        FUZZ_CHECK(value.empty() || (value.find_first_of(" \t") != 0 &&
                                     value.find_last_of(" \t") != value.size() - 1));
        FUZZ_CHECK(name.size() + value.size() + 2 <= kLimits.line);
        headerBytes += name.size() + value.size() + 2;
        FUZZ_CHECK(request.header(name).has_value());
    }
    FUZZ_CHECK(headerBytes <= kLimits.headers);
    FUZZ_CHECK(!request.header("transfer-encoding"));
    FUZZ_CHECK(request.body.size() <= kLimits.body);
    const auto length = request.header("content-length");
    FUZZ_CHECK(length ? std::stoull(std::string(*length)) == request.body.size()
                      : request.body.empty());
    request.keepsAlive();
}

// Whole or in pieces, the same requests and the same refusal.
void checkReader(std::string_view bytes) {
    // Piece sizes from the input read backwards, so that they vary apart from
    // the bytes they cut.
    std::vector<std::size_t> pieces;
    for (std::size_t at = 0, k = 0; at < bytes.size(); at += pieces.back(), ++k) {
        const auto byte = static_cast<unsigned char>(bytes[bytes.size() - 1 - k % bytes.size()]);
        pieces.push_back(1 + byte % 23);
    }
    const Reading cut = readPieces(bytes, pieces);
    const Reading whole = readPieces(bytes, {bytes.size()});
    FUZZ_CHECK(cut.refusedWith == whole.refusedWith);
    FUZZ_CHECK(cut.requests.size() == whole.requests.size());
    for (std::size_t i = 0; i < whole.requests.size(); ++i) {
        const auto& a = cut.requests[i];
        const auto& b = whole.requests[i];
        FUZZ_CHECK(a.method == b.method && a.target == b.target &&
                   a.minorVersion == b.minorVersion && a.headers == b.headers && a.body == b.body);
        checkRequest(b);
    }
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
    checkReader(all);
    return 0;
}
