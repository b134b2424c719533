// The bytes of a picture as an uncompressed bitmap file, for hosts that take photos as
// bytes (the C interface, the Python module). Written through a nameless scratch file, so
// nothing is left behind whatever happens.
#pragma once

#include <kelvophotos/files.h>
#include <kelvophotos/interaction.h>

#include <string>

namespace kelvo {

// REQUIRES: !picture.IsEmpty(). Throws Error when the bitmap cannot be written.
inline std::string BitmapBytes(const Picture& picture) {
    const Services& services = DefaultServices();
    std::unique_ptr<TempFile> scratch = services.files->OpenScratchFile();
    services.pictures->WritePicture(picture, *scratch, "photo bytes");
    std::unique_ptr<InputFile> in = scratch->ReadBack();
    std::string bytes(static_cast<std::size_t>(in->Length()), '\0');
    std::size_t got = 0;
    while (std::size_t n =
               in->Read(reinterpret_cast<std::uint8_t*>(bytes.data()) + got, bytes.size() - got))
        got += n;
    bytes.resize(got);
    return bytes;
}

}  // namespace kelvo
