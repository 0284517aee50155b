#include <sys/stat.h>

#include "platform/files/private_file.h"

namespace plenvo::platform {

bool keepToOwner(const std::filesystem::path& file) {
    return ::chmod(file.c_str(), S_IRUSR | S_IWUSR) == 0;
}

}  // namespace plenvo::platform
