// ConvertAllToFiles: every photo column of the table written out to its photo file. A row's
// column is cleared only once its file has been written and its length checked; a row whose
// file another row of the same values already has keeps its column.
#include "store/CPicture.h"
#include "store/bulk/column_copy.h"
#include "store/store_internal.h"

namespace kelvo {

bool CPicture::ConvertAllToFiles(std::shared_ptr<Connection> cnn) {
    if (!SaveAsFile) return false;
    bool allWritten = true;
    try {
        m_impl->openWholeTable(cnn);
        Recordset& rs = *m_rsPhotoDetails;
        if (rs.RecordCount() <= 0) return true;
        m_impl->ResolvePhotosFolder(true);
        std::int32_t counter = 0;
        rs.MoveFirst();
        while (!rs.EOF()) {
            try {
                const std::string path = m_impl->takeRowValues(rs);
                Field& column = rs.Fields(OwnerPhotoField);
                if (column.ActualSize() > 0) {
                    // Rows of the same values name one file: the first to reach it keeps it.
                    if (services().files->FileExists(path) &&
                        m_impl->rowsNamed(m_impl->photoCode, m_impl->photoDescription,
                                          m_impl->photosGroup) > 1)
                        throw Error("the photo of " + m_impl->photoCode + " described '" +
                                    m_impl->photoDescription + "' in " + m_impl->photosGroup +
                                    " stays in the table: another row of the same values has " +
                                    path);
                    store::CopyColumnToFile(column, *services().files, path);
                    column.Value(Variant());
                    rs.Update();
                }
            } catch (const std::exception& e) {
                allWritten = false;
                try {
                    rs.CancelUpdate();
                } catch (const Error&) {
                }
                m_impl->raiseErrorDescrption(e.what());
            }
            m_impl->raiseConversionProgress("Converting to Files...", ++counter);
            rs.MoveNext();
        }
    } catch (const Error&) {
        return false;
    }
    return allWritten;
}

}  // namespace kelvo
