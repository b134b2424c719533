// ExtractToFiles: one group's photos of an older photo table written to files named after
// their codes; only the rows whose file was written and checked are then deleted.
#include <set>

#include "convert/column_copy.h"
#include "platform/text.h"
#include "store/CPicture.h"
#include "store/store_internal.h"

namespace kelvo {
namespace {

const char* const kCodeColumn = "PhotoCode";
const char* const kPhotoColumn = "QualifierPhoto";

// Codes whose rows reached their file, codes with a row that did not, and whether every
// row was visited with its code known (only then can rows be deleted by code).
struct ExtractedCodes {
    std::vector<Variant> written;
    std::set<std::string> failed;
    bool complete = false;
};

}  // namespace

void CPicture::ExtractToFiles(const std::string& sTableName, const std::string& sQualifier,
                              const std::string& sFolderPath) {
    ExtractedCodes codes;
    try {
        Recordset rs;
        rs.ActiveConnection(m_cnDBConnection);
        rs.LockType = Recordset::adLockOptimistic;
        rs.CursorType = Recordset::adOpenKeyset;
        rs.Source(Selection{sTableName, {{OwnerGroupField, sQualifier}}, ""});
        rs.Open();
        m_cnDBConnection->Attributes(128);
        if (rs.RecordCount() == 0) return;
        FileSystem& files = *services().files;
        rs.MoveFirst();
        while (!rs.EOF()) {
            Variant code;
            try {
                code = rs.Fields(kCodeColumn).Value();
                if (!code.isNull()) {
                    Field& photo = rs.Fields(kPhotoColumn);
                    if (photo.ActualSize() / store::kChunkSize > store::kMaxWholeChunks)
                        throw Error("the photo of " + code.toText() + " is too long to extract");
                    std::string target = sFolderPath + store::SafeNamePart(Trim(code.toText()));
                    convert::CopyColumnToFile(photo, files, target);
                    codes.written.push_back(code);
                }
            } catch (const std::exception&) {
                // Passed over: the row stays in the table with its photo.
                if (code.isNull()) return;  // its code is unknown, so no row can go
                codes.failed.insert(code.toText());
            }
            services().interaction->DoEvents();
            rs.MoveNext();
        }
        codes.complete = true;
    } catch (const std::exception&) {
        // A later row with an extracted code may not have been reached: delete nothing.
    }
    if (!codes.complete) return;
    for (const Variant& code : codes.written) {
        if (codes.failed.count(code.toText())) continue;
        try {
            m_cnDBConnection->ExecuteDelete(sTableName,
                                            {{OwnerGroupField, sQualifier}, {kCodeColumn, code}});
        } catch (const std::exception&) {
        }
    }
}

}  // namespace kelvo
