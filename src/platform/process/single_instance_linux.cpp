#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/process/environment.h"
#include "platform/process/single_instance.h"
#include "platform/text/utf8_path.h"

namespace plenvo::platform {
namespace {

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_;
};

bool sameFile(int folder, const std::string& name, int file) {
    struct stat byName {};
    struct stat held {};
    return ::fstatat(folder, name.c_str(), &byName, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::fstat(file, &held) == 0 && byName.st_dev == held.st_dev &&
           byName.st_ino == held.st_ino;
}

class FlockGuard final : public SingleInstanceGuard {
  public:
    FlockGuard(Descriptor folder, Descriptor file, std::string name)
        : folder_(std::move(folder)), file_(std::move(file)), name_(std::move(name)) {}
    // Removed while still locked: whoever opened it meanwhile sees it gone after locking.
    ~FlockGuard() override {
        if (sameFile(folder_.get(), name_, file_.get()))
            ::unlinkat(folder_.get(), name_.c_str(), 0);
    }

  private:
    Descriptor folder_;
    Descriptor file_;
    std::string name_;
};

// A folder that only this user can write: nobody else can put a file under our name first.
Descriptor privateFolder(int at, const char* path, int extraFlags = 0) {
    Descriptor folder(::openat(at, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | extraFlags));
    struct stat st {};
    if (!folder || ::fstat(folder.get(), &st) != 0) return Descriptor();
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 07777) != 0700)
        return Descriptor();
    return folder;
}

Descriptor runtimeFolder() {
    const auto runtime = environmentValue("XDG_RUNTIME_DIR");
    if (!runtime || runtime->empty() || runtime->front() != '/') return Descriptor();
    return privateFolder(AT_FDCWD, runtime->c_str());
}

// /run/lock is often open to everybody, so root keeps its own folder inside it.
Descriptor rootLockFolder() {
    if (::geteuid() != 0) return Descriptor();
    const Descriptor runLock(::open("/run/lock", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!runLock) return Descriptor();
    constexpr const char* kOwn = "PlenvoBackupMng";
    if (::mkdirat(runLock.get(), kOwn, 0700) != 0 && errno != EEXIST) return Descriptor();
    return privateFolder(runLock.get(), kOwn, O_NOFOLLOW);
}

// Stable across builds, so two versions of the console agree on the name.
std::string folderKey(const std::filesystem::path& baseFolder) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::weakly_canonical(baseFolder, ec);
    if (ec) absolute = std::filesystem::absolute(baseFolder, ec);
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : utf8Of(absolute)) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

enum class Outcome { locked, refused, unusable };

// Who may have made a lock file that is taken: only ourselves in a private
// folder; anyone in the base folder, where every console for it must meet.
enum class Owner { self, anyone };

// Who holds a flock on the file, from /proc/locks: consoles hold theirs
// exclusively, so a file held only shared is held by something else.
struct Holder {
    long pid = 0;
    bool exclusive = false;
};

std::optional<Holder> holderOf(const struct stat& file) {
    std::FILE* locks = std::fopen("/proc/locks", "re");
    if (!locks) return std::nullopt;
    std::optional<Holder> found;
    char line[256];
    while (std::fgets(line, sizeof line, locks)) {
        char kind[16], advisory[16], access[16];
        long pid = 0;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        // "1: FLOCK  ADVISORY  WRITE 1234 fd:01:5678 0 EOF"; waiters ("1: -> ...") fail here.
        if (std::sscanf(line, "%*d: %15s %15s %15s %ld %x:%x:%llu", kind, advisory, access, &pid,
                        &major, &minor, &inode) != 7)
            continue;
        if (std::string_view(kind) != "FLOCK" || inode != file.st_ino ||
            major != ::major(file.st_dev) || minor != ::minor(file.st_dev))
            continue;
        const bool exclusive = std::string_view(access) == "WRITE";
        if (!found || (exclusive && !found->exclusive)) found = Holder{pid, exclusive};
    }
    std::fclose(locks);
    return found;
}

std::string ownerName(uid_t uid) {
    if (const struct passwd* user = ::getpwuid(uid)) return user->pw_name;
    return "uid " + std::to_string(uid);
}

