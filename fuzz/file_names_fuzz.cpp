// Photo file names from a row's values: whatever the values hold, the name is one plain file
// name inside the photos folder that matches only itself, two different rows never share a
// name, an owner's file pattern takes only that owner's names, two owners are never
// extracted to one file, and a name that was not shortened gives its values back.
#include <array>
#include <cstdint>
#include <optional>

#include "fuzz_input.h"
#include "platform/error.h"
#include "store/store_internal.h"

namespace {

using Triple = std::array<std::string, 3>;

std::string NameOf(const Triple& t) {
    return kelvo::store::PhotoFileName(t[0], t[1], t[2]);
}

void CheckName(const std::string& name) {
    using kelvo::fuzz::Check;
    Check(!name.empty() && name != "." && name != "..", "a name is a file's name");
    Check(name.find('/') == std::string::npos && name.find('\0') == std::string::npos,
          "a name stays inside the photos folder");
    Check(name.size() <= kelvo::store::kMaxFileNameBytes, "a name fits the file system");
    Check(name.find_first_of("*?") == std::string::npos, "a name matches only itself");
}

// Whether `name` is taken by the owner file pattern of `code` ("<code part>_*.qzr").
bool OwnedBy(const std::string& name, const std::string& code) {
    const std::string pattern = kelvo::store::OwnerFilePattern(code);
    const std::size_t star = pattern.find('*');
    const std::string head = pattern.substr(0, star), tail = pattern.substr(star + 1);
    return name.size() >= head.size() + tail.size() && name.compare(0, head.size(), head) == 0 &&
           name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The values a name was built from, undoing the %XX escapes; nullopt when it is no such name.
std::optional<Triple> ValuesOf(const std::string& name) {
    const std::string extension = ".qzr";
    if (name.size() < extension.size() ||
        name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
        return std::nullopt;
    Triple values;
    std::size_t part = 0;
    for (std::size_t i = 0; i < name.size() - extension.size(); ++i) {
        const char c = name[i];
        if (c == '_') {
            if (++part == values.size()) return std::nullopt;
        } else if (c == '%') {
            if (i + 2 >= name.size()) return std::nullopt;
            const int high = HexValue(name[i + 1]), low = HexValue(name[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            values[part] += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            values[part] += c;
        }
    }
    if (part != values.size() - 1) return std::nullopt;
    return values;
}

void CheckPair(const Triple& a, const Triple& b) {
    using kelvo::fuzz::Check;
    const std::string nameA = NameOf(a), nameB = NameOf(b);
    CheckName(nameA);
    Check(OwnedBy(nameA, a[0]), "a name belongs to its own owner");
    if (nameA.find('~') == std::string::npos)
        Check(ValuesOf(nameA) == std::optional<Triple>(a), "a name gives its values back");
    if (a == b) return;
    Check(nameA != nameB, "two different rows never share a name");
    if (a[0] == b[0]) return;
    Check(!OwnedBy(nameA, b[0]), "a name belongs to no other owner");
    try {
        const std::string extracted = kelvo::store::ExtractFileName(a[0]);
        CheckName(extracted);
        Check(extracted != kelvo::store::ExtractFileName(b[0]), "two owners, two extracted files");
    } catch (const kelvo::Error&) {  // an empty code names no file
    }
}

}  // namespace

// The input holds two rows' values separated by NUL bytes; the first row's text is also cut
// into values at other places (where the last byte says), the likeliest way to collide.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> values = kelvo::fuzz::SplitAtNul(data, size, 6);
    const Triple first{values[0], values[1], values[2]};
    const Triple second{values[3], values[4], values[5]};
    const std::string joined = first[0] + first[1] + first[2];
    const std::size_t shift = size > 0 ? data[size - 1] : 0;
    const std::size_t cut1 = (first[0].size() + shift % 7) % (joined.size() + 1);
    const std::size_t cut2 =
        std::max(cut1, (first[0].size() + first[1].size() + shift / 7 % 7) % (joined.size() + 1));
    const Triple resplit{joined.substr(0, cut1), joined.substr(cut1, cut2 - cut1),
                         joined.substr(cut2)};
    CheckPair(first, second);
    CheckPair(second, first);
    CheckPair(first, resplit);
    return 0;
}
