#include <sys/stat.h>

#include "platform/files/private_file.h"

namespace plenvo::platform {

bool keepToOwner(const std::filesystem::path& file) {
    return ::chmod(file.c_str(), S_IRUSR | S_IWUSR) == 0;
}

bool keepFromOthers(const std::filesystem::path& file) {
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const mode_t kept = st.st_mode & 0640;
    return kept == (st.st_mode & 07777) || ::chmod(file.c_str(), kept) == 0;
}

}  // namespace plenvo::platform