// Takes the lock file `name` in `folder`; only a plain file, never through a
// link, never waiting (a FIFO would hold an open for ever). Readable by its
// owner alone, so that nobody else can open it to hold it.
Outcome lockIn(Descriptor& folder, const std::string& name, Owner owner,
               std::unique_ptr<SingleInstanceGuard>& guard, std::string& refusal,
               const std::string& baseText) {
    const std::string shown = owner == Owner::anyone ? baseText + "/" + name : name;
    // A holder that ends removes the file: lock the file that then takes its place.
    for (int attempt = 0; attempt < 8; ++attempt) {
        Descriptor file(
            ::openat(folder.get(), name.c_str(),
                     O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600));
        struct stat st {};
        if (!file) {
            if (errno != EACCES || owner == Owner::self) return Outcome::unusable;
            if (::fstatat(folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                return Outcome::unusable;
            refusal = "the lock file " + shown + " belongs to " + ownerName(st.st_uid) +
                      ": a console of that user runs for this folder, or it ended without "
                      "removing the file (remove it when none runs)";
            return Outcome::refused;
        }
        if (::fstat(file.get(), &st) != 0) return Outcome::unusable;
        if (!S_ISREG(st.st_mode)) {
            refusal = shown + " is not a plain file: remove it, the console makes its own";
            return Outcome::refused;
        }
        if (owner == Owner::self && st.st_uid != ::geteuid()) return Outcome::unusable;
        // Files of earlier versions were readable by all.
        if (st.st_uid == ::geteuid() && (st.st_mode & 077) != 0) ::fchmod(file.get(), 0600);
        if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK) return Outcome::unusable;
            const auto holder = holderOf(st);
            if (holder && !holder->exclusive) {
                // No console: something else holds the file to keep consoles out.
                if (sameFile(folder.get(), name, file.get()))
                    ::unlinkat(folder.get(), name.c_str(), 0);
                continue;
            }
            refusal = "already running for " + baseText +
                      (holder ? " (process " + std::to_string(holder->pid) + ")" : std::string());
            return Outcome::refused;
        }
        if (!sameFile(folder.get(), name, file.get())) continue;
        guard = std::make_unique<FlockGuard>(std::move(folder), std::move(file), name);
        return Outcome::locked;
    }
    return Outcome::unusable;
}

// The private lock and the base folder's, held together.
class BothGuards final : public SingleInstanceGuard {
  public:
    BothGuards(std::unique_ptr<SingleInstanceGuard> own,
               std::unique_ptr<SingleInstanceGuard> shared)
        : own_(std::move(own)), shared_(std::move(shared)) {}

  private:
    std::unique_ptr<SingleInstanceGuard> own_;
    std::unique_ptr<SingleInstanceGuard> shared_;
};

}  // namespace

SingleInstance acquireSingleInstance(const std::filesystem::path& baseFolder) {
    const std::string keyed = "PlenvoBackupMng-" + folderKey(baseFolder) + ".lock";
    const std::string baseText = utf8Of(baseFolder);
    // Each user's own lock cannot be taken first by another user; the base folder's
    // is where consoles of different users (root by hand, the service's user) meet.
    std::unique_ptr<SingleInstanceGuard> own;
    std::string refusal;
    for (int place = 0; place < 2 && !own; ++place) {
        Descriptor folder = place == 0 ? runtimeFolder() : rootLockFolder();
        if (!folder) continue;
        if (lockIn(folder, keyed, Owner::self, own, refusal, baseText) == Outcome::refused)
            return {nullptr, refusal};
    }
    std::unique_ptr<SingleInstanceGuard> shared;
    Descriptor base(::open(baseFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (base && lockIn(base, ".PlenvoBackupMng.lock", Owner::anyone, shared, refusal, baseText) ==
                    Outcome::refused)
        return {nullptr, refusal};
    if (own && shared) return {std::make_unique<BothGuards>(std::move(own), std::move(shared)), {}};
    if (own) return {std::move(own), {}};
    if (shared) return {std::move(shared), {}};
    return {std::make_unique<SingleInstanceGuard>(), {}};  // no lock to be had: run unguarded
}

}  // namespace plenvo::platform
