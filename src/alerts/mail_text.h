#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plenvo::alerts {

// A mail as the alerts make it, before it is put into the form mail servers take.
struct MailText {
    std::string from;
    std::vector<std::string> to;
    std::string subject;
    std::vector<std::string> bodyLines;
    std::string date;       // RFC 5322 date, empty for none
    std::string messageId;  // "<...@...>", empty for none
};

// A value safe for one header or body line: CR, LF and the other control
// characters become blanks, so that a value from an agent cannot start a
// header (or a line) of its own.
std::string oneLine(std::string_view text);

// A plain address: local part "@" domain in printable ASCII, without blanks,
// brackets or the other characters that would make it more than one address.
bool plainAddress(std::string_view address);

// The text as encoded words (RFC 2047, UTF-8, base64), each at most 75
// characters and never splitting a character, joined by CR LF and a blank.
std::string encodedWords(std::string_view utf8);

// Base64 of the bytes, in lines of 76 characters ended by CR LF.
std::string base64Lines(std::string_view bytes);

// The whole message: headers, an empty line, the body in UTF-8 and base64.
// Every header value goes through oneLine(); addresses that are not plain are
// left out of the To header.
std::string messageOf(const MailText& mail);

// The date of a Date header for the moment now, in UTC.
std::string mailDateNow();

// A Message-ID of its own for a mail from `from`: the moment, random bits and
// the sender's domain (or "plenvo.invalid").
std::string newMessageId(std::string_view from);

// The link of the web view's page of an agent: WebUrl/agents/HOST/USER, the
// names percent-encoded.
std::string agentLink(std::string_view webUrl, std::string_view host, std::string_view user);

}  // namespace plenvo::alerts
