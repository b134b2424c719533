// Whether an owner ID or a description is already used among the owner's rows, answered
// through CodeExists and DescriptionExists.
#include "platform/db/criteria.h"
#include "platform/text.h"
#include "store/CPicture.h"
#include "store/store_internal.h"

namespace kelvo {

void CPicture::Impl::reportMatches(const std::string& criteria,
                                   void (CPictureEvents::*event)(bool&)) {
    if (!self.m_rsPhotoDetails) return;
    bool bExists = true;
    const bool checked = guarded([&] {
        Recordset& rs = *self.m_rsPhotoDetails;
        rs.Filter(criteria);
        if (rs.RecordCount() == 0) bExists = false;
        rs.Filter("");
    });
    if (checked) raise(event, bExists);
}

void CPicture::CheckIfCodeExists(const std::string& vData) {
    // Unquoted: the owner ID is compared as a number.
    m_impl->reportMatches(UCase(OwnerIDField) + "=" + UCase(vData), &CPictureEvents::CodeExists);
}

void CPicture::CheckIfDescriptionExists(const std::string& vData) {
    m_impl->reportMatches(TextCriterion(UCase(OwnerDescField), UCase(vData)),
                          &CPictureEvents::DescriptionExists);
}

}  // namespace kelvo
