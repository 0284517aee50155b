#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/text/text_file.h"
#include "platform/text/text_file_parts.h"
#include "platform/text/utf8_path.h"
#include "platform/win/win32_win.h"

namespace plenvo::platform {

using text::decodeInto;
using text::giveBack;
using text::isAscii;
using text::kBufferSize;
using text::takeBuffer;

namespace {

// CP932 through the system's own code page 932, made to give what the Linux
// build gives with glibc's converter: the same characters for the same bytes,
// U+FFFD for each byte that starts no character, and "?" for each character
// (or broken UTF-8 sequence) that CP932 cannot hold. The system's tables are
// asked once per character and kept, which also spares a call per line.
class Cp932Tables {
  public:
    static const Cp932Tables& get() {
        static const Cp932Tables tables;
        return tables;
    }
    // The character of a two-byte code; 0 where the pair is none.
    char16_t pair(unsigned char lead, unsigned char trail) const {
        return lead >= 0x80 ? pairs_[lead - 0x80][trail] : 0;
    }
    // CP932 bytes of a character: 0 none, below 0x100 one byte, else lead and trail.
    std::uint16_t bytesOf(char16_t c) const { return bytes_[c]; }

  private:
    Cp932Tables() : bytes_(0x10000, 0) {
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                wchar_t out[2] = {};
                // Without MB_ERR_INVALID_CHARS Windows would make up a character.
                if (::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, in, 2, out, 2) == 1)
                    pairs_[lead - 0x80][trail] = static_cast<char16_t>(out[0]);
            }
        }
        for (unsigned c = 0x80; c <= 0xFFFF; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF) continue;
            const wchar_t in = static_cast<wchar_t>(c);
            char out[2] = {};
            BOOL defaulted = FALSE;
            // No best fit: a character CP932 lacks must become "?", not a look-alike.
            const int n = ::WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &in, 1, out, 2, nullptr,
                                                &defaulted);
            if (defaulted || n < 1) continue;
            const auto b0 = static_cast<unsigned char>(out[0]);
            const auto b1 = static_cast<unsigned char>(out[1]);
            bytes_[c] = static_cast<std::uint16_t>(n == 1 ? b0 : (b0 << 8 | b1));
        }
        // Single bytes other than ASCII and half-width katakana (0x80, 0xA0,
        // 0xFD-0xFF) start no character for glibc; Windows maps them to
        // U+0080 and private-use characters, which are kept out both ways.
        for (const unsigned c : {0x80u, 0xF8F0u, 0xF8F1u, 0xF8F2u, 0xF8F3u}) bytes_[c] = 0;
        // glibc's CP932 also takes the JIS forms of these characters.
        const std::pair<char16_t, std::uint16_t> jisForms[] = {
            {0x00A2, 0x8191}, {0x00A3, 0x8192}, {0x00A5, 0x5C},
            {0x00AC, 0x81CA}, {0x2014, 0x815C}, {0x2016, 0x8161},
            {0x203E, 0x7E},   {0x2212, 0x817C}, {0x301C, 0x8160}};
        for (const auto& [c, bytes] : jisForms) bytes_[c] = bytes;
    }

    std::array<std::array<char16_t, 256>, 128> pairs_{};
    std::vector<std::uint16_t> bytes_;
};

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The character at the start of `rest` and the bytes it spans. A broken
// sequence spans one byte, so that the "?" for it never swallows the
// characters after it; a well-formed one that is no character (too long a
// form, a surrogate, beyond U+10FFFF) spans its bytes and gives nothing.
std::pair<std::optional<char32_t>, size_t> nextCharacter(std::string_view rest) {
    const auto lead = static_cast<unsigned char>(rest.front());
    size_t n = 0;
    char32_t c = 0;
    if ((lead & 0xE0) == 0xC0) {
        n = 2;
        c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        n = 3;
        c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        n = 4;
        c = lead & 0x07;
    } else {
        return {std::nullopt, 1};
    }
    if (n > rest.size()) return {std::nullopt, 1};
    for (size_t i = 1; i < n; ++i) {
        const auto next = static_cast<unsigned char>(rest[i]);
        if ((next & 0xC0) != 0x80) return {std::nullopt, 1};
        c = (c << 6) | (next & 0x3F);
    }
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[n] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return {std::nullopt, n};
    return {c, n};
}

}  // namespace

