// Photo file names from two rows' values: a name is one plain name inside the photos folder,
// two different rows never get one name, and a name that was not shortened reads back as
// the values it was made from.
#include <cstdint>
#include <optional>

#include "fuzz_input.h"
#include "store/store_internal.h"

namespace {

using Triple = std::vector<std::string>;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The values of a photo file name "<code>_<description>_<group>.qzr" whose "_" and "%" in
// values are written "%XX"; nothing when it is not of that form.
std::optional<Triple> valuesOf(const std::string& name) {
    const std::string extension = ".qzr";
    if (name.size() < extension.size() ||
        name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
        return std::nullopt;
    Triple values(1);
    const std::size_t end = name.size() - extension.size();
    for (std::size_t i = 0; i < end; ++i) {
        const char c = name[i];
        if (c == '_') {
            values.emplace_back();
        } else if (c == '%') {
            if (i + 2 >= end) return std::nullopt;
            const int high = hexDigit(name[i + 1]), low = hexDigit(name[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            values.back() += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            values.back() += c;
        }
    }
    if (values.size() != 3) return std::nullopt;
    return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using kelvo::fuzz::Check;
    const std::vector<std::string> parts = kelvo::fuzz::SplitAtNul(data, size, 6);
    const Triple first(parts.begin(), parts.begin() + 3), second(parts.begin() + 3, parts.begin() + 6);
    const std::string name = kelvo::store::PhotoFileName(first[0], first[1], first[2]);
    Check(!name.empty() && name != "." && name != "..", "a name is a file's name");
    Check(name.find('/') == std::string::npos && name.find('\0') == std::string::npos,
          "a name stays inside the photos folder");
    Check(name.size() <= kelvo::store::kMaxFileNameBytes, "a name fits the file system");
    Check(name.find_first_of("*?") == std::string::npos, "a name matches only itself");
    const std::string other = kelvo::store::PhotoFileName(second[0], second[1], second[2]);
    Check(first == second || name != other, "two rows never share a name");
    if (name.find('~') == std::string::npos)
        Check(valuesOf(name) == first, "a name reads back as its values");
    return 0;
}
