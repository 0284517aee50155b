#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "platform/environment.h"
#include "platform/single_instance.h"

namespace plenvo::platform {
namespace {

class FlockGuard final : public SingleInstanceGuard {
  public:
    explicit FlockGuard(int fd) : fd_(fd) {}
    ~FlockGuard() override { ::close(fd_); }

  private:
    int fd_;
};

std::filesystem::path lockFolder() {
    if (auto runtime = environmentValue("XDG_RUNTIME_DIR"); runtime && !runtime->empty())
        return *runtime;
    return "/tmp";
}

}  // namespace

std::unique_ptr<SingleInstanceGuard> acquireSingleInstance(
    const std::filesystem::path& baseFolder) {
    std::error_code ec;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(baseFolder, ec);
    if (ec) canonical = baseFolder;
    const size_t hash = std::hash<std::string>{}(canonical.string());
    const std::filesystem::path lock =
        lockFolder() /
        ("PlenvoBackupMng-" + std::to_string(::getuid()) + "-" + std::to_string(hash) + ".lock");
    const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return std::make_unique<SingleInstanceGuard>();  // no lock to be had: run unguarded
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FlockGuard>(fd);
}

}  // namespace plenvo::platform
