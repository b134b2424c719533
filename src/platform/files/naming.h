// What building file names from row values needs from Unicode and hashing, kept out of the
// store so that it sees no Qt type.
#pragma once

#include <cstddef>
#include <string>

namespace kelvo {

// The length in bytes of the well-formed UTF-8 character at `at` when it is a letter or a
// digit of any script, by the Unicode tables and not the locale; 0 for anything else
// (another character, a malformed or cut-off sequence). REQUIRES: at < text.size().
std::size_t LetterOrDigitAt(const std::string& text, std::size_t at);

// The SHA-256 digest of `bytes` as lower-case hex, cut to its first `digits` characters.
std::string DigestHex(const std::string& bytes, std::size_t digits);

}  // namespace kelvo
