// Reading the current row's photo into OwnerPhoto: from the photo column, and in file mode
// from the photos folder. Also where the photos folder is resolved and photo file names are
// made.
#include <utility>

#include "platform/text.h"
#include "store/CPicture.h"
#include "store/store_internal.h"

namespace kelvo {

namespace {

// Creates `folder` (with its trailing separator) and, when asked, its missing parents.
void createFolder(FileSystem& files, const std::string& folder, bool withParents) {
    std::size_t level = withParents ? 1 : folder.size() - 1;
    for (; level < folder.size(); ++level) {
        if (folder[level] != kPathSeparator) continue;
        const std::string path = folder.substr(0, level);
        if (files.FolderExists(path + kPathSeparator)) continue;
        try {
            files.CreateFolder(path);
        } catch (const Error&) {
            // Another store or process may have made it since the check.
            if (!files.FolderExists(path + kPathSeparator)) throw;
        }
    }
}

}  // namespace

void CPicture::Impl::ResolvePhotosFolder(bool createGivenFolder) {
    std::string folder = Trim(self.PhotosFolder);
    const bool given = !folder.empty();
    if (!given) folder = WithTrailingSeparator(AppPath()) + "KelvPhotos";
    folder = WithTrailingSeparator(folder);
    self.PhotosFolder = folder;
    // The default folder comes with the application folder the first time; a folder the
    // host names must exist but for its last level.
    if ((!given || createGivenFolder) && !services.files->FolderExists(folder))
        createFolder(*services.files, folder, !given);
}

std::string CPicture::Impl::photoFilePath(const std::string& code, const std::string& description,
                                          const std::string& group) const {
    return self.PhotosFolder + store::PhotoFileName(code, description, group);
}

std::string CPicture::Impl::rowPhotoFile(Recordset& rs) const {
    return photoFilePath(store::RowText(rs, self.OwnerIDField),
                         store::RowText(rs, self.OwnerDescField),
                         store::RowText(rs, self.OwnerGroupField));
}

std::string CPicture::Impl::takeRowValues(Recordset& rs) {
    photoCode = store::RowText(rs, self.OwnerIDField);
    photoDescription = store::RowText(rs, self.OwnerDescField);
    photosGroup = store::RowText(rs, self.OwnerGroupField);
    return photoFilePath(photoCode, photoDescription, photosGroup);
}

void CPicture::Impl::readCurrentPhoto() {
    unreadPhotoRow.reset();
    if (photosOnDemand > 0 && !self.SaveAsFile && self.m_rsPhotoDetails) {
        Quietly([&] { unreadPhotoRow = self.m_rsPhotoDetails->GetBookmark(); });
        if (unreadPhotoRow) {
            ownerPhoto.reset();
            return;
        }
    }
    Impl::WrittenPhotoScope rereadWithoutDecoding(*this);
    const auto& written = writtenPhoto;
    if (!self.SaveAsFile && written && written->row && self.m_rsPhotoDetails &&
        store::AnswerOrFalse(
            [&] { return self.m_rsPhotoDetails->RowIdentity() == *written->row; })) {
        ownerPhoto = std::make_shared<Picture>(written->image);
        return;
    }
    std::unique_ptr<PictureReader> column =
        services.pictures->ReadPicture("in column " + self.OwnerPhotoField);
    if (self.m_rsPhotoDetails && ReadPhotoFromBlob(*self.m_rsPhotoDetails, *column) > 0) {
        ownerPhoto = EmptyPicture();
        guarded([&] { ownerPhoto = column->Finish(); });
        column.reset();  // not held while the photo file is written
        if (self.SaveAsFile) {
            guarded([&] {
                ResolvePhotosFolder(false);
                const std::string path = photoFilePath(photoCode, photoDescription, photosGroup);
                if (!self.OwnerPhoto()->IsEmpty()) writePictureFile(*ownerPhoto, path);
            });
        }
    } else {
        ownerPhoto.reset();
    }

    if (self.SaveAsFile) {
        PicturePtr picture = self.OwnerPhoto();
        ReadPhotoFromFile(picture, photoCode, photoDescription, photosGroup);
        ownerPhoto = picture;
    }
}

void CPicture::Impl::readUnreadPhoto() {
    const Bookmark row = *unreadPhotoRow;
    unreadPhotoRow.reset();
    Recordset& rs = *self.m_rsPhotoDetails;
    std::optional<Bookmark> here;
    bool afterLast = false;
    Quietly([&] {
        afterLast = rs.EOF();
        if (!afterLast && !rs.BOF()) here = rs.GetBookmark();
    });
    const int onDemand = std::exchange(photosOnDemand, 0);
    guarded([&] {
        rs.SetBookmark(row);
        readCurrentPhoto();
    });
    photosOnDemand = onDemand;
    // The recordset goes back to where the host left it.
    Quietly([&] {
        if (here) {
            rs.SetBookmark(*here);
        } else if (afterLast) {
            rs.MoveLast();
            rs.MoveNext();
        } else {
            rs.MoveFirst();
            rs.MovePrevious();
        }
    });
}

// The column's pieces go straight to the picture reader: no scratch file, and a bitmap is
// decoded as it arrives rather than after its bytes are all held.
std::int64_t CPicture::Impl::ReadPhotoFromBlob(Recordset& rs, PictureReader& photo) {
    std::int64_t read = 0;
    try {
        connection().Attributes(128);
        const Connection::ReadsTogether together(rs.ActiveConnection().get());
        Field& column = rs.Fields(self.OwnerPhotoField);
        const std::int64_t length = column.ActualSize();
        store::RequireFitsColumn(length, "the photo in column " + self.OwnerPhotoField);
        store::ForEachChunk(length, [&](std::int64_t size) {
            const Bytes chunk = column.GetChunk(size);
            photo.Add(chunk.data(), chunk.size());
            read += static_cast<std::int64_t>(chunk.size());
        });
    } catch (const std::exception&) {
        // What was read so far is kept; the reader reports a cut-off picture.
    }
    return read;
}

bool CPicture::Impl::ReadPhotoFromFile(PicturePtr& pic, const std::string& sCode,
                                       const std::string& sDescription, const std::string& sGroup) {
    try {
        ResolvePhotosFolder(false);
        // The row's own file; another photo of the owner only when the row has none.
        std::string path = photoFilePath(sCode, sDescription, sGroup);
        if (!services.files->FileExists(path)) {
            const std::string name =
                services.files->Dir(self.PhotosFolder + store::OwnerFilePattern(sCode));
            if (name.empty()) {
                SavePhotoToFile(pic, sCode, sDescription, sGroup);
                return false;
            }
            path = self.PhotosFolder + name;
        }
        // The user learns why the photo is missing: a planted link, a broken file.
        return guarded([&] { pic = loadPhotoFile(services, path); });
    } catch (const std::exception&) {
    }
    return false;
}

PicturePtr CPicture::Impl::loadPhotoFile(const Services& services, const std::string& path) const {
    if (writtenPhoto && writtenPhoto->path == path)
        return std::make_shared<Picture>(writtenPhoto->image);
    // Never through a link: a photo file planted as one would show, or be replaced by, a
    // file outside the folder.
    std::unique_ptr<InputFile> file = services.files->OpenRegularFile(path);
    return services.pictures->LoadPictureFrom(*file, "file " + path);
}

}  // namespace kelvo
