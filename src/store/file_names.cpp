// Photo file names built from row values: one name per (code, description, group), always
// inside the photos folder, and the small file steps the store's units share.
#include "platform/files/naming.h"
#include "store/store_internal.h"

namespace kelvo::store {
namespace {

constexpr const char* kPhotoExtension = ".qzr";
// Marks a shortened part; escaped inside values, so a plain name never holds it.
constexpr char kShortened = '~';
constexpr std::size_t kDigestDigits = 32;
// The code part is shortened on its own, so that every name of one owner starts the same.
constexpr std::size_t kMaxCodePartBytes = 100;

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

void appendEscape(std::string& out, unsigned char byte) {
    static const char* const hex = "0123456789ABCDEF";
    out += '%';
    out += hex[byte >> 4];
    out += hex[byte & 0x0F];
}

// `part` cut to `maxBytes` with a digest of the whole appended, when it is longer.
std::string shortened(const std::string& part, std::size_t maxBytes) {
    if (part.size() <= maxBytes) return part;
    const std::size_t keep = maxBytes - kDigestDigits - 1;
    return TruncateUtf8(part, keep) + kShortened + DigestHex(part, kDigestDigits);
}

std::string codePart(const std::string& code) {
    return shortened(EscapedNamePart(code), kMaxCodePartBytes);
}

}  // namespace

std::string EscapedNamePart(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size();) {
        const char c = value[i];
        const bool plainPunctuation =
            c == ' ' || c == '-' || (c == '.' && (i == 0 || value[i - 1] != '.'));
        const std::size_t letter = plainPunctuation ? 1 : LetterOrDigitAt(value, i);
        if (letter > 0) {
            out.append(value, i, letter);
            i += letter;
        } else {
            appendEscape(out, static_cast<unsigned char>(c));
            ++i;
        }
    }
    return out;
}

std::string TruncateUtf8(const std::string& text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t cut = maxBytes;
    while (cut > 0 && isContinuationByte(text[cut])) --cut;
    return text.substr(0, cut);
}

std::string PhotoFileName(const std::string& code, const std::string& description,
                          const std::string& group) {
    const std::string owner = codePart(code) + "_";
    const std::size_t room = kMaxFileNameBytes - owner.size() - 4;
    const std::string rest = EscapedNamePart(description) + "_" + EscapedNamePart(group);
    return owner + shortened(rest, room) + kPhotoExtension;
}

std::string OwnerFilePattern(const std::string& code) {
    return codePart(code) + "_*" + kPhotoExtension;
}

std::string ExtractFileName(const std::string& code) {
    std::string name = shortened(EscapedNamePart(code), kMaxFileNameBytes);
    if (name.empty()) throw Error("a photo code that is empty or all blanks names no file");
    if (name == ".") name = "%2E";
    return name;
}

void DeleteQuietly(FileSystem& files, const std::string& path) {
    if (path.empty()) return;
    try {
        if (files.FileExists(path)) files.DeleteFile(path);
    } catch (const std::exception&) {
    }
}

}  // namespace kelvo::store
