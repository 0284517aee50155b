#include "platform/network/smb/smb_client_linux.h"

#include <fcntl.h>
#include <libsmbclient.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <random>
#include <thread>

#include "platform/core/percent_encoding.h"
#include "platform/paths/windows_path.h"
#include "platform/process/detached_command.h"

namespace plenvo::platform {
namespace {

using SteadyClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// libsmbclient 4.17 keeps one talloc stack, its configuration and its debug
// state for the whole process, and cannot be told to keep them per thread
// (smbc_thread_posix is declared but not exported): two threads in it at once
// free each other's memory. So every call into it takes this one lock.
std::timed_mutex& libraryLock() {
    static std::timed_mutex lock;
    return lock;
}

// SIGPIPE held back while this thread is in libsmbclient, which writes to
// sockets that a server or the watchdog may have closed.
class PipeSignalHeld {
  public:
    PipeSignalHeld() { ::pthread_sigmask(SIG_BLOCK, &pipe(), &previous_); }
    ~PipeSignalHeld() {
        // One raised meanwhile is taken here rather than delivered later.
        const timespec now{0, 0};
        while (::sigtimedwait(&pipe(), nullptr, &now) == SIGPIPE) {
        }
        ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    PipeSignalHeld(const PipeSignalHeld&) = delete;
    PipeSignalHeld& operator=(const PipeSignalHeld&) = delete;

  private:
    static const sigset_t& pipe() {
        static const sigset_t set = [] {
            sigset_t s;
            ::sigemptyset(&s);
            ::sigaddset(&s, SIGPIPE);
            return s;
        }();
        return set;
    }
    sigset_t previous_;
};

bool sameHost(const sockaddr_storage& peer, const ServerAddress& server) {
    if (peer.ss_family != server.address.ss_family) return false;
    if (peer.ss_family == AF_INET) {
        const auto& a = reinterpret_cast<const sockaddr_in&>(peer);
        const auto& b = reinterpret_cast<const sockaddr_in&>(server.address);
        return a.sin_addr.s_addr == b.sin_addr.s_addr;
    }
    if (peer.ss_family == AF_INET6) {
        const auto& a = reinterpret_cast<const sockaddr_in6&>(peer);
        const auto& b = reinterpret_cast<const sockaddr_in6&>(server.address);
        return std::memcmp(&a.sin6_addr, &b.sin6_addr, sizeof a.sin6_addr) == 0;
    }
    return false;
}

int portOf(const sockaddr_storage& peer) {
    if (peer.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in&>(peer).sin_port);
    if (peer.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(peer).sin6_port);
    return 0;
}

// Shuts this process's SMB connections to the server (ports 445 and 139),
// which makes whatever waits on them in libsmbclient return at once.
void cutConnections(const std::vector<ServerAddress>& server) {
    std::error_code ec;
    std::filesystem::directory_iterator it("/proc/self/fd", ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        const int fd = std::atoi(name.c_str());
        sockaddr_storage peer{};
        socklen_t size = sizeof peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0) continue;
        if (portOf(peer) != 445 && portOf(peer) != 139) continue;
        if (std::any_of(server.begin(), server.end(),
                        [&](const ServerAddress& a) { return sameHost(peer, a); }))
            ::shutdown(fd, SHUT_RDWR);
    }
}

// Cuts the server's connections at the deadline. libsmbclient waits its
// timeout anew for every request, so a server that answers the first ones and
// then falls silent would hold a call for several times the limit.
class Watchdog {
  public:
    Watchdog(std::vector<ServerAddress> server, SteadyClock::time_point deadline)
        : thread_([this, server = std::move(server), deadline] {
              std::unique_lock lock(mutex_);
              if (wake_.wait_until(lock, deadline, [this] { return done_; })) return;
              fired_ = true;
              cutConnections(server);
          }) {}
    ~Watchdog() {
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    bool fired() const { return fired_; }

  private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::atomic<bool> fired_{false};
    std::thread thread_;  // last: it uses the members above
};

// "\\server\share\folder\file" taken apart; nullopt without a share or with "..".
struct UncPath {
    std::string server;
    std::string share;
    std::vector<std::string> rest;
};

std::optional<UncPath> parseUnc(const std::string& unc) {
    const auto parts = uncComponentsOf(unc);
    if (parts.size() < 2 || parts[1].empty() || !plausibleServerName(parts[0])) return std::nullopt;
    UncPath path{parts[0], parts[1], {}};
    for (auto part = parts.begin() + 2; part != parts.end(); ++part) {
        if (*part == "..") return std::nullopt;
        if (!part->empty() && *part != ".") path.rest.push_back(*part);
    }
    return path;
}

std::string urlOf(const UncPath& path, size_t restCount) {
    std::string url = "smb://" + percentEncoded(path.server) + "/" + percentEncoded(path.share);
    for (size_t i = 0; i < restCount; ++i) url += "/" + percentEncoded(path.rest[i]);
    return url;
}

std::string urlOf(const UncPath& path) {
    return urlOf(path, path.rest.size());
}

// Bytes per allocation unit: without UNIX extensions (SMB2 and later, Windows)
// libsmbclient puts bytes per sector in f_bsize and sectors per unit in f_frsize.
double unitBytes(const struct statvfs& st) {
    if (st.f_flag & SMBC_VFS_FEATURE_NO_UNIXCIFS)
        return static_cast<double>(st.f_bsize) * static_cast<double>(st.f_frsize);
    return static_cast<double>(st.f_frsize ? st.f_frsize : st.f_bsize);
}

// smbclient's "volume" line: "Volume: |label| serial number 0x490e0f1e".
void takeVolume(const std::string& output, DriveValues& values) {
    static const std::string head = "Volume: |", tail = "| serial number 0x";
    const auto start = output.find(head);
    if (start == std::string::npos) return;
    const auto end = output.find(tail, start + head.size());
    if (end == std::string::npos) return;
    values.volumeName = output.substr(start + head.size(), end - start - head.size());
    const char* digits = output.c_str() + end + tail.size();
    char* after = nullptr;
    const unsigned long long serial = std::strtoull(digits, &after, 16);
    if (after != digits && serial <= 0xFFFFFFFFull)
        values.serialNumber = static_cast<std::int32_t>(static_cast<std::uint32_t>(serial));
}

std::string randomSuffix() {
    std::random_device device;
    char text[9];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(device()));
    return text;
}

std::optional<LocalTime> localTimeOf(std::time_t seconds) {
    std::tm tm{};
    if (!::localtime_r(&seconds, &tm)) return std::nullopt;
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                     tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

void copyInto(const std::string& value, char* buffer, int size) {
    if (size > 0) std::snprintf(buffer, static_cast<size_t>(size), "%s", value.c_str());
}

}  // namespace

// One libsmbclient context; made, used and freed only in a turn at the library.
class SmbClient::Context {
  public:
    Context(const NetworkSignIn& signIn, std::chrono::milliseconds limit) : signIn_(signIn) {
        context_ = smbc_new_context();
        if (!context_) return;
        // Nothing on the console's standard streams, and never a prompt: the
        // only credentials are the ones handed over below.
        smbc_setDebug(context_, 0);
        smbc_setOptionDebugToStderr(context_, false);
        smbc_setLogCallback(context_, nullptr, [](void*, int, const char*) {});
        smbc_setTimeout(context_, static_cast<int>(std::max(limit, 1000ms).count()));
        smbc_setOptionUserData(context_, &signIn_);
        smbc_setFunctionAuthDataWithContext(context_, &Context::provideSignIn);
        const bool named = signIn_.usable();
        // A named account signs in or fails; without one, the user's Kerberos
        // ticket is tried, then anonymous.
        smbc_setOptionUseKerberos(context_, !named);
        smbc_setOptionFallbackAfterKerberos(context_, !named);
        smbc_setOptionNoAutoAnonymousLogin(context_, named);
        if (!smbc_init_context(context_)) {
            smbc_free_context(context_, 1);
            context_ = nullptr;
        }
    }
    ~Context() {
        if (context_) smbc_free_context(context_, 1);
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    SMBCCTX* get() const { return context_; }

  private:
    static void provideSignIn(SMBCCTX* context, const char* server, const char*, char* workgroup,
                              int workgroupSize, char* user, int userSize, char* password,
                              int passwordSize) {
        const auto* given = static_cast<const NetworkSignIn*>(smbc_getOptionUserData(context));
        if (!given || !server) return;
        const NetworkSignIn signIn = given->forServer(server);
        if (!signIn.usable()) return;  // the console user's name, no password
        copyInto(signIn.user, user, userSize);
        copyInto(signIn.password, password, passwordSize);
        if (!signIn.domain.empty()) copyInto(signIn.domain, workgroup, workgroupSize);
    }

    NetworkSignIn signIn_;
    SMBCCTX* context_ = nullptr;
};

SmbClient::SmbClient(const NetworkSignIn& signIn, std::chrono::milliseconds limit)
    : signIn_(signIn), limit_(limit) {}

SmbClient::~SmbClient() {
    if (!context_) return;
    // Freeing the context logs off every server still connected; one fallen
    // silent is cut at the limit.
    const std::lock_guard lock(libraryLock());
    const PipeSignalHeld held;
    const Watchdog watchdog(serversReached_, SteadyClock::now() + limit_);
    context_.reset();
}

bool SmbClient::inTurn(const std::string& server, const std::function<void(Context&)>& work) {
    const auto start = SteadyClock::now();
    const auto addresses = smbAddressesOf(server);
    if (addresses.empty() || !smbServerAnswers(addresses, start + limit_)) return false;
    std::unique_lock lock(libraryLock(), std::defer_lock);
    const auto queued = SteadyClock::now();
    if (!lock.try_lock_for(limit_)) return false;
    const PipeSignalHeld held;
    if (!context_) context_ = std::make_unique<Context>(signIn_, limit_);
    if (!context_->get()) {
        context_.reset();
        return false;
    }
    for (const auto& address : addresses)
        if (std::none_of(serversReached_.begin(), serversReached_.end(),
                         [&](const ServerAddress& a) { return sameHost(a.address, address); }))
            serversReached_.push_back(address);
    // The time spent waiting for another thread's turn is not this call's.
    const Watchdog watchdog(addresses, start + limit_ + (SteadyClock::now() - queued));
    work(*context_);
    return !watchdog.fired();
}

std::optional<bool> SmbClient::folderExists(const std::string& unc) {
    const auto path = parseUnc(unc);
    if (!path) return std::nullopt;
    const std::string url = urlOf(*path);
    int result = -1, error = 0;
    struct stat st {};
    const bool answered = inTurn(path->server, [&](Context& c) {
        result = smbc_getFunctionStat(c.get())(c.get(), url.c_str(), &st);
        error = errno;
    });
    if (!answered) return std::nullopt;
    if (result == 0) return S_ISDIR(st.st_mode);
    // ENOENT also stands for a share the server does not have.
    if (error == ENOENT || error == ENOTDIR) return false;
    return std::nullopt;
}

std::optional<DriveValues> SmbClient::driveValues(const std::string& unc) {
    const auto start = SteadyClock::now();
    const auto path = parseUnc(unc);
    if (!path) return std::nullopt;
    std::string url = urlOf(*path);
    int result = -1;
    struct statvfs st {};
    const bool answered = inTurn(path->server, [&](Context& c) {
        result = smbc_getFunctionStatVFS(c.get())(c.get(), url.data(), &st);
    });
    if (!answered || result != 0) return std::nullopt;
    DriveValues values;
    values.totalBytes = static_cast<double>(st.f_blocks) * unitBytes(st);
    values.freeBytes = static_cast<double>(st.f_bavail) * unitBytes(st);
    values.driveType = kNetwork;

    // libsmbclient has no call for the volume; smbclient asks for it.
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(start + limit_ - SteadyClock::now());
    const std::string smbclient = findProgram("smbclient");
    if (left < 200ms || smbclient.empty()) return values;
    const SambaToolSignIn signIn(signIn_.forServer(path->server));
    if (!signIn.ready()) return values;
    std::vector<std::string> argv = {smbclient, "//" + path->server + "/" + path->share, "-R",
                                     "host"};
    argv.insert(argv.end(), signIn.arguments().begin(), signIn.arguments().end());
    argv.insert(argv.end(), {"-c", "volume"});
    if (const auto output = runBounded(argv, left)) takeVolume(output->output, values);
    return values;
}

bool SmbClient::writeTextFile(const std::string& unc, const std::string& bytes) {
    const auto path = parseUnc(unc);
    if (!path || path->rest.empty()) return false;
    const std::string target = urlOf(*path);
    const std::string temporary = urlOf(*path, path->rest.size() - 1) + "/" +
                                  percentEncoded(path->rest.back() + "." + randomSuffix() + ".tmp");
    bool written = false;
    const bool answered = inTurn(path->server, [&](Context& c) {
        SMBCCTX* context = c.get();
        SMBCFILE* file = smbc_getFunctionOpen(context)(context, temporary.c_str(),
                                                       O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (!file) return;
        bool complete = true;
        for (size_t done = 0; complete && done < bytes.size();) {
            const ssize_t n = smbc_getFunctionWrite(context)(context, file, bytes.data() + done,
                                                             bytes.size() - done);
            complete = n > 0;
            if (complete) done += static_cast<size_t>(n);
        }
        complete = smbc_getFunctionClose(context)(context, file) == 0 && complete;
        complete = complete && smbc_getFunctionRename(context)(context, temporary.c_str(), context,
                                                               target.c_str()) == 0;
        if (!complete) smbc_getFunctionUnlink(context)(context, temporary.c_str());
        written = complete;
    });
    return answered && written;
}

Reached<FileTail> SmbClient::readFileTail(const std::string& unc, std::uint64_t limit) {
    const auto path = parseUnc(unc);
    if (!path || path->rest.empty()) return {};
    const std::string url = urlOf(*path);
    std::optional<FileTail> tail;
    const bool answered = inTurn(path->server, [&](Context& c) {
        SMBCCTX* context = c.get();
        SMBCFILE* file = smbc_getFunctionOpen(context)(context, url.c_str(), O_RDONLY, 0);
        if (!file) return;
        struct stat st {};
        if (smbc_getFunctionFstat(context)(context, file, &st) == 0 && S_ISREG(st.st_mode) &&
            st.st_size >= 0) {
            FileTail read;
            read.size = static_cast<std::uint64_t>(st.st_size);
            const std::uint64_t start = read.size > limit ? read.size - limit : 0;
            if (smbc_getFunctionLseek(context)(context, file, static_cast<off_t>(start),
                                               SEEK_SET) >= 0) {
                read.bytes.resize(static_cast<std::size_t>(read.size - start));
                std::size_t done = 0;
                while (done < read.bytes.size()) {
                    const ssize_t n = smbc_getFunctionRead(context)(
                        context, file, read.bytes.data() + done, read.bytes.size() - done);
                    if (n <= 0) break;
                    done += static_cast<std::size_t>(n);
                }
                read.bytes.resize(done);
                tail = std::move(read);
            }
        }
        smbc_getFunctionClose(context)(context, file);
    });
    if (!answered) return {std::nullopt, true};
    return {std::move(tail), false};
}

Reached<std::vector<FolderEntry>> SmbClient::listFolder(const std::string& unc) {
    const auto path = parseUnc(unc);
    if (!path) return {};
    const std::string url = urlOf(*path);
    std::optional<std::vector<FolderEntry>> entries;
    const bool answered = inTurn(path->server, [&](Context& c) {
        SMBCCTX* context = c.get();
        SMBCFILE* folder = smbc_getFunctionOpendir(context)(context, url.c_str());
        if (!folder) return;
        std::vector<FolderEntry> found;
        while (found.size() < kFolderEntryLimit) {
            const libsmb_file_info* info = smbc_getFunctionReaddirPlus(context)(context, folder);
            if (!info) break;
            if (!info->name) continue;
            const std::string name = info->name;
            if (name == "." || name == "..") continue;
            FolderEntry entry;
            entry.name = name;
            entry.folder = (info->attrs & 0x10) != 0;  // FILE_ATTRIBUTE_DIRECTORY
            entry.size = entry.folder ? 0 : info->size;
            entry.modified = localTimeOf(info->mtime_ts.tv_sec);
            found.push_back(std::move(entry));
        }
        smbc_getFunctionClosedir(context)(context, folder);
        std::sort(found.begin(), found.end(),
                  [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
        entries = std::move(found);
    });
    if (!answered) return {std::nullopt, true};
    return {std::move(entries), false};
}

}  // namespace plenvo::platform
