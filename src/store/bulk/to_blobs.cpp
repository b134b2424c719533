// ConvertAllToBlobs: every photo file of the table's rows stored into the row's empty photo
// column, in place. The files are deleted in a second walk, each once its row holds it, and none
// that a row which failed also uses: only the failed rows' files are remembered between the walks.
#include <set>

#include "store/CPicture.h"
#include "store/bulk/column_copy.h"
#include "store/store_internal.h"

namespace kelvo {

bool CPicture::ConvertAllToBlobs(std::shared_ptr<Connection> cnn) {
    if (SaveAsFile) return false;
    bool allStored = true;
    bool unnamedRowFailed = false;  // a row failed before its file was known
    std::set<std::string> kept;     // the files of rows that failed
    std::int32_t counter = 0;
    try {
        m_impl->openWholeTable(cnn);
        Recordset& rs = *m_rsPhotoDetails;
        if (rs.RecordCount() <= 0) return true;
        m_impl->ResolvePhotosFolder(false);
        FileSystem& files = *services().files;
        rs.MoveFirst();
        while (!rs.EOF()) {
            rs.MoveNext();
            m_impl->nextBookmark.reset();
            if (!rs.EOF()) m_impl->nextBookmark = rs.GetBookmark();
            rs.MovePrevious();

            std::string path;
            try {
                path = m_impl->takeRowValues(rs);
                Field& column = rs.Fields(OwnerPhotoField);
                // A photo already in the column stays: it may be the row's own, kept there
                // when another row of the same values took the file.
                if (column.ActualSize() == 0 && files.FileExists(path) &&
                    files.FileLength(path) > 0) {
                    std::int64_t length = store::AppendFileToColumn(files, path, column);
                    rs.Update();
                    if (column.ActualSize() != length)
                        throw Error("the photo column of " + m_impl->photoCode +
                                    " does not hold the whole photo file " + path);
                }
            } catch (const std::exception& e) {
                allStored = false;
                if (path.empty())
                    unnamedRowFailed = true;
                else
                    kept.insert(path);
                try {
                    rs.CancelUpdate();
                } catch (const std::exception&) {
                }
                m_impl->raiseErrorDescrption(e.what());
            }
            m_impl->raiseConversionProgress("Adding photos to Database...", ++counter);
            if (!m_impl->nextBookmark) break;
            rs.SetBookmark(*m_impl->nextBookmark);
        }
        m_impl->nextBookmark.reset();

        if (unnamedRowFailed) return false;  // its file may be any of them
        m_impl->deleteStoredFiles(rs, kept, counter);
    } catch (const std::exception&) {
        return false;
    }
    return allStored;
}

void CPicture::Impl::deleteStoredFiles(Recordset& rs, const std::set<std::string>& kept,
                                       std::int32_t& counter) {
    FileSystem& files = *services.files;
    for (rs.MoveFirst(); !rs.EOF(); rs.MoveNext()) {
        const std::string path = rowPhotoFile(rs);
        if (kept.count(path) != 0 || !files.FileExists(path)) continue;
        // A file written after its row was walked is not in the row's column.
        const std::int64_t length = files.FileLength(path);
        if (length <= 0 || rs.Fields(self.OwnerPhotoField).ActualSize() != length) continue;
        files.DeleteFile(path);
        raiseConversionProgress("Deleting old photo files...", --counter);
    }
}

}  // namespace kelvo
