#include "web/file_body.h"

#include <system_error>

#include "platform/files/plain_file.h"

namespace plenvo::web {
namespace {

class PlainFileBody final : public BodySource {
  public:
    explicit PlainFileBody(const std::filesystem::path& file)
        : reader_(file), size_(reader_.size()) {}
    std::uint64_t size() const override { return size_; }
    std::size_t readAt(std::uint64_t offset, char* into, std::size_t length) const override {
        return reader_.readAt(offset, into, length);
    }

  private:
    platform::PlainFileReader reader_;
    std::uint64_t size_;
};

}  // namespace

std::shared_ptr<const BodySource> fileBody(const std::filesystem::path& file) {
    try {
        return std::make_shared<PlainFileBody>(file);
    } catch (const std::system_error&) {
        return nullptr;
    }
}

}  // namespace plenvo::web
