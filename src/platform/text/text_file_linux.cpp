#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <system_error>

#include "platform/text/text_file.h"
#include "platform/text/text_file_parts.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform {

using text::decodeInto;
using text::giveBack;
using text::isAscii;
using text::kBufferSize;
using text::takeBuffer;

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

    // Converts the whole input into `out`; `onBadInput` gives the replacement
    // text and how many input bytes the bad sequence spans.
    template <typename BadInput>
    void run(std::string_view in, std::string& out, BadInput onBadInput) {
        // A conversion an exception left halfway must not shift this one.
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out.clear();
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
    }

  private:
    iconv_t cd_;
};

// A converter is not safe to share between threads, and opening one for each
// line costs more than the line: each thread keeps one of each.
Converter& decoder() {
    thread_local Converter conv("UTF-8", "CP932");
    return conv;
}

Converter& encoder() {
    thread_local Converter conv("CP932", "UTF-8");
    return conv;
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

FileStamp stampOf(const struct stat& st) {
    constexpr std::int64_t kNs = 1'000'000'000;
    return {static_cast<std::uint64_t>(st.st_size), st.st_mtim.tv_sec * kNs + st.st_mtim.tv_nsec,
            st.st_ctim.tv_sec * kNs + st.st_ctim.tv_nsec, static_cast<std::uint64_t>(st.st_ino)};
}

std::optional<FileStamp> plainStampAt(int at, const char* name) {
    struct stat st;
    if (::fstatat(at, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return stampOf(st);
}

// Opens only a plain file, so that a pipe or device under an expected name can
// neither block the console nor feed it without end.
// `at` is the folder's descriptor for a name within it, else AT_FDCWD.
int openPlainFd(const std::filesystem::path& path, int flags, FileStamp* stamp = nullptr,
                int at = AT_FDCWD, const char* name = nullptr) {
    const int fd = ::openat(at, name ? name : path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), "open " + utf8Of(path));
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw std::system_error(EINVAL, std::generic_category(), "not a file: " + utf8Of(path));
    }
    if (stamp) *stamp = stampOf(st);
    return fd;
}

std::FILE* openPlainFile(const std::filesystem::path& path, int flags, const char* mode) {
    const int fd = openPlainFd(path, flags);
    std::FILE* file = ::fdopen(fd, mode);
    if (!file) {
        const int err = errno;
        ::close(fd);
        throw std::system_error(err, std::generic_category(), "open " + utf8Of(path));
    }
    return file;
}

}  // namespace

namespace text {

void decodeInto(std::string_view bytes, std::string& out) {
    if (isAscii(bytes)) {
        out.assign(bytes);
        return;
    }
    decoder().run(bytes, out, [](std::string_view) {
        return std::pair{std::string_view("\xEF\xBF\xBD"), size_t{1}};
    });
}

}  // namespace text

std::string decodeCp932(std::string_view bytes) {
    std::string out;
    decodeInto(bytes, out);
    return out;
}

std::string encodeCp932(std::string_view utf8) {
    if (isAscii(utf8)) return std::string(utf8);
    // ASCII stays as it is, and no UTF-8 sequence spans an ASCII byte: only the
    // runs between go through the converter, which is slow per byte.
    const auto ascii = [](char c) { return static_cast<unsigned char>(c) < 0x80; };
    std::string out;
    out.reserve(utf8.size());
    std::string run;
    for (auto at = utf8.begin(); at != utf8.end();) {
        const auto other = std::find_if_not(at, utf8.end(), ascii);
        out.append(at, other);
        const auto next = std::find_if(other, utf8.end(), ascii);
        if (other != next) {
            encoder().run(std::string_view(other, next), run, [](std::string_view rest) {
                return std::pair{std::string_view("?"), utf8Length(rest)};
            });
            out += run;
        }
        at = next;
    }
    return out;
}

OpenFolder::OpenFolder(const std::filesystem::path& path)
    : path_(path), fd_(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "open " + utf8Of(path));
}

OpenFolder::~OpenFolder() {
    ::close(fd_);
}

std::optional<FileStamp> OpenFolder::stampOf(const std::string& name) const {
    return plainStampAt(fd_, name.c_str());
}

std::optional<FileStamp> plainFileStamp(const std::filesystem::path& path) {
    return plainStampAt(AT_FDCWD, path.c_str());
}