namespace text {

void decodeInto(std::string_view bytes, std::string& out) {
    if (isAscii(bytes)) {
        out.assign(bytes);
        return;
    }
    const Cp932Tables& tables = Cp932Tables::get();
    out.clear();
    out.reserve(bytes.size() + bytes.size() / 2 + 8);
    for (size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else if (c >= 0xA1 && c <= 0xDF) {
            appendUtf8(out, 0xFF61 + (c - 0xA1));
            ++i;
        } else if (const char16_t two =
                       i + 1 < bytes.size()
                           ? tables.pair(c, static_cast<unsigned char>(bytes[i + 1]))
                           : 0) {
            appendUtf8(out, two);
            i += 2;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
}

}  // namespace text

namespace {

std::string nameOf(const std::filesystem::path& path) {
    return utf8Of(path);
}

std::optional<FileStamp> stampOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandle(handle, &info) ||
        !::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
        return std::nullopt;
    return FileStamp{(static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
                     win::nsSince1970(basic.LastWriteTime.QuadPart),
                     win::nsSince1970(basic.ChangeTime.QuadPart),
                     (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

win::Handle openPlainOrThrow(const std::filesystem::path& path, DWORD access, DWORD disposition,
                             win::LinkRule links, FileStamp* stamp = nullptr) {
    DWORD error = 0;
    win::Handle file = win::openPlainFile(path, access, disposition, links, error);
    if (!file) {
        if (error == win::kNotPlainFile)
            throw std::system_error(EINVAL, std::generic_category(), "not a file: " + nameOf(path));
        win::throwError(error, "open " + nameOf(path));
    }
    if (stamp) *stamp = stampOfHandle(file.get()).value_or(FileStamp{});
    return file;
}

// The C runtime's descriptor for the handle, which then owns it.
int descriptorOf(win::Handle file, int flags, const std::filesystem::path& path) {
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file.get()), flags);
    if (fd < 0) throw std::system_error(EMFILE, std::generic_category(), "open " + nameOf(path));
    file.release();
    return fd;
}

HANDLE handleOf(int fd) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

std::optional<FileStamp> plainStamp(const std::filesystem::path& path) {
    // Asking for attributes only never meets a sharing conflict.
    win::Handle file(::CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
        nullptr));
    if (!file || ::GetFileType(file.get()) != FILE_TYPE_DISK) return std::nullopt;
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag))
        return std::nullopt;
    if (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
    if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && win::isLinkTag(tag.ReparseTag))
        return std::nullopt;
    return stampOfHandle(file.get());
}

}  // namespace

std::string decodeCp932(std::string_view bytes) {
    std::string out;
    decodeInto(bytes, out);
    return out;
}

std::string encodeCp932(std::string_view utf8) {
    if (isAscii(utf8)) return std::string(utf8);
    const Cp932Tables& tables = Cp932Tables::get();
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const auto [character, length] = nextCharacter(utf8.substr(i));
        i += length;
        const std::uint16_t bytes = character && *character <= 0xFFFF
                                        ? tables.bytesOf(static_cast<char16_t>(*character))
                                        : 0;
        if (bytes == 0) {
            out += '?';
        } else if (bytes < 0x100) {
            out += static_cast<char>(bytes);
        } else {
            out += static_cast<char>(bytes >> 8);
            out += static_cast<char>(bytes & 0xFF);
        }
    }
    return out;
}

// Windows opens a file by its full path as fast as through a held folder, so
// nothing is held: the folder is only checked.
OpenFolder::OpenFolder(const std::filesystem::path& path) : path_(path), fd_(-1) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        win::throwError(::GetLastError(), "open " + nameOf(path));
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw std::system_error(ENOTDIR, std::generic_category(), "open " + nameOf(path));
}

OpenFolder::~OpenFolder() = default;

