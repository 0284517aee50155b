#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "web/http/http_request.h"

namespace plenvo::web {

// What one request may make the server hold; checked before it is held.
struct RequestLimits {
    std::size_t line = 8 * 1024;      // the request line, and each header line
    std::size_t headers = 64 * 1024;  // all header lines together
    std::size_t headerCount = 100;
    std::size_t body = 1024 * 1024;
};

enum class ReadStep {
    needMore,  // all bytes taken; the request goes on
    complete,  // a whole request: take() it
    refused,   // the request breaks the protocol or a limit: answer refusal()
};

// Why a request is refused, as the status to answer it with.
struct RequestRefusal {
    int status = 400;  // 400, 413, 414, 431, 501, 505
    std::string why;   // a short line for the client
};

// Reads HTTP/1.0 and 1.1 requests from bytes as they come, one at a time. It
// holds at most the current line, the header lines and a body, each within
// its limit; a request with Transfer-Encoding is refused (501), as bodies
// come with Content-Length only.
class RequestReader {
  public:
    explicit RequestReader(RequestLimits limits = {});

    // Takes bytes up to the end of the current request; `used` tells how many,
    // so that the rest is fed again after take(). Once refused, stays refused.
    ReadStep feed(std::string_view bytes, std::size_t& used);
    // The complete request; the reader then waits for the next one.
    HttpRequest take();
    const RequestRefusal& refusal() const { return refusal_; }

    // Whether a byte of a request has come since the last take().
    bool started() const;
    // The body length the head announced, once the head is read; 0 before.
    std::size_t bodyLength() const;
    // The head is read, a body is due, and the client waits for "100 Continue".
    bool awaitsContinue() const;

  private:
    enum class Stage { start, requestLine, headerLine, body, complete, refused };
    enum class LineStep { more, whole, tooLong };

    LineStep readLine(std::string_view bytes, std::size_t& at, std::size_t cap);
    void skipEmptyLines(std::string_view bytes, std::size_t& at);
    void takeRequestLine();
    void takeHeaderLine(std::size_t rawLength);
    void endHead();
    void readBody(std::string_view bytes, std::size_t& at);
    void refuse(int status, std::string why);

    RequestLimits limits_;
    Stage stage_ = Stage::start;
    RequestRefusal refusal_;
    HttpRequest request_;
    std::string line_;  // the current line so far, without its LF
    std::size_t emptyLines_ = 0;
    std::size_t headerBytes_ = 0;
    bool hasLength_ = false;
    std::size_t contentLength_ = 0;
    std::size_t bodyLength_ = 0;
    bool expectsContinue_ = false;
};

}  // namespace plenvo::web
