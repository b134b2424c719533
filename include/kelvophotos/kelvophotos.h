/* KelvoPhotos for C and any language with a C foreign-function interface.
 *
 * Handles are opaque; texts are UTF-8 and NUL-terminated. Every function that can fail
 * returns a kp_status; on failure kp_last_error() gives the message (per thread, until the
 * next failing call). Nothing throws across this interface. Events reach one callback per
 * event, each with the user pointer given with it, synchronously inside the call that raises
 * them. Texts returned by the store stay valid until the store changes that value or is
 * destroyed. */
#ifndef KELVOPHOTOS_H
#define KELVOPHOTOS_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KP_API __attribute__((visibility("default")))

typedef enum kp_status {
    KP_OK = 0,
    KP_INVALID_ARGUMENT = 1, /* a NULL handle or text, an unknown setting */
    KP_FAILED = 2            /* the operation failed: see kp_last_error() */
} kp_status;

typedef struct kp_connection kp_connection;
typedef struct kp_store kp_store;

KP_API const char* kp_last_error(void);
KP_API const char* kp_version(void);

/* A SQLite file path (created when missing) or a postgresql:// URI. */
KP_API kp_status kp_connect(const char* target, kp_connection** out);
/* Runs a statement of the host's own (tables, seeding); no result rows. */
KP_API kp_status kp_execute(kp_connection* cnn, const char* sql);
KP_API void kp_disconnect(kp_connection* cnn); /* NULL is ignored */

KP_API kp_status kp_store_create(kp_store** out);
KP_API void kp_store_destroy(kp_store* store); /* NULL is ignored */

/* Texts: configuration fields and properties. */
typedef enum kp_text {
    KP_TABLE_NAME,
    KP_OWNER_ID_FIELD,
    KP_OWNER_DESC_FIELD,
    KP_OWNER_GROUP_FIELD,
    KP_OWNER_COMMENTS_FIELD,
    KP_OWNER_DEFAULT_PHOTO_FIELD,
    KP_OWNER_PHOTO_FIELD,
    KP_PHOTOS_FOLDER,
    KP_PHOTO_CODE,
    KP_PHOTO_DESCRIPTION,
    KP_PHOTOS_GROUP,
    KP_PHOTOS_OWNER_NAME,
    KP_PHOTO_COMMENTS
} kp_text;
/* Flags (0 or 1) and numbers. */
typedef enum kp_flag { KP_SAVE_AS_FILE, KP_DEFAULT_PHOTO, KP_RECORD_EOF, KP_RECORD_BOF } kp_flag;
typedef enum kp_number {
    KP_PHOTOS_MAX_SIZE,
    KP_BACK_COLOR,
    KP_MAX_CODE_LENGTH,
    KP_MAX_DESCRIPTION_LENGTH,
    KP_MAX_QUALIFIER_LENGTH,
    KP_MAX_COMMENTS_LENGTH
} kp_number;

KP_API kp_status kp_set_text(kp_store* store, kp_text which, const char* value);
KP_API kp_status kp_get_text(const kp_store* store, kp_text which, const char** out);
KP_API kp_status kp_set_flag(kp_store* store, kp_flag which, int value);
KP_API kp_status kp_get_flag(const kp_store* store, kp_flag which, int* out);
KP_API kp_status kp_set_number(kp_store* store, kp_number which, double value);
KP_API kp_status kp_get_number(const kp_store* store, kp_number which, double* out);

/* Events: one setter per event; NULL stops it. Arguments by pointer can be changed. */
typedef void (*kp_validated_fn)(void* user, int* valid, const char* message);
typedef void (*kp_position_fn)(void* user, int32_t* position, int32_t* total);
typedef void (*kp_bool_fn)(void* user, int* value);
typedef void (*kp_text_fn)(void* user, const char* text);
typedef void (*kp_progress_fn)(void* user, const char* message, int32_t* position, int32_t* total);

