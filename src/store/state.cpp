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
    : m_impl(std::make_unique<Impl>(*this, completed(services))) {}

CPicture::~CPicture() = default;

const Services& CPicture::services() const {
    return m_impl->services;
}

const std::string& CPicture::PhotoCode() const {
    return m_impl->photoCode;
}
const std::string& CPicture::PhotoDescription() const {
    return m_impl->photoDescription;
}
const std::string& CPicture::PhotosGroup() const {
    return m_impl->photosGroup;
}
void CPicture::PhotosGroup(const std::string& value) {
    m_impl->photosGroup = value;
}
const std::string& CPicture::PhotosOwnerName() const {
    return m_impl->ownerName;
}
void CPicture::PhotosOwnerName(const std::string& value) {
    m_impl->ownerName = value;
}
const std::string& CPicture::PhotoComments() const {
    return m_impl->photoComments;
}
void CPicture::PhotoComments(const std::string& value) {
    m_impl->photoComments = value;
}
bool CPicture::DefaultPhoto() const {
    return m_impl->defaultPhoto;
}
void CPicture::DefaultPhoto(bool value) {
    m_impl->defaultPhoto = value;
}

std::int32_t CPicture::MaxCodeLength() const {
    return m_impl->maxCodeLength;
}
void CPicture::MaxCodeLength(std::int32_t v) {
    m_impl->maxCodeLength = v;
}
std::int32_t CPicture::MaxDescriptionLength() const {
    return m_impl->maxDescriptionLength;
}
void CPicture::MaxDescriptionLength(std::int32_t v) {
    m_impl->maxDescriptionLength = v;
}
std::int32_t CPicture::MaxQualifierLength() const {
    return m_impl->maxQualifierLength;
}
void CPicture::MaxQualifierLength(std::int32_t v) {
    m_impl->maxQualifierLength = v;
}
std::int32_t CPicture::MaxCommentsLength() const {
    return m_impl->maxCommentsLength;
}
void CPicture::MaxCommentsLength(std::int32_t v) {
    m_impl->maxCommentsLength = v;
}

bool CPicture::RecordEOF() const {
    return m_impl->recordEOF;
}
void CPicture::RecordEOF(bool v) {
    m_impl->recordEOF = v;
}
bool CPicture::RecordBOF() const {
    return m_impl->recordBOF;
}
void CPicture::RecordBOF(bool v) {
    m_impl->recordBOF = v;
}

const std::shared_ptr<Connection>& CPicture::DBConnection() const {
    return m_impl->dbConnection;
}

CPicture::PhotosOnDemand::PhotosOnDemand(CPicture& store) : store_(store) {
    ++store_.m_impl->photosOnDemand;
}
CPicture::PhotosOnDemand::~PhotosOnDemand() {
    --store_.m_impl->photosOnDemand;
}

PicturePtr CPicture::OwnerPhoto() {
    if (m_impl->unreadPhotoRow) m_impl->readUnreadPhoto();
    if (!m_impl->ownerPhoto) m_impl->ownerPhoto = EmptyPicture();
    return m_impl->ownerPhoto;
}

void CPicture::OwnerPhoto(PicturePtr picture) {
    m_impl->unreadPhotoRow.reset();
    m_impl->ownerPhoto = std::move(picture);
}

void CPicture::PhotoCode(const std::string& value) {
    m_impl->photoCode = value;
    m_impl->ValidateData();
}

void CPicture::PhotoDescription(const std::string& value) {
    m_impl->photoDescription = value;
    m_impl->ValidateData();
}

void CPicture::AddListener(CPictureEvents* listener) {
    if (listener) m_impl->listeners.push_back(listener);
}

void CPicture::RemoveListener(CPictureEvents* listener) {
    std::erase(m_impl->listeners, listener);
}

void CPicture::Impl::ValidateData() {
    bool bValid = !photoCode.empty() && !photoDescription.empty() && !photosGroup.empty();
    std::string sMsg;
    raise(&CPictureEvents::DataValidated, bValid, sMsg);
}

void CPicture::Impl::raiseErrorDescrption(const std::string& text) {
    std::string sErrDescrption = text;
    raise(&CPictureEvents::ErrorDescrption, sErrDescrption);
}

void CPicture::Impl::raiseErrorSavingPhoto(const std::string& text) {
    std::string sErrMsg = text;
    raise(&CPictureEvents::ErrorSavingPhoto, sErrMsg);
}

void CPicture::Impl::raiseConversionProgress(const std::string& text, std::int32_t pos) {
    std::string msg = text;
    std::int32_t total = photoRows().RecordCount();
    raise(&CPictureEvents::ConversionProgress, msg, pos, total);
}

bool CPicture::Impl::guarded(const std::function<void()>& step) {
    try {
        step();
        return true;
    } catch (const std::exception& e) {
        raiseErrorDescrption(e.what());
        return false;
    }
}

Recordset& CPicture::Impl::photoRows() {
    if (!self.m_rsPhotoDetails) throw Error("the photo store has no record set; call Init first");
    return *self.m_rsPhotoDetails;
}

std::int32_t CPicture::PhotoCount() {
    return m_impl->photoRows().RecordCount();
}

void CPicture::RequeryPhotos() {
    m_impl->photoRows().Requery(-1);
}

Connection& CPicture::Impl::connection() {
    if (!dbConnection) throw Error("the photo store has no database connection");
    return *dbConnection;
}

void CPicture::Impl::requireConfiguredColumns(Recordset& rs) const {
    for (const std::string* column :
         {&self.OwnerIDField, &self.OwnerDescField, &self.OwnerGroupField, &self.OwnerCommentsField,
          &self.OwnerDefaultPhotoField, &self.OwnerPhotoField})
        if (!column->empty()) rs.Fields(*column);
}

Connection& CPicture::Impl::statementConnection() {
    if (!dbConnection && self.m_rsPhotoDetails && self.m_rsPhotoDetails->ActiveConnection())
        return *self.m_rsPhotoDetails->ActiveConnection();
    return connection();
}

void CPicture::Init(const std::string& strCode, const std::string& strQualifier,
                    const std::string& strQulifierName, std::shared_ptr<Recordset> rsSource,
                    std::shared_ptr<Connection> cnn) {
    if (!strCode.empty()) m_impl->photoCode = strCode;
    if (!strQualifier.empty()) m_impl->photosGroup = strQualifier;
    if (!strQulifierName.empty()) m_impl->ownerName = strQulifierName;
    m_impl->ownerPhoto.reset();
    m_impl->unreadPhotoRow.reset();
    try {
        if (rsSource) {
            m_rsPhotoDetails = std::move(rsSource);
        } else {
            m_impl->dbConnection = cnn;
            m_rsPhotoDetails = std::make_shared<Recordset>();
            m_rsPhotoDetails->Open(
                Selection{TableName,
                          {{OwnerIDField, strCode}, {OwnerGroupField, strQualifier}},
                          OwnerIDField},
                m_impl->dbConnection);
        }
        m_impl->initialMaxSize = PhotosMaxSize;
        Recordset& rs = *m_rsPhotoDetails;
        // A mistyped column is found now, not by a save that would leave it out.
        if (rs.IsOpen()) m_impl->requireConfiguredColumns(rs);
        if (rs.RecordCount() > 0) {
            rs.MoveLast();
            m_impl->totalRecords = rs.RecordCount();
        }
    } catch (const std::exception& e) {
        std::string sTableError = e.what();
        m_impl->raise(&CPictureEvents::TableError, sTableError);
    }
}

}  // namespace kelvo
