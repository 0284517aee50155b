#include "web/http/http_response.h"

namespace plenvo::web {
namespace {

// On every answer: no guessing of types, nothing framed or sent on, no script.
constexpr std::string_view kCommonHeaders =
    "X-Content-Type-Options: nosniff\r\n"
    "X-Frame-Options: DENY\r\n"
    "Referrer-Policy: no-referrer\r\n"
    "Cache-Control: no-store\r\n"
    "Content-Security-Policy: default-src 'self'; style-src 'self' 'unsafe-inline'; "
    "script-src 'none'\r\n";

}  // namespace

HttpResponse HttpResponse::text(int status, std::string_view line) {
    HttpResponse response;
    response.status = status;
    response.contentType = "text/plain; charset=utf-8";
    response.body = std::string(line) + "\n";
    return response;
}

std::uint64_t HttpResponse::bodySize() const {
    return streamed ? streamed->size() : body.size();
}

std::string_view reasonOf(int status) {
    switch (status) {
        case 100:
            return "Continue";
        case 200:
            return "OK";
        case 204:
            return "No Content";
        case 303:
            return "See Other";
        case 304:
            return "Not Modified";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 408:
            return "Request Timeout";
        case 411:
            return "Length Required";
        case 413:
            return "Content Too Large";
        case 414:
            return "URI Too Long";
        case 429:
            return "Too Many Requests";
        case 431:
            return "Request Header Fields Too Large";
        case 500:
            return "Internal Server Error";
        case 501:
            return "Not Implemented";
        case 503:
            return "Service Unavailable";
        case 504:
            return "Gateway Timeout";
        case 505:
            return "HTTP Version Not Supported";
        default:
            return status < 400 ? "OK" : "Error";
    }
}

std::string responseHead(const HttpResponse& response, bool keepAlive) {
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " ";
    head += reasonOf(response.status);
    head += "\r\n";
    head += kCommonHeaders;
    if (!response.contentType.empty()) head += "Content-Type: " + response.contentType + "\r\n";
    for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
    head += "Content-Length: " + std::to_string(response.bodySize()) + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    head += "\r\n";
    return head;
}

}  // namespace plenvo::web
