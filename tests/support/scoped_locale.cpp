// Switching the locale of the test process, compiling the locale first when needed.
#include "support/scoped_locale.h"

#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace kelvo::test {
namespace {

namespace fs = std::filesystem;

// glibc looks for locales in LOCPATH when switching; the data stays loaded afterwards.
bool switchWithin(const fs::path& folder, const std::string& name) {
    ::setenv("LOCPATH", folder.c_str(), 1);
    const bool switched = std::setlocale(LC_ALL, name.c_str()) != nullptr;
    ::unsetenv("LOCPATH");
    return switched;
}

// Compiles "de_DE.UTF-8" from its sources into `cache`; parallel test processes each build
// their own copy and the first rename wins.
void compileInto(const fs::path& cache, const std::string& name) {
    const auto dot = name.find('.');
    const std::string source = name.substr(0, dot);
    const std::string charmap = dot == std::string::npos ? "UTF-8" : name.substr(dot + 1);
    const fs::path building = cache / (name + ".new" + std::to_string(::getpid()));
    fs::create_directories(cache);
    const std::string command = "localedef -i " + source + " -f " + charmap + " '" +
                                building.string() + "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    std::error_code ignored;
    if (status != 0 && !fs::exists(building / "LC_CTYPE")) {
        fs::remove_all(building, ignored);
        throw std::runtime_error("cannot compile locale " + name +
                                 " (is Debian's locales installed?)");
    }
    fs::rename(building, cache / name, ignored);
    fs::remove_all(building, ignored);
}

}  // namespace

ScopedLocale::ScopedLocale(const std::string& name) {
    const char* current = std::setlocale(LC_ALL, nullptr);
    previous_ = current ? current : "C";
    if (std::setlocale(LC_ALL, name.c_str())) return;
    const fs::path cache =
        fs::temp_directory_path() / ("kelvo-locales-" + std::to_string(::getuid()));
    // Looked up only once it is there: glibc remembers a locale it did not find.
    if (!fs::exists(cache / name / "LC_CTYPE")) compileInto(cache, name);
    if (!switchWithin(cache, name)) throw std::runtime_error("cannot switch to locale " + name);
}

ScopedLocale::~ScopedLocale() {
    std::setlocale(LC_ALL, previous_.c_str());
}

}  // namespace kelvo::test
