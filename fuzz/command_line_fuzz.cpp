// kelvophotos arguments (NUL-separated): parsed or refused with a usage error, never a crash;
// accepted limits are finite and not negative, and what is shown of any text holds no
// control character.
#include <cmath>
#include <cstdint>

#include "cli_options.h"
#include "fuzz_input.h"

namespace {

bool printable(const std::string& shown) {
    for (unsigned char c : shown)
        if (c < 0x20 || c == 0x7F) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using kelvo::fuzz::Check;
    const std::vector<std::string> args = kelvo::fuzz::SplitAtNul(data, size);
    for (const std::string& arg : args)
        Check(printable(kelvo::cli::Shown(arg)), "shown text holds no control character");
    kelvo::cli::CliOptions options;
    try {
        options = kelvo::cli::ParseArguments(args);
    } catch (const kelvo::cli::UsageError& error) {
        Check(printable(error.what()), "a usage error prints no control character");
        return 0;
    }
    if (options.maxKb)
        Check(std::isfinite(*options.maxKb) && *options.maxKb >= 0,
              "limits are finite, not negative");
    return 0;
}
