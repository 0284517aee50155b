#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/clock.h"

namespace plenvo::platform {

// Text files of the system: CP932 with CR LF on disk, UTF-8 in memory.

// Bytes CP932 cannot decode become U+FFFD; characters it cannot hold become "?".
// Each thread keeps its own converters.
std::string decodeCp932(std::string_view bytes);
std::string encodeCp932(std::string_view utf8);

// What the file system says of an open file. Equal stamps before and after a
// read mean nothing was written to it meanwhile, as far as the clock's grain tells.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;  // nanoseconds since 1970-01-01 UTC
    std::int64_t changedNs = 0;   // of the last write or change of attributes
    std::uint64_t file = 0;       // which file it is on its file system
    bool operator==(const FileStamp&) const = default;
};

// The stamp of a plain file, a link not followed; nullopt for anything else.
std::optional<FileStamp> plainFileStamp(const std::filesystem::path& path);

// A folder held open, so that files in it are opened by name without the
// folder's path being walked again for each.
class OpenFolder {
  public:
    // Throws std::system_error when the folder cannot be opened.
    explicit OpenFolder(const std::filesystem::path& path);
    ~OpenFolder();
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // As plainFileStamp() for the file of that name in the folder.
    std::optional<FileStamp> stampOf(const std::string& name) const;

  private:
    friend class TextReader;
    std::filesystem::path path_;
    int fd_;
};

// Reads a text file line by line; CR LF and LF both end a line. A line longer
// than the limit is passed over whole (its bytes are not kept), so a file of one
// huge line cannot exhaust memory.
class TextReader {
  public:
    static constexpr size_t kDefaultLineLimit = 64 * 1024;
    // `refuse`: a link under the name is not opened, so that a file others may
    // write cannot point the reader at a file of ours.
    enum class Links { follow, refuse };

    // Throws std::system_error when the file cannot be opened or is no plain file.
    explicit TextReader(const std::filesystem::path& path, size_t lineLimit = kDefaultLineLimit,
                        Links links = Links::follow);
    // The file of that name in the folder.
    TextReader(const OpenFolder& folder, const std::string& name,
               size_t lineLimit = kDefaultLineLimit, Links links = Links::follow);
    ~TextReader();
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;

    // Next line, decoded; false at the end of the file.
    bool readLine(std::string& line);
    // How many lines were passed over for their length so far.
    size_t overlongLines() const { return overlong_; }
    // Bytes taken from the file so far.
    std::uint64_t bytesRead() const { return read_; }
    // Throws std::system_error when the file system does not answer.
    FileStamp stamp() const;
    // The stamp as the file was opened, before anything was read.
    const FileStamp& openedStamp() const { return opened_; }

  private:
    FileStamp opened_;
    int fd_;
    size_t limit_;
    size_t overlong_ = 0;
    std::uint64_t read_ = 0;
    bool fill();

    std::string raw_;
    std::unique_ptr<char[]> buffer_;
    size_t pos_ = 0;
    size_t end_ = 0;
    bool eof_ = false;
};

// Writes a text file. `replace` writes beside the target and renames over it
// on commit(), so a reader never meets a half-written file; `append` adds to
// the end of an existing file (or makes a new one); `create` writes the target
// itself, for files the console can make again at any time.
//
// What survives a crash or a power cut: for `replace` and `append`, commit()
// flushes the data to the disk (fsync, FlushFileBuffers) before the rename
// publishes it, so the target then holds the old text or the whole new one;
// on Linux the folder is flushed after the rename as far as its file system
// allows. `create` promises no more than the system's cache.
class TextWriter {
  public:
    enum class Mode { create, replace, append };

    // Throws std::system_error when the file cannot be opened.
    TextWriter(const std::filesystem::path& path, Mode mode);
    ~TextWriter();  // an uncommitted replace leaves the old file as it was
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    void write(std::string_view utf8);
    void writeLine(std::string_view utf8);
    // The bytes as they stand, for files that are not the system's text (UTF-8 exports).
    void writeBytes(std::string_view bytes);
    // Writes out and closes; throws std::system_error when the data could not be
    // written or, for `replace` and `append`, flushed to the disk; a `replace`
    // then leaves the old file as it was. Returns the written file's stamp (all
    // zero when the file system did not tell it).
    FileStamp commit();
    // The file being written: the target itself, or for `replace` the file
    // beside it that commit() renames over the target.
    const std::filesystem::path& writingPath() const { return writing_; }

  private:
    std::filesystem::path target_;
    std::filesystem::path writing_;
    std::unique_ptr<char[]> buffer_;
    std::FILE* file_;
    int error_ = 0;  // errno of the first failed write
    bool durable_ = false;
    bool committed_ = false;
};

// The bytes of a small plain file; nullopt when it is missing, no plain file,
// or longer than `limit`.
std::optional<std::string> readPlainFile(const std::filesystem::path& path, size_t limit);
// The same, with the file's stamp as it was before the bytes were read: a later
// write to the file changes the stamp.
std::optional<std::string> readPlainFile(const std::filesystem::path& path, size_t limit,
                                         FileStamp& stamp);

// Goes once through the plain files directly in `folder` (links are not
// followed and left out) and hands `seen` the stamp of each file that `wanted`
// picks, right after `wanted` picked it. False when the folder cannot be listed.
bool listStamps(const std::filesystem::path& folder,
                const std::function<bool(std::string_view name)>& wanted,
                const std::function<void(std::string_view name, const FileStamp&)>& seen);

// The time of the file's last change of contents as lastModified() tells it.
std::optional<LocalTime> modifiedTime(const FileStamp& stamp);

// Modification times that one step of a pass knows of the files it met, for a
// later step of the same pass that would otherwise ask for each again.
class FileTimes {
  public:
    virtual ~FileTimes() = default;
    // What lastModified() tells of the path, asked of the file system when unknown.
    virtual std::optional<LocalTime> lastModified(const std::string& path) const = 0;
    // Every time is asked of the file system until the step that knows them runs again.
    virtual void clear() = 0;
};

// Reads a whole file into lines (convenience for small exchange files).
std::vector<std::string> readAllLines(const std::filesystem::path& path);

}  // namespace plenvo::platform
