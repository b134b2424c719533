// Real image files: made by Qt, or small ones kept in tests/data.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/db/variant.h"
#include "platform/pictures/picture.h"

namespace kelvo::test {

// A fresh temporary folder (with a trailing "/"), removed at process exit.
std::string TempFolder();

// Sets, or with nullptr unsets, an environment variable for its scope.
struct ScopedEnv {
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    const char* name;
    std::optional<std::string> old;
};

// Writes `folder + name`, an image of width x height pixels filled with `rgb` (0xRRGGBB), in
// one of the formats Qt writes: "bmp", "png" or "jpg". Returns the path.
std::string WriteImageFile(const std::string& folder, const std::string& name,
                           const std::string& format, int width, int height,
                           std::uint32_t rgb = 0x3366CC);

// The path of a file kept in tests/data. Pictures of the kinds Qt does not write, all in
// 0x3366CC: "blue.gif", "blue.ico", "blue.cur" (37x21; the icons also hold 18x10 and 1x1
// images), "wide-rle.bmp" (600x3, run-length), "lined.wmf" (placeable) and "lined.emf"
// (120x80 at 96 dpi, a 3-pixel 0xCC0000 line through the middle row), "text.emf" (60x40,
// writes "Hi"). "absurd-*" files declare sizes or records far beyond their bytes.
std::string SampleFile(const std::string& name);

// An in-memory picture of width x height filled with `rgb`.
PicturePtr MakePicture(int width, int height, std::uint32_t rgb = 0x3366CC);

// The text of the Error `action` throws; "" when it throws none.
std::string ErrorOf(const std::function<void()>& action);
// Whether `action` throws an Error whose text holds `part`.
testing::AssertionResult FailsSaying(const std::string& part, const std::function<void()>& action);

// The error text of loading the picture file `path` with the real picture service; "" when
// it loads.
std::string PictureLoadError(const std::string& path);

// FNV-1a of a picture's pixels: equal for pixel-identical pictures.
std::uint64_t PictureChecksum(const Picture& picture);
// The colour (0xRRGGBB) of one pixel of a picture.
std::uint32_t PixelAt(const Picture& picture, int x, int y);

}  // namespace kelvo::test
