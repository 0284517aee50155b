// Runs a fuzz target over every input of the folders or files it is given, as
// libFuzzer would run them once: the seeds and every finding kept as a seed
// stay passing in the plain build, without the instrumented one.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return 1;
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int failed = 0, inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path given = argv[i];
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(given)) {
            for (const auto& entry : std::filesystem::directory_iterator(given))
                if (entry.is_regular_file()) files.push_back(entry.path());
        } else {
            files.push_back(given);
        }
        for (const auto& file : files) {
            failed += replay(file);
            ++inputs;
        }
    }
    std::printf("%d inputs replayed\n", inputs);
    return failed == 0 && inputs > 0 ? 0 : 1;
}