TextReader::TextReader(const std::filesystem::path& path, size_t lineLimit, Links links)
    : fd_(openPlainFd(path, O_RDONLY | (links == Links::refuse ? O_NOFOLLOW : 0), &opened_)),
      limit_(lineLimit),
      buffer_(takeBuffer()) {}

TextReader::TextReader(const OpenFolder& folder, const std::string& name, size_t lineLimit,
                       Links links)
    : fd_(openPlainFd(folder.path() / pathFromUtf8(name),
                      O_RDONLY | (links == Links::refuse ? O_NOFOLLOW : 0), &opened_, folder.fd_,
                      name.c_str())),
      limit_(lineLimit),
      buffer_(takeBuffer()) {}

TextReader::~TextReader() {
    ::close(fd_);
    giveBack(std::move(buffer_));
}

bool TextReader::fill() {
    if (eof_) return false;
    ssize_t n;
    do n = ::read(fd_, buffer_.get(), kBufferSize);
    while (n < 0 && errno == EINTR);
    // A read error ends the file as a short read did before.
    if (n < 0) n = 0;
    pos_ = 0;
    end_ = static_cast<size_t>(n);
    read_ += end_;
    if (n == 0) eof_ = true;
    return n > 0;
}

FileStamp TextReader::stamp() const {
    struct stat st;
    if (::fstat(fd_, &st) != 0) throw std::system_error(errno, std::generic_category(), "fstat");
    return stampOf(st);
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
    durable_ = mode != Mode::create;
    if (mode == Mode::replace) {
        writing_ += ".new~";
        ::unlink(writing_.c_str());
        flags |= O_EXCL;
    }
    file_ = openPlainFile(writing_, flags, how);
    // Pages run to many megabytes: fewer, larger writes.
    buffer_ = takeBuffer();
    std::setvbuf(file_, buffer_.get(), _IOFBF, kBufferSize);
}
namespace text {

std::error_code flushToDisk(std::FILE* file) {
    if (::fsync(::fileno(file)) == 0) return {};
    return std::error_code(errno, std::generic_category());
}

FileStamp stampOfOpen(std::FILE* file) {
    struct stat st;
    return ::fstat(::fileno(file), &st) == 0 ? stampOf(st) : FileStamp{};
}

void removeQuietly(const std::filesystem::path& file) {
    ::unlink(file.c_str());
}

void replaceTarget(const std::filesystem::path& written, const std::filesystem::path& target) {
    if (::rename(written.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(written.c_str());
        throw std::system_error(err, std::generic_category(), "rename " + utf8Of(target));
    }
    // The rename itself lives in the folder. A folder that cannot be flushed
    // (some network file systems refuse) leaves the file in place all the same.
    const auto folder =
        target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

FileStamp committedStamp(const std::filesystem::path&, const FileStamp& ofOpen) {
    return ofOpen;
}

}  // namespace text

std::optional<std::string> readPlainFile(const std::filesystem::path& path, size_t limit,
                                         FileStamp& stamp) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    stamp = stampOf(st);
    auto bytes = text::readWithin(limit, stamp.size, [fd](char* into, size_t length) -> size_t {
        for (;;) {
            const ssize_t got = ::read(fd, into, length);
            if (got < 0 && errno == EINTR) continue;
            return got > 0 ? static_cast<size_t>(got) : 0;
        }
    });
    ::close(fd);
    return bytes;
}

bool listStamps(const std::filesystem::path& folder,
                const std::function<bool(std::string_view name)>& wanted,
                const std::function<void(std::string_view name, const FileStamp&)>& seen) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return false;
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN) continue;
        const std::string_view name = entry->d_name;
        if (!wanted(name)) continue;
        if (const auto stamp = plainStampAt(fd, entry->d_name)) seen(name, *stamp);
    }
    ::closedir(dir);
    return true;
}

std::optional<LocalTime> modifiedTime(const FileStamp& stamp) {
    // Whole seconds, rounded down, as the file system's own st_mtime gives them.
    constexpr std::int64_t kNs = 1'000'000'000;
    const std::int64_t ns = stamp.modifiedNs;
    const std::time_t seconds = static_cast<std::time_t>(ns / kNs - (ns % kNs < 0 ? 1 : 0));
    std::tm tm{};
    if (!::localtime_r(&seconds, &tm)) return std::nullopt;
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                     tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

}  // namespace plenvo::platform