KP_API kp_status kp_on_data_validated(kp_store* store, kp_validated_fn fn, void* user);
KP_API kp_status kp_on_record_position(kp_store* store, kp_position_fn fn, void* user);
KP_API kp_status kp_on_is_first_record(kp_store* store, kp_bool_fn fn, void* user);
KP_API kp_status kp_on_is_last_record(kp_store* store, kp_bool_fn fn, void* user);
KP_API kp_status kp_on_code_exists(kp_store* store, kp_bool_fn fn, void* user);
KP_API kp_status kp_on_description_exists(kp_store* store, kp_bool_fn fn, void* user);
KP_API kp_status kp_on_record_exists(kp_store* store, kp_bool_fn fn, void* user);
KP_API kp_status kp_on_table_error(kp_store* store, kp_text_fn fn, void* user);
KP_API kp_status kp_on_error_description(kp_store* store, kp_text_fn fn, void* user);
KP_API kp_status kp_on_error_saving_photo(kp_store* store, kp_text_fn fn, void* user);
KP_API kp_status kp_on_conversion_progress(kp_store* store, kp_progress_fn fn, void* user);

/* The store's operations. Failures the store reports through its events (TableError,
 * ErrorDescrption, ...) still return KP_OK; KP_FAILED is for those it lets through. */
KP_API kp_status kp_init(kp_store* store, const char* code, const char* group,
                         const char* owner_name, kp_connection* cnn);
KP_API kp_status kp_load_data(kp_store* store, int default_photo);
KP_API kp_status kp_search(kp_store* store, const char* code, const char* description);
KP_API kp_status kp_first_record(kp_store* store);
KP_API kp_status kp_last_record(kp_store* store);
KP_API kp_status kp_next_record(kp_store* store);
KP_API kp_status kp_previous_record(kp_store* store);
/* CodeExists: code is compared as a number, or as a text when given in single quotes. */
KP_API kp_status kp_check_code_exists(kp_store* store, const char* code);
KP_API kp_status kp_check_description_exists(kp_store* store, const char* description);
KP_API kp_status kp_save(kp_store* store, int new_record);
KP_API kp_status kp_delete_record(kp_store* store);
KP_API kp_status kp_delete_photos(kp_store* store);
KP_API kp_status kp_unset_default_photo(kp_store* store, const char* code, const char* description);

/* The current photo (OwnerPhoto) from or to a picture file (BMP, PNG, JPEG, GIF, ICO...) or
 * its bytes; out as an uncompressed bitmap. Bytes from kp_photo_bytes go to kp_free. An
 * empty photo sets no photo; reading one fails. */
KP_API kp_status kp_set_photo_file(kp_store* store, const char* path);
KP_API kp_status kp_set_photo_bytes(kp_store* store, const void* data, size_t size);
KP_API kp_status kp_photo_file(kp_store* store, const char* bitmap_path);
KP_API kp_status kp_photo_bytes(kp_store* store, unsigned char** data, size_t* size);
KP_API void kp_free(void* data);
/* GetPhoto: the owner's default photo becomes the current one. *has_photo: 0 when none. */
KP_API kp_status kp_get_photo(kp_store* store, const char* group, const char* owner,
                              kp_connection* cnn, int* has_photo);
/* The current photo's size as an uncompressed bitmap in bytes and whether it is over
 * PhotosMaxSize (kilobytes). Any result may be NULL. text gets the size as the store shows
 * it ("12.34 KB"), valid until the next call on the store. */
KP_API kp_status kp_photo_size(kp_store* store, double* bytes, int* over_limit, const char** text);

/* Bulk operations; progress through kp_on_conversion_progress. *done: the store's result. */
KP_API kp_status kp_convert_all_to_files(kp_store* store, kp_connection* cnn, int* done);
KP_API kp_status kp_convert_all_to_blobs(kp_store* store, kp_connection* cnn, int* done);
KP_API kp_status kp_extract_to_files(kp_store* store, const char* table, const char* group,
                                     const char* folder);

/* The editor window, modal until the user closes it; a Qt application is started for it
 * when the host runs none. */
KP_API kp_status kp_edit_photo(kp_store* store, const char* group, const char* owner,
                               const char* owner_name, kp_connection* cnn);

#ifdef __cplusplus
}
#endif

#endif /* KELVOPHOTOS_H */
