// ExtractToFiles: one group's photos of an older photo table written to files named after
// their codes. A row is then deleted, by its own identity, only when its file holds its
// photo at the end: a later row of the same file name leaves the earlier row in the table.
#include <map>

#include "platform/text.h"
#include "store/CPicture.h"
#include "store/bulk/column_copy.h"
#include "store/store_internal.h"

namespace kelvo {
namespace {

const char* const kCodeColumn = "PhotoCode";
const char* const kPhotoColumn = "QualifierPhoto";

// The row that last wrote a file, and how long that file was.
struct Extracted {
    Bookmark row;
    std::int64_t length = 0;
};

}  // namespace

void CPicture::ExtractToFiles(const std::string& sTableName, const std::string& sQualifier,
                              const std::string& sFolderPath) {
    Recordset rs;
    std::map<std::string, Extracted> byFile;
    FileSystem& files = *services().files;
    try {
        rs.Open(Selection{sTableName, {{OwnerGroupField, sQualifier}}, ""}, m_impl->dbConnection);
        m_impl->dbConnection->Attributes(128);
        if (rs.RecordCount() == 0) return;
        rs.MoveFirst();
        while (!rs.EOF()) {
            try {
                const Variant code = rs.Fields(kCodeColumn).Value();
                if (!code.isNull()) {
                    Field& photo = rs.Fields(kPhotoColumn);
                    store::RequireFitsColumn(photo.ActualSize(), "the photo of " + code.toText());
                    const std::string target =
                        sFolderPath + store::ExtractFileName(Trim(code.toText()));
                    const std::int64_t length = store::CopyColumnToFile(photo, files, target);
                    // An earlier row whose file this one replaced stays in the table.
                    byFile[target] = Extracted{rs.GetBookmark(), length};
                }
            } catch (const std::exception&) {
                // Passed over: the row stays in the table with its photo.
            }
            services().interaction->DoEvents();
            rs.MoveNext();
        }
    } catch (const std::exception&) {
        // Rows already written are still checked and deleted below; the others stay.
    }
    for (const auto& entry : byFile) {
        Quietly([&] {
            const auto& [target, extracted] = entry;
            if (files.FileLength(target) != extracted.length) return;
            rs.SetBookmark(extracted.row);
            rs.Delete(1);
        });
    }
}

}  // namespace kelvo
