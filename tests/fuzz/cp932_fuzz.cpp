// CP932 text from the share: decoding, encoding, and the line reader.
#include <vector>

#include "fuzz_support.h"
#include "platform/text/text_file.h"

using namespace plenvo;

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool ascii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// The lines a reader with `limit` must give for `bytes`, and how many it must pass over.
struct Expected {
    std::vector<std::string> lines;
    size_t overlong = 0;
};

Expected expectedLines(std::string_view bytes, size_t limit) {
    Expected out;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        const bool ended = end != std::string_view::npos;
        if (!ended) end = bytes.size();
        std::string_view raw = bytes.substr(start, end - start);
        if (raw.size() > limit) {
            ++out.overlong;
        } else {
            if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
            out.lines.push_back(platform::decodeCp932(raw));
        }
        start = end + 1;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = fuzz::textOf(data, size);

    const std::string decoded = platform::decodeCp932(bytes);
    FUZZ_CHECK(fuzz::validUtf8(decoded));
    if (ascii(bytes)) FUZZ_CHECK(decoded == bytes);
    // What CP932 decoded, it can encode again: the same text comes back.
    if (decoded.find(kReplacement) == std::string::npos)
        FUZZ_CHECK(platform::decodeCp932(platform::encodeCp932(decoded)) == decoded);

    // Any bytes as UTF-8: the encoded text is clean CP932.
    const std::string encoded = platform::encodeCp932(bytes);
    const std::string back = platform::decodeCp932(encoded);
    FUZZ_CHECK(fuzz::validUtf8(back));
    FUZZ_CHECK(back.find(kReplacement) == std::string::npos);
    if (ascii(bytes)) FUZZ_CHECK(encoded == bytes);

    // The reader over a file: a small line limit taken from the input, and a
    // padding line first that lays the input across the reader's 64 KiB buffer.
    if (size < 2) return 0;
    const size_t limit = data[0] % 64;
    const size_t shift = data[1];
    const std::string_view body = bytes.substr(2);
    std::string file(64 * 1024 - 1 - shift % 128, 'p');
    file += '\n';
    file += body;
    const auto path = fuzz::scratch() / "lines.txt";
    fuzz::writeBytes(path, file);

    const Expected expected = expectedLines(file, limit);
    platform::TextReader reader(path, limit);
    std::vector<std::string> lines;
    for (std::string line; reader.readLine(line);) lines.push_back(line);
    FUZZ_CHECK(lines == expected.lines);
    FUZZ_CHECK(reader.overlongLines() == expected.overlong);
    return 0;
}
