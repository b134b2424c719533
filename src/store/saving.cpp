// SavePhotoDetails writes the store's current values and photo as a row of the photo table;
// the photo goes into the photo column in chunks or into its photo file. A photo file is
// written under a temporary name in its folder and renamed into place, so a failed save
// leaves the earlier photo readable.
#include "store/CPicture.h"
#include "store/store_internal.h"

namespace kelvo {
void CPicture::SavePhotoDetails(bool bNewRecord, bool bConverting) {
    Impl::WrittenPhotoScope rereadWithoutDecoding(*m_impl);
    // A row without one of its columns would lose that value, the photo above all.
    if (!m_impl->guarded([&] { m_impl->requireConfiguredColumns(m_impl->photoRows()); })) return;
    // A replacement edits the current row in place rather than deleting it and adding it
    // anew: the row is never missing, a failed write keeps its old photo, and a table with
    // a unique key on its columns accepts it. Without a current row it is added instead.
    bool editing = false;
    if (!bNewRecord) {
        editing = m_impl->guarded([&] {
            Recordset& rs = m_impl->photoRows();
            if (rs.BOF() || rs.EOF()) throw Error("there is no current photo row to replace");
            rs.GetBookmark();
        });
    }
    // The photo file is named by the values as the row holds them.
    const std::string code = StoredText(m_impl->photoCode),
                      description = StoredText(m_impl->photoDescription),
                      group = StoredText(m_impl->photosGroup);
    if (SaveAsFile && store::AnswerOrFalse([&] {
            return m_impl->takesAnotherRowsFile(editing, code, description, group);
        })) {
        m_impl->raiseErrorSavingPhoto("another photo of " + code + " in " + group +
                                      " is described '" + description +
                                      "'; its photo file is not replaced");
        return;
    }
    if (!editing) m_impl->guarded([&] { m_impl->photoRows().AddNew(); });

    auto write = [this](const std::string& column, const Variant& value) {
        if (column.empty()) return;
        m_impl->guarded([&] { m_impl->photoRows().Fields(column).Value(value); });
    };
    write(OwnerIDField, code);
    write(OwnerDescField, description);
    write(OwnerGroupField, group);
    write(OwnerDefaultPhotoField, m_impl->defaultPhoto);
    write(OwnerCommentsField, StoredText(m_impl->photoComments));

    bool photoStaged = true;
    bool columnWritten = false;  // the whole photo went into the column
    PicturePtr photo = OwnerPhoto();
    if (SaveAsFile && editing) {
        if (!photo->IsEmpty()) {
            // A row whose file could not be written would show no photo: it is not saved.
            photoStaged = m_impl->SavePhotoToFile(photo, code, description, group);
            // The edited row's old column would otherwise be read back over the new file.
            const std::string path = m_impl->photoFilePath(code, description, group);
            if (photoStaged && m_impl->services.files->FileExists(path))
                write(OwnerPhotoField, Variant());
        } else {
            m_impl->clearPhotoFile(code, description, group);
            write(OwnerPhotoField, Variant());
        }
    } else if (!SaveAsFile && !photo->IsEmpty()) {
        std::unique_ptr<TempFile> bitmap;
        m_impl->guarded([&] {
            bitmap = m_impl->services.files->OpenScratchFile();
            m_impl->services.pictures->WritePicture(*photo, *bitmap, "temporary photo file");
        });
        if (m_rsPhotoDetails && bitmap) {
            const Impl::Appended appended = m_impl->SavePhotoToBlob(*m_rsPhotoDetails, *bitmap);
            if (appended == Impl::Appended::Refused) {
                Quietly([&] { m_rsPhotoDetails->CancelUpdate(); });
                return;
            }
            photoStaged = appended != Impl::Appended::Part;
            columnWritten = appended == Impl::Appended::Whole;
        }
    } else if (!SaveAsFile && editing) {
        write(OwnerPhotoField, Variant());  // replaced by no photo
    }

    const bool updated = m_impl->guarded([&] {
        Recordset& rs = m_impl->photoRows();
        try {
            if (!photoStaged)
                throw Error(SaveAsFile
                                ? "the photo file could not be written; the row is not saved"
                                : "the photo could not be stored whole; the row is not saved");
            rs.Update();
        } catch (const std::exception&) {
            Quietly([&] { rs.CancelUpdate(); });
            throw;
        }
        if (columnWritten)
            Quietly([&] {
                m_impl->rememberWrittenPhoto(*m_impl->services.pictures, *photo, "",
                                             rs.RowIdentity());
            });
    });
    // A new row's file is written once the row is in: a row that another save inserted
    // first (a unique key) then keeps its file. A file that cannot be written takes the
    // row out again, so no row is left without its photo.
    if (SaveAsFile && !editing && updated && !photo->IsEmpty() &&
        !m_impl->SavePhotoToFile(photo, code, description, group))
        m_impl->guarded([&] { m_impl->photoRows().Delete(1); });

    if (!bConverting) {
        m_impl->guarded([&] { m_impl->photoRows().Requery(-1); });
        if (bNewRecord) m_impl->guarded([&] { LastRecord(); });
    }
}

bool CPicture::Impl::takesAnotherRowsFile(bool editing, const std::string& code,
                                          const std::string& description,
                                          const std::string& group) {
    const std::int32_t named = rowsNamed(code, description, group);
    if (!editing || named == 0) return named > 0;
    // The row being edited is one of them when it holds these values already.
    Recordset& rs = photoRows();
    const bool same = store::RowText(rs, self.OwnerIDField) == code &&
                      store::RowText(rs, self.OwnerDescField) == description &&
                      store::RowText(rs, self.OwnerGroupField) == group;
    return named > (same ? 1 : 0);
}

std::int32_t CPicture::Impl::rowsNamed(const std::string& code, const std::string& description,
                                       const std::string& group) {
    std::vector<Condition> where;
    for (const auto& [column, value] :
         {std::pair{&self.OwnerIDField, &code}, std::pair{&self.OwnerDescField, &description},
          std::pair{&self.OwnerGroupField, &group}})
        if (!column->empty()) where.push_back({*column, *value});
    if (where.empty()) return 0;
    Recordset rs;
    rs.Open(Selection{self.TableName, std::move(where), ""}, photoRows().ActiveConnection());
    return rs.RecordCount();
}

void CPicture::Impl::clearPhotoFile(const std::string& code, const std::string& description,
                                    const std::string& group) {
    try {
        ResolvePhotosFolder(false);
        const std::string path = photoFilePath(code, description, group);
        if (services.files->FileExists(path)) services.files->DeleteFile(path);
    } catch (const std::exception& e) {
        raiseErrorSavingPhoto(e.what());
    }
}

void CPicture::DiscardPhotoFile() {
    if (SaveAsFile)
        m_impl->clearPhotoFile(StoredText(m_impl->photoCode), StoredText(m_impl->photoDescription),
                               StoredText(m_impl->photosGroup));
}

CPicture::Impl::Appended CPicture::Impl::SavePhotoToBlob(Recordset& rs, TempFile& bitmap) {
    Quietly([&] { connection().Attributes(128); });
    std::unique_ptr<InputFile> in;
    std::int64_t length = 0;
    try {
        in = bitmap.ReadBack();
        length = in->Length();
    } catch (const std::exception&) {
        return Appended::Nothing;  // the column stays as it is
    }
    if (length <= 0) return Appended::Nothing;
    try {
        store::RequireFitsColumn(length, "the photo");
    } catch (const Error& e) {
        raiseErrorSavingPhoto(e.what());
        return Appended::Refused;
    }

    std::int64_t appended = 0;
    try {
        Field& column = rs.Fields(self.OwnerPhotoField);
        store::ForEachChunk(length, [&](std::int64_t size) {
            store::AppendFromFile(*in, size, column, "the temporary photo file ended early");
            appended += size;
        });
    } catch (const std::exception&) {
    }
    if (appended == 0) return Appended::Nothing;
    return appended == length ? Appended::Whole : Appended::Part;
}

bool CPicture::Impl::SavePhotoToFile(const PicturePtr& picture, const std::string& code,
                                     const std::string& description, const std::string& group) {
    try {
        ResolvePhotosFolder(true);
        const std::string path = photoFilePath(code, description, group);
        // An empty picture cannot be written; the file already there stays.
        if (!picture || picture->IsEmpty()) return true;
        // The column is cleared only once the file is in place; check the statement can run
        // before the file replaces an earlier one.
        if (!self.OwnerPhotoField.empty() && !statementConnection().IsOpen())
            throw Error("the database connection is closed");
        writePictureFile(*picture, path);
        if (!self.OwnerPhotoField.empty())
            statementConnection().ExecuteUpdate(self.TableName, {{self.OwnerPhotoField, Variant()}},
                                                {{self.OwnerIDField, code},
                                                 {self.OwnerGroupField, group},
                                                 {self.OwnerDescField, description}});
        return true;
    } catch (const std::exception& e) {
        raiseErrorSavingPhoto(e.what());
        return false;
    }
}

void CPicture::Impl::writePictureFile(const Picture& picture, const std::string& path) {
    std::unique_ptr<TempFile> temp =
        services.files->OpenTempFile(FolderOf(path), store::kTempFilePrefix);
    services.pictures->WritePicture(picture, *temp, path);
    temp->MoveTo(path);
    rememberWrittenPhoto(*services.pictures, picture, path, std::nullopt);
}

void CPicture::Impl::rememberWrittenPhoto(PictureService& pictures, const Picture& picture,
                                          std::string path, std::optional<Variant> row) {
    if (writeScopes > 0 && pictures.ReadsBackAsItself(picture))
        writtenPhoto = WrittenPhoto{std::move(path), std::move(row), picture.image()};
}

}  // namespace kelvo
