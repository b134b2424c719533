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
        openWholeTable(cnn);
        Recordset& rs = *m_rsPhotoDetails;
        if (rs.RecordCount() <= 0) return true;
        ResolvePhotosFolder(true);
        std::int32_t counter = 0;
        rs.MoveFirst();
        while (!rs.EOF()) {
            try {
                m_sPhotoCode = store::RowText(rs, OwnerIDField);
                m_sPhotoDescription = store::RowText(rs, OwnerDescField);
                m_sPhotosGroup = store::RowText(rs, OwnerGroupField);
                Field& column = rs.Fields(OwnerPhotoField);
                if (column.ActualSize() > 0) {
                    const std::string path =
                        photoFilePath(m_sPhotoCode, m_sPhotoDescription, m_sPhotosGroup);
                    // Rows of the same values name one file: the first to reach it keeps it.
                    if (services().files->FileExists(path) &&
                        rowsNamed(m_sPhotoCode, m_sPhotoDescription, m_sPhotosGroup) > 1)
                        throw Error("the photo of " + m_sPhotoCode + " described '" +
                                    m_sPhotoDescription + "' in " + m_sPhotosGroup +
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
                raiseErrorDescrption(e.what());
            }
            raiseConversionProgress("Converting to Files...", ++counter);
            rs.MoveNext();
        }
    } catch (const Error&) {
        return false;
    }
    return allWritten;
}

}  // namespace kelvo
