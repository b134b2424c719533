// Photo sizes in kilobytes of their bitmap form, the PhotosMaxSize check, the longest photo
// a column holds, and temporary picture file names. Measuring passes over every failure: a picture
// that cannot be written measures 0.
#include <charconv>

#include "platform/text.h"
#include "store/CPicture.h"
#include "store/store_internal.h"

namespace kelvo {

std::string CPicture::GetTempPixName() {
    FileSystem& files = *m_impl->services.files;
    std::string name;
    try {
        name = files.CreateTempFile(files.TempFolder(), "Pix");
    } catch (const std::exception&) {
        return "";
    }
    Quietly([&] { files.DeleteFile(name); });
    return name;
}

// A picture whose file length is known is not written: a 20-megapixel photo would cost
// 60 MB of writing each time it is shown.
std::string CPicture::CheckPicDiskSize(const Picture& Picx, double* dSize) {
    std::int64_t known = -1;
    Quietly([&] { known = m_impl->services.pictures->SavedLength(Picx); });
    std::unique_ptr<TempFile> bitmap;
    if (known < 0) {
        Quietly([&] { bitmap = m_impl->services.files->OpenScratchFile(); });
        Quietly([&] {
            if (bitmap)
                m_impl->services.pictures->WritePicture(Picx, *bitmap, "temporary photo file");
        });
    }
    Quietly([&] { m_impl->services.interaction->DoEvents(); });
    double length = 0;
    Quietly([&] {
        if (known >= 0) length = static_cast<double>(static_cast<std::int32_t>(known));
        if (bitmap) length = static_cast<double>(static_cast<std::int32_t>(bitmap->Length()));
    });
    if (dSize) *dSize = length;
    return TwoDecimals(length / 1024) + " KB";
}

std::string CPicture::VerifyPhotoSize(const Picture& Picx, bool* bSizeOver) {
    const double kilobytes = LeadingNumber(CheckPicDiskSize(Picx)).value_or(0);
    if (bSizeOver) *bSizeOver = m_impl->initialMaxSize != 0 && kilobytes > PhotosMaxSize;
    return NumberText(kilobytes);
}

namespace store {

void RequireFitsColumn(std::int64_t length, const std::string& photo) {
    if (length > kMaxPhotoBytes)
        throw Error(photo + " is " + std::to_string(length) + " bytes, over the " +
                    std::to_string(kMaxPhotoBytes) + " bytes a photo column holds");
}

}  // namespace store
}  // namespace kelvo
