// The two calls most hosts need: GetPhoto for an owner's default photo, EditPhoto to open
// the editor window on the owner's photos until the user closes it.
#include "store/CPicture.h"
#include "store/store_internal.h"

namespace kelvo {
namespace {

PhotoEditorLauncher& installedLauncher() {
    static PhotoEditorLauncher launcher;
    return launcher;
}

}  // namespace

void CPicture::SetPhotoEditorLauncher(PhotoEditorLauncher launcher) {
    installedLauncher() = std::move(launcher);
}

PicturePtr CPicture::GetPhoto(const std::string& PhotosGroup, const std::string& OwnerID,
                              std::shared_ptr<Connection> cnn) {
    Init(OwnerID, PhotosGroup, "", nullptr, std::move(cnn));
    LoadData(true, false);
    return OwnerPhoto();
}

PicturePtr CPicture::EditPhoto(const std::string& PhotosGroup, const std::string& OwnerID,
                               const std::string& OwnerDescription,
                               std::shared_ptr<Connection> cnn) {
    Init(OwnerID, PhotosGroup, OwnerDescription, nullptr, std::move(cnn));
    const PhotoEditorLauncher launcher = installedLauncher();
    if (!launcher) throw Error("no photo editor window is available");
    CPicture* objcPhoto = launcher(*this);
    return (objcPhoto ? objcPhoto : this)->OwnerPhoto();
}

}  // namespace kelvo
