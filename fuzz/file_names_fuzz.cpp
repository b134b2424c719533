// Photo file names from a row's values: whatever the values hold, the name is one plain file
// name inside the photos folder that matches only itself.
#include <cstdint>

#include "fuzz_input.h"
#include "store/store_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using kelvo::fuzz::Check;
    const std::vector<std::string> values = kelvo::fuzz::SplitAtNul(data, size, 3);
    const std::string name = kelvo::store::PhotoFileName(values[0], values[1], values[2]);
    Check(!name.empty() && name != "." && name != "..", "a name is a file's name");
    Check(name.find('/') == std::string::npos && name.find('\0') == std::string::npos,
          "a name stays inside the photos folder");
    Check(name.size() <= kelvo::store::kMaxFileNameBytes, "a name fits the file system");
    Check(name.find_first_of("*?") == std::string::npos, "a name matches only itself");
    return 0;
}
