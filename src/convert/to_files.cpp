// ConvertAllToFiles: every photo column of the table written out to its photo file. A row's
// column is cleared only once its file has been written and its length checked.
#include "convert/column_copy.h"
#include "store/CPicture.h"

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
                m_sPhotoCode = convert::ColumnText(rs, OwnerIDField);
                m_sPhotoDescription = convert::ColumnText(rs, OwnerDescField);
                m_sPhotosGroup = convert::ColumnText(rs, OwnerGroupField);
                Field& column = rs.Fields(OwnerPhotoField);
                if (column.ActualSize() > 0) {
                    convert::CopyColumnToFile(
                        column, *services().files,
                        photoFilePath(m_sPhotoCode, m_sPhotoDescription, m_sPhotosGroup));
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
            ++counter;
            std::string msg = "Converting to Files...";
            std::int32_t total = rs.RecordCount();
            std::int32_t pos = counter;
            raise(&CPictureEvents::ConversionProgress, msg, pos, total);
            rs.MoveNext();
        }
    } catch (const Error&) {
        return false;
    }
    return allWritten;
}

}  // namespace kelvo
