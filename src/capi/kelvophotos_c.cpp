// The C interface over CPicture: handles own a connection or a store with its event
// callbacks; every entry point turns exceptions into a status and the last-error text.
#include "kelvophotos/kelvophotos.h"

#include <kelvophotos/CPicture.h>
#include <kelvophotos/editor.h>
#include <kelvophotos/files.h>
#include <kelvophotos/version.h>

#include "capi/bitmap_bytes.h"

#include <cstdlib>
#include <cstring>
#include <string>

struct kp_connection {
    std::shared_ptr<kelvo::Connection> connection;
};

namespace {

thread_local std::string lastError;

template <typename Fn>
struct Callback {
    Fn fn = nullptr;
    void* user = nullptr;
};

// Hands the store's events to the C callbacks.
class CallbackListener : public kelvo::CPictureEvents {
  public:
    Callback<kp_validated_fn> dataValidated;
    Callback<kp_position_fn> recordPosition;
    Callback<kp_bool_fn> isFirst, isLast, codeExists, descriptionExists, recordExists;
    Callback<kp_text_fn> tableError, errorDescription, errorSavingPhoto;
    Callback<kp_progress_fn> progress;

    void DataValidated(bool& bValid, std::string& sMsg) override {
        if (!dataValidated.fn) return;
        int valid = bValid;
        dataValidated.fn(dataValidated.user, &valid, sMsg.c_str());
        bValid = valid != 0;
    }
    void RecordPosition(std::int32_t& position, std::int32_t& total) override {
        if (recordPosition.fn) recordPosition.fn(recordPosition.user, &position, &total);
    }
    void IsFirstRecord(bool& b) override { flag(isFirst, b); }
    void IsLastRecord(bool& b) override { flag(isLast, b); }
    void CodeExists(bool& b) override { flag(codeExists, b); }
    void DescriptionExists(bool& b) override { flag(descriptionExists, b); }
    void RecordExists(bool& b) override { flag(recordExists, b); }
    void TableError(std::string& s) override { text(tableError, s); }
    void ErrorDescrption(std::string& s) override { text(errorDescription, s); }
    void ErrorSavingPhoto(std::string& s) override { text(errorSavingPhoto, s); }
    void ConversionProgress(std::string& msg, std::int32_t& pos, std::int32_t& total) override {
        if (progress.fn) progress.fn(progress.user, msg.c_str(), &pos, &total);
    }

  private:
    static void flag(const Callback<kp_bool_fn>& cb, bool& value) {
        if (!cb.fn) return;
        int v = value;
        cb.fn(cb.user, &v);
        value = v != 0;
    }
    static void text(const Callback<kp_text_fn>& cb, const std::string& value) {
        if (cb.fn) cb.fn(cb.user, value.c_str());
    }
};

}  // namespace

struct kp_store {
    kp_store() {
        kelvo::InstallQtPhotoEditorForAnyHost();
        store.AddListener(&listener);
    }
    kelvo::CPicture store;
    CallbackListener listener;
    std::string sizeText;
};

namespace {

kp_status fail(kp_status status, const std::string& message) {
    lastError = message;
    return status;
}

// Runs `body` unless a handle or text is missing; any exception becomes KP_FAILED.
template <typename Body>
kp_status guard(bool argumentsGiven, Body&& body) {
    if (!argumentsGiven) return fail(KP_INVALID_ARGUMENT, "a handle, text or result is missing");
    try {
        return body();
    } catch (const std::exception& e) {
        return fail(KP_FAILED, e.what());
    } catch (...) {
        return fail(KP_FAILED, "unknown error");
    }
}

std::shared_ptr<kelvo::Connection> connectionOf(kp_connection* cnn) {
    return cnn ? cnn->connection : nullptr;
}

std::string* textMember(kelvo::CPicture& s, kp_text which) {
    switch (which) {
        case KP_TABLE_NAME:
            return &s.TableName;
        case KP_OWNER_ID_FIELD:
            return &s.OwnerIDField;
        case KP_OWNER_DESC_FIELD:
            return &s.OwnerDescField;
        case KP_OWNER_GROUP_FIELD:
            return &s.OwnerGroupField;
        case KP_OWNER_COMMENTS_FIELD:
            return &s.OwnerCommentsField;
        case KP_OWNER_DEFAULT_PHOTO_FIELD:
            return &s.OwnerDefaultPhotoField;
        case KP_OWNER_PHOTO_FIELD:
            return &s.OwnerPhotoField;
        case KP_PHOTOS_FOLDER:
            return &s.PhotosFolder;
        default:
            return nullptr;
    }
}

kp_status requirePhoto(kelvo::CPicture& s) {
    if (s.OwnerPhoto()->IsEmpty()) return fail(KP_FAILED, "the store holds no photo");
    return KP_OK;
}

}  // namespace

