// LoadData copies the current row into the store's properties and its photo into OwnerPhoto;
// SearchForRecord finds a row by owner or description and loads it.
#include "platform/db/criteria.h"
#include "platform/text.h"
#include "store/CPicture.h"
#include "store/store_internal.h"

namespace kelvo {
namespace {

std::string textCriterion(const std::string& column, const std::string& value) {
    return TextCriterion(column, UCase(value));
}

// The row's value under `criterion`, by the same comparison Find makes.
bool rowMatches(Recordset& rs, const Criterion& criterion) {
    return Matches(criterion, rs.Fields(criterion.column).Value());
}

}  // namespace

void CPicture::LoadData(bool bDefaultPhoto, bool bConverting) {
    m_impl->guarded([&] {
        if (m_impl->photoRows().RecordCount() == 0) SavePhotoDetails(true, false);
    });

    if (!bConverting && bDefaultPhoto) {
        m_impl->guarded([&] {
            Recordset& rs = m_impl->photoRows();
            const Connection::ReadsTogether together(rs.ActiveConnection().get());
            rs.MoveFirst();
            if (!OwnerDefaultPhotoField.empty()) rs.FindFirstTrue(OwnerDefaultPhotoField);
            if (rs.EOF() || rs.BOF()) rs.MoveFirst();
        });
    }

    auto copyText = [this](const std::string& column, std::string& member) {
        if (column.empty()) return;
        m_impl->guarded([&] {
            const Variant value = m_impl->photoRows().Fields(column).Value();
            member = value.isNull() ? "" : value.toText();
        });
    };
    copyText(OwnerIDField, m_impl->photoCode);
    copyText(OwnerDescField, m_impl->photoDescription);
    copyText(OwnerGroupField, m_impl->photosGroup);
    copyText(OwnerCommentsField, m_impl->photoComments);
    if (!OwnerDefaultPhotoField.empty()) {
        m_impl->guarded([&] {
            const Variant flag = m_impl->photoRows().Fields(OwnerDefaultPhotoField).Value();
            m_impl->defaultPhoto = !flag.isNull() && flag.toBool();
        });
    }

    m_impl->readCurrentPhoto();
}

void CPicture::SearchForRecord(const std::string& sCode, const std::string& sDescription) {
    if (!m_rsPhotoDetails) return;
    bool bFound = false;
    const bool byCode = !sCode.empty() && !OwnerIDField.empty();
    const bool byDescription = !sDescription.empty() && !OwnerDescField.empty();
    try {
        Recordset& rs = *m_rsPhotoDetails;
        const bool searching = (byCode || byDescription) && (sCode.empty() || byCode) &&
                               (sDescription.empty() || byDescription);
        if (searching && rs.RecordCount() >= 1) {
            rs.MoveFirst();
            if (byCode && byDescription) {
                // Find takes one condition; both are checked row by row from the first.
                const Criterion description =
                    ParseCriterion(textCriterion(OwnerDescField, sDescription));
                const Criterion code = ParseCriterion(textCriterion(OwnerIDField, sCode));
                while (!rs.EOF() && !(rowMatches(rs, description) && rowMatches(rs, code)))
                    rs.MoveNext();
            } else if (byCode) {
                rs.Find(textCriterion(OwnerIDField, sCode));
            } else {
                rs.Find(textCriterion(OwnerDescField, sDescription));
            }
            if (!rs.EOF() && !rs.BOF()) {
                LoadData(false, false);
                bFound = true;
            }
        }
    } catch (const std::exception& e) {
        m_impl->raiseErrorDescrption(e.what());
        return;
    }
    m_impl->raise(&CPictureEvents::RecordExists, bFound);
}

}  // namespace kelvo
