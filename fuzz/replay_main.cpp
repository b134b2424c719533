// Replays fuzz inputs without libFuzzer: every file named, and every file under the folders
// named, runs once through the target, so ctest keeps each crash that fuzzing found from
// coming back.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

bool replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    int replayed = 0, bad = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        std::error_code error;
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(arg, error)) {
            for (std::filesystem::recursive_directory_iterator it(arg, error), end;
                 !error && it != end; it.increment(error))
                if (it->is_regular_file(error)) files.push_back(it->path());
        } else if (std::filesystem::is_regular_file(arg, error)) {
            files.push_back(arg);
        } else if (!error) {
            error = std::make_error_code(std::errc::no_such_file_or_directory);
        }
        if (error) {
            std::fprintf(stderr, "%s: %s\n", argv[i], error.message().c_str());
            ++bad;
            continue;
        }
        for (const auto& file : files) {
            if (replay(file)) {
                ++replayed;
            } else {
                std::fprintf(stderr, "%s: cannot be read\n", file.c_str());
                ++bad;
            }
        }
    }
    std::printf("replayed %d input(s)\n", replayed);
    return replayed > 0 && bad == 0 ? 0 : 1;
}
