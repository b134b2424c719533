// Photo file names built from row values, kept inside the photos folder, and the small file
// steps the store's units share.
#include "store/store_internal.h"

namespace kelvo::store {
namespace {

constexpr const char* kPhotoExtension = ".qzr";

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string SafeNamePart(const std::string& value) {
    std::string safe;
    safe.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '.' && i + 1 < value.size() && value[i + 1] == '.') {
            safe += '_';
            ++i;
        } else if (c == '/' || c == '\\' || c == '\0' || c == '*' || c == '?') {
            safe += '_';
        } else {
            safe += c;
        }
    }
    return safe;
}

std::string TruncateUtf8(const std::string& text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t cut = maxBytes;
    while (cut > 0 && isContinuationByte(text[cut])) --cut;
    return text.substr(0, cut);
}

std::string PhotoFileName(const std::string& code, const std::string& description,
                          const std::string& group) {
    const std::string stem =
        SafeNamePart(code) + "_" + SafeNamePart(description) + "_" + SafeNamePart(group);
    return TruncateUtf8(stem, kMaxFileNameBytes - 4) + kPhotoExtension;
}

std::string OwnerFilePattern(const std::string& code) {
    // Cut like the names it has to match, so a long code still finds its files.
    return TruncateUtf8(SafeNamePart(code) + "_", kMaxFileNameBytes - 4) + "*" + kPhotoExtension;
}

void DeleteQuietly(FileSystem& files, const std::string& path) {
    if (path.empty()) return;
    try {
        if (files.FileExists(path)) files.DeleteFile(path);
    } catch (const std::exception&) {
    }
}

std::string WithoutTrailingSeparator(const std::string& folder) {
    if (folder.size() > 1 && folder.back() == kPathSeparator)
        return folder.substr(0, folder.size() - 1);
    return folder;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind(kPathSeparator);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace kelvo::store
