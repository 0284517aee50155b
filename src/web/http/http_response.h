#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plenvo::web {

// A body read piece by piece while it is sent, so that a large page or file
// never has to sit in memory whole. Read from several connections at once.
class BodySource {
  public:
    virtual ~BodySource() = default;
    virtual std::uint64_t size() const = 0;
    // Up to `length` bytes from `offset`; fewer only at the end. May throw.
    virtual std::size_t readAt(std::uint64_t offset, char* into, std::size_t length) const = 0;
};

struct HttpResponse {
    int status = 200;
    std::string contentType;
    std::vector<std::pair<std::string, std::string>> headers{};  // besides the common ones
    std::string body{};
    std::shared_ptr<const BodySource> streamed{};  // the body instead, when set

    static HttpResponse text(int status, std::string_view line);
    std::uint64_t bodySize() const;
};

// The reason phrase of a status ("Not Found").
std::string_view reasonOf(int status);

// The status line and headers of `response`, with the headers every answer
// carries and Content-Length, ready to send.
std::string responseHead(const HttpResponse& response, bool keepAlive);

}  // namespace plenvo::web