std::optional<FileStamp> OpenFolder::stampOf(const std::string& name) const {
    return plainStamp(path_ / pathFromUtf8(name));
}

std::optional<FileStamp> plainFileStamp(const std::filesystem::path& path) {
    return plainStamp(path);
}

TextReader::TextReader(const std::filesystem::path& path, size_t lineLimit, Links links)
    : fd_(descriptorOf(
          openPlainOrThrow(path, GENERIC_READ, OPEN_EXISTING,
                           links == Links::refuse ? win::LinkRule::refuse : win::LinkRule::follow,
                           &opened_),
          _O_RDONLY | _O_BINARY, path)),
      limit_(lineLimit),
      buffer_(takeBuffer()) {}

TextReader::TextReader(const OpenFolder& folder, const std::string& name, size_t lineLimit,
                       Links links)
    : TextReader(folder.path() / pathFromUtf8(name), lineLimit, links) {}

TextReader::~TextReader() {
    ::_close(fd_);
    giveBack(std::move(buffer_));
}

bool TextReader::fill() {
    if (eof_) return false;
    DWORD n = 0;
    // A read error ends the file as a short read did before.
    if (!::ReadFile(handleOf(fd_), buffer_.get(), kBufferSize, &n, nullptr)) n = 0;
    pos_ = 0;
    end_ = n;
    read_ += end_;
    if (n == 0) eof_ = true;
    return n > 0;
}

FileStamp TextReader::stamp() const {
    const auto stamp = stampOfHandle(handleOf(fd_));
    if (!stamp) win::throwError(::GetLastError(), "stat");
    return *stamp;
}

TextWriter::TextWriter(const std::filesystem::path& path, Mode mode)
    : target_(path), writing_(path) {
    // A link under the name is never written through. An existing file is
    // opened and cut rather than made anew: making anew fails on a hidden file.
    DWORD access = GENERIC_WRITE;
    DWORD disposition = OPEN_ALWAYS;
    int flags = _O_WRONLY | _O_BINARY;
    const char* how = "wb";
    if (mode == Mode::append) {
        // Appending access alone: every write lands at the end, whoever else writes.
        access = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
        flags |= _O_APPEND;
        how = "ab";
    }
    durable_ = mode != Mode::create;
    if (mode == Mode::replace) {
        // A file left beside the target by an earlier write is replaced, never followed.
        writing_ += ".new~";
        ::DeleteFileW(writing_.c_str());
        disposition = CREATE_NEW;
    }
    win::Handle file = openPlainOrThrow(writing_, access, disposition, win::LinkRule::refuse);
    if (mode == Mode::create && !::SetEndOfFile(file.get()))
        win::throwError(::GetLastError(), "open " + nameOf(writing_));
    const int fd = descriptorOf(std::move(file), flags, writing_);
    file_ = ::_fdopen(fd, how);
    if (!file_) {
        const int err = errno;
        ::_close(fd);
        throw std::system_error(err, std::generic_category(), "open " + nameOf(writing_));
    }
    // Pages run to many megabytes: fewer, larger writes.
    buffer_ = takeBuffer();
    std::setvbuf(file_, buffer_.get(), _IOFBF, kBufferSize);
}

namespace text {

std::error_code flushToDisk(std::FILE* file) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
    if (::FlushFileBuffers(handle)) return {};
    return std::error_code(static_cast<int>(::GetLastError()), std::system_category());
}

// Windows brings the folder's entry up to date only once the file is closed.
FileStamp stampOfOpen(std::FILE*) {
    return {};
}

void removeQuietly(const std::filesystem::path& file) {
    ::DeleteFileW(file.c_str());
}

void replaceTarget(const std::filesystem::path& written, const std::filesystem::path& target) {
    // The new text stays beside the target when the target cannot be
    // replaced: nothing of it is lost, and the next write tries again.
    if (const DWORD error = win::moveReplacing(written, target))
        win::throwError(error, "rename " + nameOf(target));
}

// Asked by name once the file is closed, as a listing will see it.
FileStamp committedStamp(const std::filesystem::path& target, const FileStamp&) {
    return plainStamp(target).value_or(FileStamp{});
}

}  // namespace text

