// Temporary files on POSIX: unique names, files moved into place once written, and the sweep
// of the leftovers of a killed run.
#pragma once

#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "platform/files/files.h"

namespace kelvo::posix {

// Opens a new file of a unique name in `base` for reading and writing, mode 0600, never
// through a link; it is locked while open so that no other run takes it for a leftover.
int createUniqueFile(const std::string& base, const std::string& prefix, std::string& name);

// The TempFile on `fd`, named `name` ("" for a scratch file); `durable` syncs it on MoveTo.
std::unique_ptr<TempFile> makeLocalTempFile(int fd, std::string name, bool durable);

// Sweeps each folder and prefix the first time they are asked for.
class LeftoverSweep {
  public:
    void removeLeftoversOnce(const std::string& folder, const std::string& prefix);

  private:
    std::mutex sweptMutex_;
    std::set<std::string> swept_;
};

}  // namespace kelvo::posix
