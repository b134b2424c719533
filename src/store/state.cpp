// The store's state: construction, properties, listeners, the validation behind two setters,
// the error-to-event helpers every unit uses, and Init.
#include "store/CPicture.h"
#include "store/store_internal.h"

namespace kelvo {

namespace {

// A service the host left out is the real one, so no operation meets a missing service.
Services completed(Services services) {
    const Services& real = DefaultServices();
    if (!services.files) services.files = real.files;
    if (!services.pictures) services.pictures = real.pictures;
    if (!services.interaction) services.interaction = real.interaction;
    if (!services.clipboard) services.clipboard = real.clipboard;
    return services;
}

}  // namespace

CPicture::CPicture(const Services& services)
    : m_services(completed(services)), m_impl(std::make_unique<Impl>()) {}

CPicture::~CPicture() = default;

PicturePtr CPicture::OwnerPhoto() {
    if (m_unreadPhotoRow) readUnreadPhoto();
    if (!m_picOwnerPhoto) m_picOwnerPhoto = EmptyPicture();
    return m_picOwnerPhoto;
}

void CPicture::OwnerPhoto(PicturePtr picture) {
    m_unreadPhotoRow.reset();
    m_picOwnerPhoto = std::move(picture);
}

void CPicture::PhotoCode(const std::string& value) {
    m_sPhotoCode = value;
    ValidateData();
}

void CPicture::PhotoDescription(const std::string& value) {
    m_sPhotoDescription = value;
    ValidateData();
}

void CPicture::AddListener(CPictureEvents* listener) {
    if (listener) m_listeners.push_back(listener);
}

void CPicture::RemoveListener(CPictureEvents* listener) {
    std::erase(m_listeners, listener);
}

void CPicture::ValidateData() {
    bool bValid = !m_sPhotoCode.empty() && !m_sPhotoDescription.empty() && !m_sPhotosGroup.empty();
    std::string sMsg;
    raise(&CPictureEvents::DataValidated, bValid, sMsg);
}

void CPicture::raiseErrorDescrption(const std::string& text) {
    std::string sErrDescrption = text;
    raise(&CPictureEvents::ErrorDescrption, sErrDescrption);
}

void CPicture::raiseErrorSavingPhoto(const std::string& text) {
    std::string sErrMsg = text;
    raise(&CPictureEvents::ErrorSavingPhoto, sErrMsg);
}

void CPicture::raiseConversionProgress(const std::string& text, std::int32_t pos) {
    std::string msg = text;
    std::int32_t total = photoRows().RecordCount();
    raise(&CPictureEvents::ConversionProgress, msg, pos, total);
}

bool CPicture::guarded(const std::function<void()>& step) {
    try {
        step();
        return true;
    } catch (const std::exception& e) {
        raiseErrorDescrption(e.what());
        return false;
    }
}

Recordset& CPicture::photoRows() {
    if (!m_rsPhotoDetails) throw Error("the photo store has no record set; call Init first");
    return *m_rsPhotoDetails;
}

std::int32_t CPicture::PhotoCount() {
    return photoRows().RecordCount();
}

void CPicture::RequeryPhotos() {
    photoRows().Requery(-1);
}

Connection& CPicture::connection() {
    if (!m_cnDBConnection) throw Error("the photo store has no database connection");
    return *m_cnDBConnection;
}

void CPicture::requireConfiguredColumns(Recordset& rs) const {
    for (const std::string* column :
         {&OwnerIDField, &OwnerDescField, &OwnerGroupField, &OwnerCommentsField,
          &OwnerDefaultPhotoField, &OwnerPhotoField})
        if (!column->empty()) rs.Fields(*column);
}

Connection& CPicture::statementConnection() {
    if (!m_cnDBConnection && m_rsPhotoDetails && m_rsPhotoDetails->ActiveConnection())
        return *m_rsPhotoDetails->ActiveConnection();
    return connection();
}

void CPicture::Init(const std::string& strCode, const std::string& strQualifier,
                    const std::string& strQulifierName, std::shared_ptr<Recordset> rsSource,
                    std::shared_ptr<Connection> cnn) {
    if (!strCode.empty()) m_sPhotoCode = strCode;
    if (!strQualifier.empty()) m_sPhotosGroup = strQualifier;
    if (!strQulifierName.empty()) m_sPhotosOwnerName = strQulifierName;
    m_picOwnerPhoto.reset();
    m_unreadPhotoRow.reset();
    try {
        if (rsSource) {
            m_rsPhotoDetails = std::move(rsSource);
        } else {
            m_cnDBConnection = cnn;
            m_rsPhotoDetails = std::make_shared<Recordset>();
            m_rsPhotoDetails->Open(
                Selection{TableName,
                          {{OwnerIDField, strCode}, {OwnerGroupField, strQualifier}},
                          OwnerIDField},
                m_cnDBConnection);
        }
        m_impl->initialMaxSize = PhotosMaxSize;
        Recordset& rs = *m_rsPhotoDetails;
        // A mistyped column is found now, not by a save that would leave it out.
        if (rs.IsOpen()) requireConfiguredColumns(rs);
        if (rs.RecordCount() > 0) {
            rs.MoveLast();
            m_lTotalRecords = rs.RecordCount();
        }
    } catch (const std::exception& e) {
        std::string sTableError = e.what();
        raise(&CPictureEvents::TableError, sTableError);
    }
}

}  // namespace kelvo
