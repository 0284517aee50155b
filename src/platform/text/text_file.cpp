#include "platform/text/text_file.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/text/text_file_parts.h"
#include "platform/text/utf8_path.h"

// What reading and writing CP932 text has in common on every system; opening,
// filling and committing are each system's own.
namespace plenvo::platform {

namespace text {

bool isAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// A pass opens thousands of files: their buffers go back to a spare list for
// the next file rather than to the heap. One list for the process, never
// destroyed: a list per thread would be freed by mingw before its destructor
// runs, and a pass still ending at exit may use it.
class SpareBuffers {
  public:
    std::unique_ptr<char[]> take() {
        {
            const std::lock_guard lock(mutex_);
            if (!spare_.empty()) {
                auto buffer = std::move(spare_.back());
                spare_.pop_back();
                return buffer;
            }
        }
        return std::make_unique_for_overwrite<char[]>(kBufferSize);
    }
    void giveBack(std::unique_ptr<char[]> buffer) {
        const std::lock_guard lock(mutex_);
        if (buffer && spare_.size() < kKept) spare_.push_back(std::move(buffer));
    }

  private:
    static constexpr size_t kKept = 8;
    std::mutex mutex_;
    std::vector<std::unique_ptr<char[]>> spare_;
};

SpareBuffers& spareBuffers() {
    static auto* const spare = new SpareBuffers;
    return *spare;
}

std::unique_ptr<char[]> takeBuffer() {
    return spareBuffers().take();
}

void giveBack(std::unique_ptr<char[]> buffer) {
    spareBuffers().giveBack(std::move(buffer));
}

std::optional<std::string> readWithin(size_t limit, std::uint64_t openedSize,
                                      const std::function<size_t(char*, size_t)>& readSome) {
    // One byte past the limit tells a file that is too long.
    const size_t most = limit + 1;
    std::string bytes(static_cast<size_t>(std::min<std::uint64_t>(openedSize + 1, most)), '\0');
    size_t n = 0;
    for (;;) {
        if (n == bytes.size()) {
            if (bytes.size() == most) break;
            // It grew since it was opened.
            bytes.resize(std::min(most, bytes.size() * 2));
        }
        const size_t got = readSome(bytes.data() + n, bytes.size() - n);
        if (got == 0) break;
        n += got;
    }
    if (n > limit) return std::nullopt;
    bytes.resize(n);
    return bytes;
}

}  // namespace text

using text::decodeInto;
using text::isAscii;

bool TextReader::readLine(std::string& line) {
    for (;;) {
        // Most lines lie whole in the buffer: they are decoded from there.
        if (pos_ < end_) {
            const char* start = buffer_.get() + pos_;
            const char* nl = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
            if (nl && static_cast<size_t>(nl - start) <= limit_) {
                std::string_view text(start, nl - start);
                pos_ += text.size() + 1;
                if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
                decodeInto(text, line);
                return true;
            }
        }
        raw_.clear();
        bool tooLong = false;
        bool any = false;
        bool ended = false;
        while (!ended) {
            if (pos_ == end_ && !fill()) break;
            any = true;
            const char* start = buffer_.get() + pos_;
            const char* stop = buffer_.get() + end_;
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
        decodeInto(raw_, line);
        return true;
    }
}

void TextWriter::write(std::string_view utf8) {
    if (isAscii(utf8)) {
        if (std::fwrite(utf8.data(), 1, utf8.size(), file_) != utf8.size() && !error_)
            error_ = errno;
        return;
    }
    const std::string bytes = encodeCp932(utf8);
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size() && !error_)
        error_ = errno;
}

void TextWriter::writeBytes(std::string_view bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size() && !error_)
        error_ = errno;
}

void TextWriter::writeLine(std::string_view utf8) {
    write(utf8);
    if (std::fwrite("\r\n", 1, 2, file_) != 2 && !error_) error_ = errno;
}

std::vector<std::string> readAllLines(const std::filesystem::path& path) {
    TextReader reader(path);
    std::vector<std::string> lines;
    std::string line;
    while (reader.readLine(line)) lines.push_back(line);
    return lines;
}

TextWriter::~TextWriter() {
    if (committed_) return;
    std::fclose(file_);
    text::giveBack(std::move(buffer_));
    if (writing_ != target_) text::removeQuietly(writing_);
}

FileStamp TextWriter::commit() {
    // The first error says why, "No space left on device" above all.
    if (std::fflush(file_) != 0 && !error_) error_ = errno;
    std::error_code failure;
    if (std::ferror(file_) != 0 || error_ != 0)
        failure = std::error_code(error_ ? error_ : EIO, std::generic_category());
    // On the disk before the rename makes it the file others read.
    if (!failure && durable_) failure = text::flushToDisk(file_);
    const FileStamp ofOpen = text::stampOfOpen(file_);
    if (std::fclose(file_) != 0 && !failure)
        failure = std::error_code(errno, std::generic_category());
    text::giveBack(std::move(buffer_));
    committed_ = true;
    if (failure) {
        if (writing_ != target_) text::removeQuietly(writing_);
        throw std::system_error(failure, "write " + utf8Of(target_));
    }
    if (writing_ != target_) text::replaceTarget(writing_, target_);
    return text::committedStamp(target_, ofOpen);
}

std::optional<std::string> readPlainFile(const std::filesystem::path& path, size_t limit) {
    FileStamp stamp;
    return readPlainFile(path, limit, stamp);
}

}  // namespace plenvo::platform
