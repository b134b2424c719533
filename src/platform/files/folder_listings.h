// Wildcard look-ups in a folder: name matching and the cached listings of folders.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kelvo::posix {

// `*` matches any run of characters, `?` any one; everything else matches itself.
bool matchesWildcards(const char* pattern, const char* name);

// A folder's names, sorted, kept while the folder is unchanged: showing each photo of a
// folder holding many thousands would otherwise list them all every time. A listing is
// trusted only while the folder's change times stay the same, and only once they are older
// than any file system's timestamp step, so a change made in the same step is never missed.
class FolderListings {
  public:
    using Names = std::shared_ptr<const std::vector<std::string>>;

    // Every name in `folder` but "." and ".."; nullptr when it cannot be listed.
    Names Of(const std::string& folder);

  private:
    static constexpr std::size_t kMaxKeptFolders = 16;
    static constexpr std::size_t kMaxKeptNames = 1000000;
    static constexpr time_t kTimestampStepSeconds = 2;  // FAT's; most are far finer

    struct Listing {
        struct stat info;
        Names names;
        bool SameFolder(const struct stat& now) const {
            auto same = [](const timespec& a, const timespec& b) {
                return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
            };
            return info.st_dev == now.st_dev && info.st_ino == now.st_ino &&
                   same(info.st_mtim, now.st_mtim) && same(info.st_ctim, now.st_ctim);
        }
    };

    static bool Settled(const struct stat& info);
    static Names Read(const std::string& folder);

    std::mutex mutex_;
    std::map<std::string, Listing> listings_;
};

}  // namespace kelvo::posix
