// The whole-table record set that the two conversions walk.
#include "store/CPicture.h"
#include "store/store_internal.h"

namespace kelvo {

void CPicture::Impl::openWholeTable(const std::shared_ptr<Connection>& cnn) {
    self.m_rsPhotoDetails = std::make_shared<Recordset>();
    if (!dbConnection) dbConnection = cnn;
    self.m_rsPhotoDetails->Open(Selection{self.TableName, {}, ""}, dbConnection);
}

}  // namespace kelvo
