// Loaded before libc into the durability tests: fsync fails with EIO while
// PLENVO_FAIL_FSYNC is set, as a disk that cannot take the data would.
#include <dlfcn.h>
#include <errno.h>

#include <cstdlib>

extern "C" int fsync(int fd) {
    if (const char* fail = std::getenv("PLENVO_FAIL_FSYNC"); fail && *fail) {
        errno = EIO;
        return -1;
    }
    using Fsync = int (*)(int);
    static const auto real = reinterpret_cast<Fsync>(::dlsym(RTLD_NEXT, "fsync"));
    return real(fd);
}
