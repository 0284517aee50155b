#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <system_error>

#include "platform/text_file.h"

namespace plenvo::platform {
namespace {

class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::system_error(errno, std::generic_category(), "iconv_open");
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts the whole input; `onBadInput` gives the replacement text and how
    // many input bytes the bad sequence spans.
    template <typename BadInput>
    std::string run(std::string_view in, BadInput onBadInput) {
        std::string out;
        out.reserve(in.size() + in.size() / 2 + 8);
        char buffer[4096];
        char* src = const_cast<char*>(in.data());
        size_t left = in.size();
        while (left > 0) {
            char* dst = buffer;
            size_t room = sizeof buffer;
            const size_t rc = iconv(cd_, &src, &left, &dst, &room);
            out.append(buffer, dst);
            if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
                auto [text, skip] = onBadInput(std::string_view(src, left));
                out += text;
                src += skip;
                left -= skip;
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            }
        }
        return out;
    }

  private:
    iconv_t cd_;
};

bool isAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// Bytes of the character at the start of `rest`; a broken sequence counts one
// byte, so that the "?" for it never swallows the characters after it.
size_t utf8Length(std::string_view rest) {
    const auto lead = static_cast<unsigned char>(rest.front());
    size_t n = 1;
    if ((lead & 0xE0) == 0xC0)
        n = 2;
    else if ((lead & 0xF0) == 0xE0)
        n = 3;
    else if ((lead & 0xF8) == 0xF0)
        n = 4;
    if (n > rest.size()) return 1;
    for (size_t i = 1; i < n; ++i)
        if ((static_cast<unsigned char>(rest[i]) & 0xC0) != 0x80) return 1;
    return n;
}

// Opens a plain file only: a pipe or device placed under a text file's name
// would block the reader or never end.
// Opens only a plain file, so that a pipe or device under an expected name can
// neither block the console nor feed it without end.
std::FILE* openPlainFile(const std::filesystem::path& path, int flags, const char* mode) {
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), "open " + path.string());
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw std::system_error(EINVAL, std::generic_category(), "not a file: " + path.string());
    }
    std::FILE* file = ::fdopen(fd, mode);
    if (!file) {
        const int err = errno;
        ::close(fd);
        throw std::system_error(err, std::generic_category(), "open " + path.string());
    }
    return file;
}

}  // namespace

std::string decodeCp932(std::string_view bytes) {
    if (isAscii(bytes)) return std::string(bytes);
    Converter conv("UTF-8", "CP932");
    return conv.run(bytes, [](std::string_view) {
        return std::pair{std::string("\xEF\xBF\xBD"), size_t{1}};
    });
}

std::string encodeCp932(std::string_view utf8) {
    if (isAscii(utf8)) return std::string(utf8);
    Converter conv("CP932", "UTF-8");
    return conv.run(utf8, [](std::string_view rest) {
        return std::pair{std::string("?"), utf8Length(rest)};
    });
}

TextReader::TextReader(const std::filesystem::path& path, size_t lineLimit, Links links)
    : file_(openPlainFile(path, O_RDONLY | (links == Links::refuse ? O_NOFOLLOW : 0), "rb")),
      limit_(lineLimit),
      buffer_(64 * 1024) {}

TextReader::~TextReader() {
    std::fclose(file_);
}

bool TextReader::fill() {
    if (eof_) return false;
    const size_t n = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    pos_ = 0;
    end_ = n;
    read_ += n;
    if (n == 0) eof_ = true;
    return n > 0;
}

FileStamp TextReader::stamp() const {
    struct stat st;
    if (::fstat(::fileno(file_), &st) != 0)
        throw std::system_error(errno, std::generic_category(), "fstat");
    constexpr std::int64_t kNs = 1'000'000'000;
    return {static_cast<std::uint64_t>(st.st_size), st.st_mtim.tv_sec * kNs + st.st_mtim.tv_nsec,
            st.st_ctim.tv_sec * kNs + st.st_ctim.tv_nsec};
}

bool TextReader::readLine(std::string& line) {
    for (;;) {
        raw_.clear();
        bool tooLong = false;
        bool any = false;
        bool ended = false;
        while (!ended) {
            if (pos_ == end_ && !fill()) break;
            any = true;
            const char* start = buffer_.data() + pos_;
            const char* stop = buffer_.data() + end_;
            const char* nl = static_cast<const char*>(std::memchr(start, '\n', stop - start));
            const char* pieceEnd = nl ? nl : stop;
            const size_t piece = pieceEnd - start;
            if (raw_.size() + piece <= limit_)
                raw_.append(start, piece);
            else
                tooLong = true;
            pos_ += piece + (nl ? 1 : 0);
            ended = nl != nullptr;
        }
        if (!any) return false;
        if (tooLong) {
            ++overlong_;
            if (!ended) return false;
            continue;
        }
        if (!raw_.empty() && raw_.back() == '\r') raw_.pop_back();
        line = decodeCp932(raw_);
        return true;
    }
}

TextWriter::TextWriter(const std::filesystem::path& path, Mode mode)
    : target_(path), writing_(path) {
    // A link under the name is never written through.
    int flags = O_WRONLY | O_CREAT | O_NOFOLLOW;
    const char* how = "wb";
    if (mode == Mode::create) flags |= O_TRUNC;
    if (mode == Mode::append) {
        flags |= O_APPEND;
        how = "ab";
    }
    if (mode == Mode::replace) {
        writing_ += ".new~";
        ::unlink(writing_.c_str());
        flags |= O_EXCL;
    }
    file_ = openPlainFile(writing_, flags, how);
}
TextWriter::~TextWriter() {
    if (committed_) return;
    std::fclose(file_);
    if (writing_ != target_) ::unlink(writing_.c_str());
}

void TextWriter::write(std::string_view utf8) {
    const std::string bytes = encodeCp932(utf8);
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size() && !error_)
        error_ = errno;
}

void TextWriter::writeLine(std::string_view utf8) {
    write(utf8);
    if (std::fwrite("\r\n", 1, 2, file_) != 2 && !error_) error_ = errno;
}

void TextWriter::commit() {
    // The first error says why, "No space left on device" above all.
    if (std::fflush(file_) != 0 && !error_) error_ = errno;
    const bool failed = std::ferror(file_) != 0 || error_ != 0;
    if (std::fclose(file_) != 0 && !error_) error_ = errno;
    committed_ = true;
    if (failed || error_) {
        if (writing_ != target_) ::unlink(writing_.c_str());
        throw std::system_error(error_ ? error_ : EIO, std::generic_category(),
                                "write " + target_.string());
    }
    if (writing_ != target_ && ::rename(writing_.c_str(), target_.c_str()) != 0) {
        const int err = errno;
        ::unlink(writing_.c_str());
        throw std::system_error(err, std::generic_category(), "rename " + target_.string());
    }
}

std::optional<std::string> readPlainFile(const std::filesystem::path& path, size_t limit) {
    std::FILE* file = nullptr;
    try {
        file = openPlainFile(path, O_RDONLY | O_NOFOLLOW, "rb");
    } catch (const std::system_error&) {
        return std::nullopt;
    }
    std::string bytes(limit + 1, '\0');
    const size_t n = std::fread(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    if (n > limit) return std::nullopt;
    bytes.resize(n);
    return bytes;
}

std::vector<std::string> readAllLines(const std::filesystem::path& path) {
    TextReader reader(path);
    std::vector<std::string> lines;
    std::string line;
    while (reader.readLine(line)) lines.push_back(line);
    return lines;
}

}  // namespace plenvo::platform
