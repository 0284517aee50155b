#include "web/http/request_reader.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

#include "platform/core/ascii_case.h"

namespace plenvo::web {
namespace {

// Clients send a stray CRLF after a POST body; a peer sending nothing but line
// ends is not a client.
constexpr std::size_t kEmptyLinesBefore = 4;

bool isTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool isToken(std::string_view text) {
    return !text.empty() && std::ranges::all_of(text, isTokenChar);
}

bool isControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::optional<std::size_t> decimal(std::string_view digits) {
    if (digits.empty()) return std::nullopt;
    std::size_t value = 0;
    for (const char c : digits) {
        if (!isDigit(c)) return std::nullopt;
        const auto digit = static_cast<std::size_t>(c - '0');
        if (value > (std::numeric_limits<std::size_t>::max() - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::string_view withoutCr(std::string_view line) {
    if (line.ends_with('\r')) line.remove_suffix(1);
    return line;
}

}  // namespace

RequestReader::RequestReader(RequestLimits limits) : limits_(limits) {}

ReadStep RequestReader::feed(std::string_view bytes, std::size_t& used) {
    std::size_t at = 0;
    for (;;) {
        used = at;
        switch (stage_) {
            case Stage::refused:
                return ReadStep::refused;
            case Stage::complete:
                return ReadStep::complete;
            case Stage::start:
                skipEmptyLines(bytes, at);
                if (stage_ == Stage::start) {
                    used = at;
                    return ReadStep::needMore;
                }
                break;
            case Stage::requestLine:
                switch (readLine(bytes, at, limits_.line)) {
                    case LineStep::more:
                        used = at;
                        return ReadStep::needMore;
                    case LineStep::tooLong:
                        refuse(414, "request line too long");
                        break;
                    case LineStep::whole:
                        takeRequestLine();
                        break;
                }
                break;
            case Stage::headerLine: {
                // Room for the empty line that ends the head even when the
                // header lines used all of theirs.
                const std::size_t room = limits_.headers - headerBytes_;
                const std::size_t cap = std::min(limits_.line, std::max<std::size_t>(room, 2));
                switch (readLine(bytes, at, cap)) {
                    case LineStep::more:
                        used = at;
                        return ReadStep::needMore;
                    case LineStep::tooLong:
                        refuse(431, "header fields too large");
                        break;
                    case LineStep::whole:
                        takeHeaderLine(line_.size() + 1);
                        break;
                }
                break;
            }
            case Stage::body:
                readBody(bytes, at);
                if (stage_ == Stage::body) {
                    used = at;
                    return ReadStep::needMore;
                }
                break;
        }
    }
}

HttpRequest RequestReader::take() {
    HttpRequest taken = std::move(request_);
    request_ = {};
    // A refused connection is answered and closed, never read on.
    if (stage_ == Stage::refused) return taken;
    stage_ = Stage::start;
    line_.clear();
    emptyLines_ = 0;
    headerBytes_ = 0;
    hasLength_ = false;
    contentLength_ = 0;
    bodyLength_ = 0;
    expectsContinue_ = false;
    return taken;
}

bool RequestReader::started() const {
    return stage_ != Stage::start;
}

std::size_t RequestReader::bodyLength() const {
    return bodyLength_;
}

bool RequestReader::awaitsContinue() const {
    return stage_ == Stage::body && expectsContinue_;
}

// Keeps at most cap - 1 bytes of a line: one that reaches cap without its LF
// could only end past cap, so it is refused before its bytes are kept.
RequestReader::LineStep RequestReader::readLine(std::string_view bytes, std::size_t& at,
                                                std::size_t cap) {
    const std::size_t room = cap > line_.size() ? cap - line_.size() : 0;
    const std::string_view rest = bytes.substr(at, room);
    const auto lf = rest.find('\n');
    if (lf == std::string_view::npos) {
        if (rest.size() == room) return LineStep::tooLong;
        line_.append(rest);
        at += rest.size();
        return LineStep::more;
    }
    line_.append(rest.substr(0, lf));
    at += lf + 1;
    return LineStep::whole;
}

// Byte by byte, as a lone CR is not yet known to be the start of a request.
void RequestReader::skipEmptyLines(std::string_view bytes, std::size_t& at) {
    for (; at < bytes.size(); ++at) {
        const char c = bytes[at];
        if (c == '\n') {
            line_.clear();
            if (++emptyLines_ > kEmptyLinesBefore) {
                ++at;
                return refuse(400, "bad request line");
            }
        } else if (c == '\r' && line_.empty()) {
            line_ += c;
        } else {
            stage_ = Stage::requestLine;
            return;
        }
    }
}

void RequestReader::takeRequestLine() {
    const std::string_view line = withoutCr(line_);
    const auto methodEnd = line.find(' ');
    if (methodEnd == std::string_view::npos) return refuse(400, "bad request line");
    const auto targetEnd = line.find(' ', methodEnd + 1);
    if (targetEnd == std::string_view::npos) return refuse(400, "bad request line");
    const std::string_view method = line.substr(0, methodEnd);
    const std::string_view target = line.substr(methodEnd + 1, targetEnd - methodEnd - 1);
    const std::string_view version = line.substr(targetEnd + 1);

    if (version.size() != 8 || !version.starts_with("HTTP/") || !isDigit(version[5]) ||
        version[6] != '.' || !isDigit(version[7]))
        return refuse(400, "bad request line");
    if (version[5] != '1' || (version[7] != '0' && version[7] != '1'))
        return refuse(505, "HTTP version not supported");
    // Origin form only: no proxy requests, no "*".
    if (!isToken(method) || !target.starts_with('/') || std::ranges::any_of(target, isControl))
        return refuse(400, "bad request line");

    request_.method = method;
    request_.target = target;
    request_.minorVersion = version[7] - '0';
    line_.clear();
    stage_ = Stage::headerLine;
}

void RequestReader::takeHeaderLine(std::size_t rawLength) {
    const std::string_view line = withoutCr(line_);
    if (line.empty()) return endHead();
    if (rawLength > limits_.headers - headerBytes_) return refuse(431, "header fields too large");
    headerBytes_ += rawLength;
    if (request_.headers.size() >= limits_.headerCount)
        return refuse(431, "too many header fields");
    // Folded lines and "name :" are how requests get smuggled past proxies.
    if (line.front() == ' ' || line.front() == '\t') return refuse(400, "folded header line");
    const auto colon = line.find(':');
    if (colon == std::string_view::npos || !isToken(line.substr(0, colon)))
        return refuse(400, "bad header line");
    const std::string_view value = platform::trimmedBlanks(line.substr(colon + 1));
    if (std::ranges::any_of(value, [](char c) { return c != '\t' && isControl(c); }))
        return refuse(400, "bad header line");

    std::string name = platform::lowerCase(std::string(line.substr(0, colon)));
    if (name == "transfer-encoding") return refuse(501, "Transfer-Encoding not supported");
    if (name == "content-length") {
        const auto length = decimal(value);
        if (!length || (hasLength_ && *length != contentLength_))
            return refuse(400, "bad Content-Length");
        hasLength_ = true;
        contentLength_ = *length;
    }
    request_.headers.emplace_back(std::move(name), value);
    line_.clear();
}

void RequestReader::endHead() {
    line_.clear();
    if (contentLength_ > limits_.body) return refuse(413, "body too large");
    bodyLength_ = contentLength_;
    const auto expect = request_.header("expect");
    expectsContinue_ = request_.minorVersion == 1 && expect &&
                       platform::sameIgnoringAsciiCase(*expect, "100-continue");
    if (bodyLength_ == 0) {
        stage_ = Stage::complete;
        return;
    }
    // The body grows as it comes, so that the server can weigh the announced
    // length against what all clients hold before taking the memory.
    stage_ = Stage::body;
}

void RequestReader::readBody(std::string_view bytes, std::size_t& at) {
    const std::size_t due = bodyLength_ - request_.body.size();
    const std::string_view part = bytes.substr(at, due);
    request_.body.append(part);
    at += part.size();
    if (part.size() == due) stage_ = Stage::complete;
}

void RequestReader::refuse(int status, std::string why) {
    stage_ = Stage::refused;
    refusal_ = {status, std::move(why)};
    // Nothing more is read: let go of what was held.
    line_ = {};
    request_ = {};
}

}  // namespace plenvo::web