std::optional<std::string> readPlainFile(const std::filesystem::path& path, size_t limit,
                                         FileStamp& stamp) {
    DWORD error = 0;
    const win::Handle file =
        win::openPlainFile(path, GENERIC_READ, OPEN_EXISTING, win::LinkRule::refuse, error);
    if (!file) return std::nullopt;
    const auto opened = stampOfHandle(file.get());
    if (!opened) return std::nullopt;
    stamp = *opened;
    return text::readWithin(limit, stamp.size, [&file](char* into, size_t length) -> size_t {
        const DWORD want = static_cast<DWORD>(std::min<size_t>(length, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(file.get(), into, want, &got, nullptr)) return 0;
        return got;
    });
}

namespace {

// Name by name, each file asked for its stamp: for file systems and servers
// whose listing cannot carry the stamp.
bool listStampsByName(const std::filesystem::path& folder,
                      const std::function<bool(std::string_view name)>& wanted,
                      const std::function<void(std::string_view name, const FileStamp&)>& seen) {
    WIN32_FIND_DATAW entry{};
    const HANDLE find =
        ::FindFirstFileExW((folder / L"*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                           nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const DWORD attributes = entry.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && win::isLinkTag(entry.dwReserved0)))
            continue;
        const std::string name = win::utf8(entry.cFileName);
        if (!wanted(name)) continue;
        if (const auto stamp = plainStamp(folder / entry.cFileName)) seen(name, *stamp);
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);
    return true;
}

}  // namespace

bool listStamps(const std::filesystem::path& folder,
                const std::function<bool(std::string_view name)>& wanted,
                const std::function<void(std::string_view name, const FileStamp&)>& seen) {
    const win::Handle dir(::CreateFileW(
        folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!dir) return false;
    // The listing carries every part of a stamp: no file is opened for it.
    std::unique_ptr<char[]> buffer = takeBuffer();
    std::string name;
    for (bool first = true;; first = false) {
        if (!::GetFileInformationByHandleEx(dir.get(), FileIdBothDirectoryInfo, buffer.get(),
                                            kBufferSize)) {
            const DWORD error = ::GetLastError();
            giveBack(std::move(buffer));
            if (error == ERROR_NO_MORE_FILES) return true;
            return first && error != ERROR_ACCESS_DENIED && listStampsByName(folder, wanted, seen);
        }
        for (size_t at = 0;;) {
            const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.get() + at);
            const DWORD attributes = entry->FileAttributes;
            // For a reparse point the listing gives its tag in place of the EA size.
            const bool link =
                (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && win::isLinkTag(entry->EaSize);
            if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) && !link) {
                name = win::utf8(
                    std::wstring_view(entry->FileName, entry->FileNameLength / sizeof(wchar_t)));
                if (wanted(name)) {
                    // No file number in the listing (FAT): the file's own stamp, so that
                    // the listing and an open file still agree.
                    const std::optional<FileStamp> stamp =
                        entry->FileId.QuadPart == 0
                            ? plainStamp(folder / pathFromUtf8(name))
                            : FileStamp{static_cast<std::uint64_t>(entry->EndOfFile.QuadPart),
                                        win::nsSince1970(entry->LastWriteTime.QuadPart),
                                        win::nsSince1970(entry->ChangeTime.QuadPart),
                                        static_cast<std::uint64_t>(entry->FileId.QuadPart)};
                    if (stamp) seen(name, *stamp);
                }
            }
            if (entry->NextEntryOffset == 0) break;
            at += entry->NextEntryOffset;
        }
    }
}

std::optional<LocalTime> modifiedTime(const FileStamp& stamp) {
    // Whole seconds, rounded down, as lastModified() gives them.
    const std::int64_t ticks =
        stamp.modifiedNs / 100 + 116444736000000000 - (stamp.modifiedNs % 100 < 0 ? 1 : 0);
    FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    if (ticks < 0) return std::nullopt;
    return win::localTimeOf(time);
}

}  // namespace plenvo::platform
