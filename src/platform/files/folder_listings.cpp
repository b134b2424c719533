// Wildcard look-ups in a folder: name matching, and folder listings kept while the folder
// is unchanged.
#include "platform/files/folder_listings.h"

#include <dirent.h>

#include <algorithm>

namespace kelvo::posix {

bool matchesWildcards(const char* pattern, const char* name) {
    const char* starPattern = nullptr;
    const char* starName = nullptr;
    while (*name) {
        if (*pattern == '*') {
            starPattern = ++pattern;
            starName = name;
        } else if (*pattern == '?' || *pattern == *name) {
            ++pattern;
            ++name;
        } else if (starPattern) {
            pattern = starPattern;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

FolderListings::Names FolderListings::Of(const std::string& folder) {
    struct stat info;
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return nullptr;
    std::lock_guard lock(mutex_);
    auto known = listings_.find(folder);
    if (known != listings_.end() && known->second.SameFolder(info)) return known->second.names;

    Names names = Read(folder);
    if (names && Settled(info) && names->size() <= kMaxKeptNames) {
        if (listings_.size() >= kMaxKeptFolders) listings_.clear();
        listings_[folder] = Listing{info, names};
    } else {
        listings_.erase(folder);
    }
    return names;
}

bool FolderListings::Settled(const struct stat& info) {
    timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    const time_t changed = std::max(info.st_mtim.tv_sec, info.st_ctim.tv_sec);
    return now.tv_sec - changed > kTimestampStepSeconds;
}

FolderListings::Names FolderListings::Read(const std::string& folder) {
    DIR* listing = ::opendir(folder.c_str());
    if (!listing) return nullptr;
    auto names = std::make_shared<std::vector<std::string>>();
    while (const dirent* entry = ::readdir(listing)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names->push_back(std::move(name));
    }
    ::closedir(listing);
    std::sort(names->begin(), names->end());
    return names;
}

}  // namespace kelvo::posix
