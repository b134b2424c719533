// Loading and saving pictures, as an interface, so the store and the editor run headless with
// a scripted double in tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/api.h"
#include "platform/bytes.h"
#include "platform/pictures/picture.h"

namespace kelvo {

class InputFile;
class OutputFile;

// Takes a picture's bytes piece by piece, in file order, for a reader that need not hold
// them all at once.
class KELVO_API PictureReader {
  public:
    virtual ~PictureReader() = default;
    virtual void Add(const std::uint8_t* data, std::size_t size) = 0;
    // The picture of the bytes added; throws Error as PictureService::LoadPictureData does.
    virtual PicturePtr Finish() = 0;
};

class KELVO_API PictureService {
  public:
    virtual ~PictureService() = default;
    // Reads a picture file of any supported kind. Throws Error for a missing, unreadable,
    // truncated or unsupported file, or one whose declared size is absurd.
    virtual PicturePtr LoadPicture(const std::string& path) = 0;
    // Reads a picture from the bytes a picture file would hold; errors name them "picture
    // <source>". Throws Error as LoadPicture does.
    virtual PicturePtr LoadPictureData(const Bytes& bytes, const std::string& source) = 0;
    // LoadPictureData with the bytes given in pieces. This one gathers them all first.
    virtual std::unique_ptr<PictureReader> ReadPicture(const std::string& source);
    // LoadPictureData of the bytes of an open file, read in pieces; errors name it
    // `source`. A file of more than a gigabyte is refused.
    PicturePtr LoadPictureFrom(InputFile& file, const std::string& source);
    // Writes an uncompressed bitmap (BMP) file, whatever the picture was loaded from.
    // Throws Error for an empty picture or a failed write.
    virtual void SavePicture(const Picture& picture, const std::string& path) = 0;
    // SavePicture into a file already open; errors name it `name`. The file is not closed.
    virtual void WritePicture(const Picture& picture, OutputFile& file,
                              const std::string& name) = 0;
    // Whether the file SavePicture makes of `picture` loads back as the very same image, so
    // that a caller may share it rather than decode the file again.
    virtual bool ReadsBackAsItself(const Picture&) { return false; }
    // The length of the file SavePicture makes of `picture`, when it is known without
    // writing it; -1 otherwise.
    virtual std::int64_t SavedLength(const Picture&) { return -1; }
};

}  // namespace kelvo
