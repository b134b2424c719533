// The process's locale switched for a test, as QApplication switches it to the user's.
#pragma once

#include <string>

namespace kelvo::test {

// Sets LC_ALL to `name` (such as "de_DE.UTF-8") until destruction. A locale the system has
// not generated is compiled once from the system's locale sources into a cache folder, so
// the tests need only Debian's `locales` package, not a configured locale. Throws when it
// cannot be had.
class ScopedLocale {
  public:
    explicit ScopedLocale(const std::string& name);
    ~ScopedLocale();
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

  private:
    std::string previous_;
};

}  // namespace kelvo::test
