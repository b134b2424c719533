// Removing photo data: the current row with its photo file, every row of an owner name, and
// the default marks of an owner in the store's group.
#include "store/CPicture.h"
#include "store/store_internal.h"

namespace kelvo {
namespace {

// Clears the default flag of every photo of the owner `code` in `group`.
void clearDefaultFlags(Connection& cnn, const CPicture& store, const std::string& code,
                       const std::string& group) {
    cnn.ExecuteUpdate(store.TableName, {{store.OwnerDefaultPhotoField, false}},
                      {{store.OwnerIDField, code}, {store.OwnerGroupField, group}});
}

}  // namespace

void CPicture::DeleteRecord() {
    m_impl->guarded([&] {
        Recordset& rs = m_impl->photoRows();
        if (rs.RecordCount() == 0) return;
        if (!rs.BOF() && !rs.EOF()) {
            rs.Delete(1);
            if (SaveAsFile) {
                m_impl->ResolvePhotosFolder(false);
                const std::string path = m_impl->photoFilePath(
                    m_impl->photoCode, m_impl->photoDescription, m_impl->photosGroup);
                // Rows of the same code, description and group share one file; keep it for them.
                // The rows are read afresh and together, as other users may have deleted some;
                // one that still cannot be read counts as using the file: none goes on a guess.
                bool stillUsed = false;
                const Connection::ReadsTogether together(rs.ActiveConnection().get());
                rs.Requery(-1);
                if (rs.RecordCount() > 0) {
                    for (rs.MoveFirst(); !rs.EOF() && !stillUsed; rs.MoveNext()) {
                        stillUsed = true;  // unless the row reads as naming another file
                        Quietly([&] { stillUsed = m_impl->rowPhotoFile(rs) == path; });
                    }
                }
                FileSystem& files = *m_impl->services.files;
                if (!stillUsed && files.FileExists(path)) files.DeleteFile(path);
            }
        }
        const std::int32_t count = rs.RecordCount();
        if (count > 0) {
            rs.MoveLast();
            m_impl->totalRecords = count;
            m_impl->recordPosition = count;
        }
        m_impl->ownerPhoto.reset();
        m_impl->unreadPhotoRow.reset();
    });
}

void CPicture::DeletePhotos() {
    Quietly([&] {
        m_impl->connection().ExecuteDelete(
            TableName, {{OwnerGroupField, m_impl->ownerName}, {"PhotoCode", m_impl->photoCode}});
    });
}

void CPicture::UnSetDefaultPhoto(const std::string& strCode, const std::string& strDescription) {
    (void)strDescription;  // accepted for the host's sake; the flag is cleared for the owner
    clearDefaultFlags(m_impl->connection(), *this, strCode, m_impl->photosGroup);
}

void CPicture::MarkDefaultPhoto(const std::string& strDescription) {
    const std::string code = StoredText(m_impl->photoCode), group = StoredText(m_impl->photosGroup);
    clearDefaultFlags(m_impl->connection(), *this, code, group);
    m_impl->connection().ExecuteUpdate(
        TableName, {{OwnerDefaultPhotoField, true}},
        {{OwnerIDField, code}, {OwnerGroupField, group}, {OwnerDescField, strDescription}});
}

}  // namespace kelvo
