// The whole-table record set that the two conversions walk.
#include "store/CPicture.h"

namespace kelvo {

void CPicture::openWholeTable(const std::shared_ptr<Connection>& cnn) {
    m_rsPhotoDetails = std::make_shared<Recordset>();
    if (!m_cnDBConnection) m_cnDBConnection = cnn;
    m_rsPhotoDetails->Open(Selection{TableName, {}, ""}, m_cnDBConnection);
}

}  // namespace kelvo
