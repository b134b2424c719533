// ConvertAllToBlobs: every photo file of the table's rows stored into the row's photo column,
// in place. A file is deleted after the walk, and only when every row using it was checked.
#include <map>

#include "store/CPicture.h"
#include "store/bulk/column_copy.h"
#include "store/store_internal.h"

namespace kelvo {
namespace {

// Photo files met during the walk, each with whether every row using it now holds it.
using FilesMoved = std::map<std::string, bool>;

}  // namespace

bool CPicture::ConvertAllToBlobs(std::shared_ptr<Connection> cnn) {
    if (SaveAsFile) return false;
    bool allStored = true;
    bool unnamedRowFailed = false;  // a row failed before its file was known
    FilesMoved moved;
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
                m_impl->photoCode = store::RowText(rs, OwnerIDField);
                m_impl->photoDescription = store::RowText(rs, OwnerDescField);
                m_impl->photosGroup = store::RowText(rs, OwnerGroupField);
                path = m_impl->photoFilePath(m_impl->photoCode, m_impl->photoDescription,
                                             m_impl->photosGroup);
                if (files.FileExists(path) && files.FileLength(path) > 0) {
                    moved.try_emplace(path, true);
                    Field& column = rs.Fields(OwnerPhotoField);
                    std::int64_t length = store::AppendFileToColumn(files, path, column);
                    rs.Update();
                    if (column.ActualSize() != length)
                        throw Error("the photo column of " + m_impl->photoCode +
                                    " does not hold the whole photo file " + path);
                } else {
                    path.clear();
                }
            } catch (const std::exception& e) {
                allStored = false;
                if (path.empty())
                    unnamedRowFailed = true;
                else
                    moved[path] = false;
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

        if (unnamedRowFailed) return false;  // its file may be one of those below
        for (const auto& [path, stored] : moved) {
            if (!stored) continue;
            files.DeleteFile(path);
            m_impl->raiseConversionProgress("Deleting old photo files...", --counter);
        }
    } catch (const std::exception&) {
        return false;
    }
    return allStored;
}

}  // namespace kelvo