extern "C" {

const char* kp_last_error(void) {
    return lastError.c_str();
}
const char* kp_version(void) {
    return KELVOPHOTOS_VERSION;
}

kp_status kp_connect(const char* target, kp_connection** out) {
    return guard(target && out, [&] {
        *out = new kp_connection{kelvo::Connection::Open(target)};
        return KP_OK;
    });
}

kp_status kp_execute(kp_connection* cnn, const char* sql) {
    return guard(cnn && sql, [&] {
        cnn->connection->Execute(sql);
        return KP_OK;
    });
}

void kp_disconnect(kp_connection* cnn) {
    delete cnn;
}

kp_status kp_store_create(kp_store** out) {
    return guard(out != nullptr, [&] {
        *out = new kp_store;
        return KP_OK;
    });
}

void kp_store_destroy(kp_store* store) {
    delete store;
}

kp_status kp_set_text(kp_store* h, kp_text which, const char* value) {
    return guard(h && value, [&] {
        kelvo::CPicture& s = h->store;
        if (std::string* member = textMember(s, which)) {
            *member = value;
            return KP_OK;
        }
        switch (which) {
            case KP_PHOTO_CODE:
                s.PhotoCode(value);
                break;
            case KP_PHOTO_DESCRIPTION:
                s.PhotoDescription(value);
                break;
            case KP_PHOTOS_GROUP:
                s.PhotosGroup(value);
                break;
            case KP_PHOTOS_OWNER_NAME:
                s.PhotosOwnerName(value);
                break;
            case KP_PHOTO_COMMENTS:
                s.PhotoComments(value);
                break;
            default:
                return fail(KP_INVALID_ARGUMENT, "unknown text setting");
        }
        return KP_OK;
    });
}

kp_status kp_get_text(const kp_store* h, kp_text which, const char** out) {
    return guard(h && out, [&] {
        auto& s = const_cast<kelvo::CPicture&>(h->store);
        const std::string* value = textMember(s, which);
        switch (which) {
            case KP_PHOTO_CODE:
                value = &s.PhotoCode();
                break;
            case KP_PHOTO_DESCRIPTION:
                value = &s.PhotoDescription();
                break;
            case KP_PHOTOS_GROUP:
                value = &s.PhotosGroup();
                break;
            case KP_PHOTOS_OWNER_NAME:
                value = &s.PhotosOwnerName();
                break;
            case KP_PHOTO_COMMENTS:
                value = &s.PhotoComments();
                break;
            default:
                break;
        }
        if (!value) return fail(KP_INVALID_ARGUMENT, "unknown text setting");
        *out = value->c_str();
        return KP_OK;
    });
}

kp_status kp_set_flag(kp_store* h, kp_flag which, int value) {
    return guard(h != nullptr, [&] {
        kelvo::CPicture& s = h->store;
        switch (which) {
            case KP_SAVE_AS_FILE:
                s.SaveAsFile = value != 0;
                break;
            case KP_DEFAULT_PHOTO:
                s.DefaultPhoto(value != 0);
                break;
            case KP_RECORD_EOF:
                s.RecordEOF(value != 0);
                break;
            case KP_RECORD_BOF:
                s.RecordBOF(value != 0);
                break;
            default:
                return fail(KP_INVALID_ARGUMENT, "unknown flag");
        }
        return KP_OK;
    });
}

kp_status kp_get_flag(const kp_store* h, kp_flag which, int* out) {
    return guard(h && out, [&] {
        const kelvo::CPicture& s = h->store;
        switch (which) {
            case KP_SAVE_AS_FILE:
                *out = s.SaveAsFile;
                break;
            case KP_DEFAULT_PHOTO:
                *out = s.DefaultPhoto();
                break;
            case KP_RECORD_EOF:
                *out = s.RecordEOF();
                break;
            case KP_RECORD_BOF:
                *out = s.RecordBOF();
                break;
            default:
                return fail(KP_INVALID_ARGUMENT, "unknown flag");
        }
        return KP_OK;
    });
}

kp_status kp_set_number(kp_store* h, kp_number which, double value) {
    return guard(h != nullptr, [&] {
        kelvo::CPicture& s = h->store;
        auto length = static_cast<std::int32_t>(value);
        switch (which) {
            case KP_PHOTOS_MAX_SIZE:
                s.PhotosMaxSize = value;
                break;
            case KP_BACK_COLOR:
                s.BackColor = value;
                break;
            case KP_MAX_CODE_LENGTH:
                s.MaxCodeLength(length);
                break;
            case KP_MAX_DESCRIPTION_LENGTH:
                s.MaxDescriptionLength(length);
                break;
            case KP_MAX_QUALIFIER_LENGTH:
                s.MaxQualifierLength(length);
                break;
            case KP_MAX_COMMENTS_LENGTH:
                s.MaxCommentsLength(length);
                break;
            default:
                return fail(KP_INVALID_ARGUMENT, "unknown number");
        }
        return KP_OK;
    });
}

kp_status kp_get_number(const kp_store* h, kp_number which, double* out) {
    return guard(h && out, [&] {
        const kelvo::CPicture& s = h->store;
        switch (which) {
            case KP_PHOTOS_MAX_SIZE:
                *out = s.PhotosMaxSize;
                break;
            case KP_BACK_COLOR:
                *out = s.BackColor;
                break;
            case KP_MAX_CODE_LENGTH:
                *out = s.MaxCodeLength();
                break;
            case KP_MAX_DESCRIPTION_LENGTH:
                *out = s.MaxDescriptionLength();
                break;
            case KP_MAX_QUALIFIER_LENGTH:
                *out = s.MaxQualifierLength();
                break;
            case KP_MAX_COMMENTS_LENGTH:
                *out = s.MaxCommentsLength();
                break;
            default:
                return fail(KP_INVALID_ARGUMENT, "unknown number");
        }
        return KP_OK;
    });
}

#define KP_EVENT_SETTER(function, member, type)            \
    kp_status function(kp_store* h, type fn, void* user) { \
        return guard(h != nullptr, [&] {                   \
            h->listener.member = {fn, user};               \
            return KP_OK;                                  \
        });                                                \
    }
KP_EVENT_SETTER(kp_on_data_validated, dataValidated, kp_validated_fn)
KP_EVENT_SETTER(kp_on_record_position, recordPosition, kp_position_fn)
KP_EVENT_SETTER(kp_on_is_first_record, isFirst, kp_bool_fn)
KP_EVENT_SETTER(kp_on_is_last_record, isLast, kp_bool_fn)
KP_EVENT_SETTER(kp_on_code_exists, codeExists, kp_bool_fn)
KP_EVENT_SETTER(kp_on_description_exists, descriptionExists, kp_bool_fn)
KP_EVENT_SETTER(kp_on_record_exists, recordExists, kp_bool_fn)
KP_EVENT_SETTER(kp_on_table_error, tableError, kp_text_fn)
KP_EVENT_SETTER(kp_on_error_description, errorDescription, kp_text_fn)
KP_EVENT_SETTER(kp_on_error_saving_photo, errorSavingPhoto, kp_text_fn)
KP_EVENT_SETTER(kp_on_conversion_progress, progress, kp_progress_fn)

// Store operations that take only the handle, or texts that must all be given.
#define KP_STORE_CALL(condition, call)   \
    return guard(h && (condition), [&] { \
        h->store.call;                   \
        return KP_OK;                    \
    })

kp_status kp_init(kp_store* h, const char* code, const char* group, const char* owner_name,
                  kp_connection* cnn) {
    KP_STORE_CALL(code && group,
                  Init(code, group, owner_name ? owner_name : "", nullptr, connectionOf(cnn)));
}
kp_status kp_load_data(kp_store* h, int default_photo) {
    KP_STORE_CALL(true, LoadData(default_photo != 0, false));
}
kp_status kp_search(kp_store* h, const char* code, const char* description) {
    KP_STORE_CALL(true, SearchForRecord(code ? code : "", description ? description : ""));
}
kp_status kp_first_record(kp_store* h) {
    KP_STORE_CALL(true, FirstRecord());
}
kp_status kp_last_record(kp_store* h) {
    KP_STORE_CALL(true, LastRecord());
}
kp_status kp_next_record(kp_store* h) {
    KP_STORE_CALL(true, NextRecord());
}
kp_status kp_previous_record(kp_store* h) {
    KP_STORE_CALL(true, PreviousRecord());
}
kp_status kp_check_code_exists(kp_store* h, const char* code) {
    KP_STORE_CALL(code, CheckIfCodeExists(code));
}
kp_status kp_check_description_exists(kp_store* h, const char* description) {
    KP_STORE_CALL(description, CheckIfDescriptionExists(description));
}
kp_status kp_save(kp_store* h, int new_record) {
    KP_STORE_CALL(true, SavePhotoDetails(new_record != 0, false));
}
kp_status kp_delete_record(kp_store* h) {
    KP_STORE_CALL(true, DeleteRecord());
}
kp_status kp_delete_photos(kp_store* h) {
    KP_STORE_CALL(true, DeletePhotos());
}
kp_status kp_unset_default_photo(kp_store* h, const char* code, const char* description) {
    KP_STORE_CALL(code && description, UnSetDefaultPhoto(code, description));
}
kp_status kp_extract_to_files(kp_store* h, const char* table, const char* group,
                              const char* folder) {
    KP_STORE_CALL(table && group && folder, ExtractToFiles(table, group, folder));
}

kp_status kp_set_photo_file(kp_store* h, const char* path) {
    KP_STORE_CALL(path, OwnerPhoto(kelvo::DefaultServices().pictures->LoadPicture(path)));
}

kp_status kp_set_photo_bytes(kp_store* h, const void* data, size_t size) {
    KP_STORE_CALL(data || size == 0,
                  OwnerPhoto(kelvo::DefaultServices().pictures->LoadPictureData(
                      kelvo::Bytes(static_cast<const std::uint8_t*>(data),
                                   static_cast<const std::uint8_t*>(data) + size),
                      "bytes")));
}

kp_status kp_photo_file(kp_store* h, const char* bitmap_path) {
    return guard(h && bitmap_path, [&] {
        if (requirePhoto(h->store) != KP_OK) return KP_FAILED;
        kelvo::DefaultServices().pictures->SavePicture(*h->store.OwnerPhoto(), bitmap_path);
        return KP_OK;
    });
}

kp_status kp_photo_bytes(kp_store* h, unsigned char** data, size_t* size) {
    return guard(h && data && size, [&] {
        if (requirePhoto(h->store) != KP_OK) return KP_FAILED;
        const std::string bytes = kelvo::BitmapBytes(*h->store.OwnerPhoto());
        *data = static_cast<unsigned char*>(std::malloc(bytes.empty() ? 1 : bytes.size()));
        if (!*data) return fail(KP_FAILED, "out of memory");
        std::memcpy(*data, bytes.data(), bytes.size());
        *size = bytes.size();
        return KP_OK;
    });
}

void kp_free(void* data) {
    std::free(data);
}

kp_status kp_get_photo(kp_store* h, const char* group, const char* owner, kp_connection* cnn,
                       int* has_photo) {
    return guard(h && group && owner, [&] {
        kelvo::PicturePtr photo = h->store.GetPhoto(group, owner, connectionOf(cnn));
        if (has_photo) *has_photo = !photo->IsEmpty();
        return KP_OK;
    });
}

kp_status kp_photo_size(kp_store* h, double* bytes, int* over_limit, const char** text) {
    return guard(h != nullptr, [&] {
        const kelvo::Picture& photo = *h->store.OwnerPhoto();
        double size = 0;
        bool over = false;
        h->sizeText = h->store.CheckPicDiskSize(photo, &size);
        h->store.VerifyPhotoSize(photo, &over);
        if (bytes) *bytes = size;
        if (over_limit) *over_limit = over;
        if (text) *text = h->sizeText.c_str();
        return KP_OK;
    });
}

kp_status kp_convert_all_to_files(kp_store* h, kp_connection* cnn, int* done) {
    return guard(h != nullptr, [&] {
        bool ok = h->store.ConvertAllToFiles(connectionOf(cnn));
        if (done) *done = ok;
        return KP_OK;
    });
}

kp_status kp_convert_all_to_blobs(kp_store* h, kp_connection* cnn, int* done) {
    return guard(h != nullptr, [&] {
        bool ok = h->store.ConvertAllToBlobs(connectionOf(cnn));
        if (done) *done = ok;
        return KP_OK;
    });
}

kp_status kp_edit_photo(kp_store* h, const char* group, const char* owner, const char* owner_name,
                        kp_connection* cnn) {
    return guard(h && group && owner, [&] {
        h->store.EditPhoto(group, owner, owner_name ? owner_name : "", connectionOf(cnn));
        return KP_OK;
    });
}

}  // extern "C"
