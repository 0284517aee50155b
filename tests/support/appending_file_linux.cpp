#include <fcntl.h>
#include <unistd.h>

#include "support/appending_file.h"

namespace plenvo::test {

AppendingFile::AppendingFile(const std::filesystem::path& file)
    : handle_(::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666)) {}

AppendingFile::~AppendingFile() {
    if (isOpen()) ::close(static_cast<int>(handle_));
}

bool AppendingFile::isOpen() const {
    return handle_ >= 0;
}

bool AppendingFile::write(std::string_view bytes) {
    return ::write(static_cast<int>(handle_), bytes.data(), bytes.size()) ==
           static_cast<ssize_t>(bytes.size());
}

}  // namespace plenvo::test
