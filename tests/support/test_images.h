// Real image files and pictures made by the tests themselves.
#pragma once

#include <cstdint>
#include <string>

#include "platform/db/variant.h"
#include "platform/pictures/picture.h"

namespace kelvo::test {

// A fresh temporary folder (with a trailing "/"), removed at process exit.
std::string TempFolder();

// Writes `folder + name`, an image of width x height pixels filled with `rgb` (0xRRGGBB).
// format: "bmp", "rle" (run-length bitmap), "png", "jpg", "gif" (bytes built here), "ico",
// "cur" (each with a half-size and a 1x1 image around the one asked for),
// "wmf" (placeable metafile), "emf" (enhanced metafile). Returns the path.
std::string WriteImageFile(const std::string& folder, const std::string& name,
                           const std::string& format, int width, int height,
                           std::uint32_t rgb = 0x3366CC);

// Metafile bytes, "wmf" (placeable, 96 units an inch) or "emf", of width x height pixels at
// 96 dpi: a rectangle filled with `fill` over the whole picture and, when `line` is not
// kNoLine, a 3-pixel wide horizontal line of colour `line` through the middle row.
inline constexpr std::int64_t kNoLine = -1;
Bytes MetafileBytes(const std::string& kind, int width, int height, std::uint32_t fill,
                    std::int64_t line = kNoLine);

// An in-memory picture of width x height filled with `rgb`.
PicturePtr MakePicture(int width, int height, std::uint32_t rgb = 0x3366CC);

// The error text of loading the picture file `path` with the real picture service; "" when
// it loads.
std::string PictureLoadError(const std::string& path);

// FNV-1a of a picture's pixels (and of bytes): equal for pixel-identical pictures.
std::uint64_t PictureChecksum(const Picture& picture);
std::uint64_t Checksum(const Bytes& bytes);
// The colour (0xRRGGBB) of one pixel of a picture.
std::uint32_t PixelAt(const Picture& picture, int x, int y);

}  // namespace kelvo::test
