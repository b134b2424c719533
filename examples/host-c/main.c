/* A host application's own product table gets photos through the C interface:
 *   host-c [DATABASE] [PICTURE]
 * DATABASE: a SQLite file (created when missing) or a postgresql:// URI. PICTURE: a picture
 * file to attach (BMP, PNG, JPEG, GIF, ICO...); without one a small bitmap is made here. */
#include <kelvophotos/kelvophotos.h>
#include <stdio.h>
#include <string.h>

static int errors = 0;

static void on_error(void* user, const char* text) {
    ++errors;
    fprintf(stderr, "%s: %s\n", (const char*)user, text);
}

static void on_position(void* user, int32_t* position, int32_t* total) {
    (void)user;
    printf("  at photo %d of %d\n", (int)*position, (int)*total);
}

/* Stops at the first failing call with its message. */
#define CHECK(call)                                                      \
    do {                                                                 \
        if ((call) != KP_OK) {                                           \
            fprintf(stderr, "host-c: %s: %s\n", #call, kp_last_error()); \
            return 1;                                                    \
        }                                                                \
    } while (0)

/* A 2x2 24-bit bitmap of one colour. */
static void small_bitmap(unsigned char bmp[70], unsigned char r, unsigned char g, unsigned char b) {
    static const unsigned char header[54] = {'B', 'M', 70, 0, 0,  0, 0, 0, 0, 0, 54, 0,
                                             0,   0,   40, 0, 0,  0, 2, 0, 0, 0, 2,  0,
                                             0,   0,   1,  0, 24, 0, 0, 0, 0, 0, 16};
    memcpy(bmp, header, sizeof header);
    for (int row = 0; row < 2; ++row) {
        unsigned char* p = bmp + 54 + row * 8;
        p[0] = p[3] = b, p[1] = p[4] = g, p[2] = p[5] = r, p[6] = p[7] = 0;
    }
}

int main(int argc, char** argv) {
    const char* target = argc > 1 ? argv[1] : "host-c.sqlite";
    kp_connection* cnn = NULL;
    kp_store* store = NULL;
    CHECK(kp_connect(target, &cnn));
    CHECK(kp_execute(cnn, "DROP TABLE IF EXISTS product_photos"));
    CHECK(kp_execute(cnn, strncmp(target, "postgres", 8) == 0
                              ? "CREATE TABLE product_photos (sku TEXT, title TEXT, line TEXT, "
                                "notes TEXT, main BOOLEAN, picture BYTEA)"
                              : "CREATE TABLE product_photos (sku TEXT, title TEXT, line TEXT, "
                                "notes TEXT, main BOOLEAN, picture BLOB)"));

    CHECK(kp_store_create(&store));
    CHECK(kp_set_text(store, KP_TABLE_NAME, "product_photos"));
    CHECK(kp_set_text(store, KP_OWNER_ID_FIELD, "sku"));
    CHECK(kp_set_text(store, KP_OWNER_DESC_FIELD, "title"));
    CHECK(kp_set_text(store, KP_OWNER_GROUP_FIELD, "line"));
    CHECK(kp_set_text(store, KP_OWNER_COMMENTS_FIELD, "notes"));
    CHECK(kp_set_text(store, KP_OWNER_DEFAULT_PHOTO_FIELD, "main"));
    CHECK(kp_set_text(store, KP_OWNER_PHOTO_FIELD, "picture"));
    CHECK(kp_on_table_error(store, on_error, "table"));
    CHECK(kp_on_error_description(store, on_error, "error"));
    CHECK(kp_on_error_saving_photo(store, on_error, "saving"));
    CHECK(kp_on_record_position(store, on_position, NULL));

    CHECK(kp_init(store, "SKU-42", "kitchen", "Kaffeemühle", cnn));
    CHECK(kp_set_text(store, KP_PHOTO_CODE, "SKU-42"));
    CHECK(kp_set_text(store, KP_PHOTO_DESCRIPTION, "front"));
    CHECK(kp_set_flag(store, KP_DEFAULT_PHOTO, 1));
    if (argc > 2) {
        CHECK(kp_set_photo_file(store, argv[2]));
    } else {
        unsigned char bmp[70];
        small_bitmap(bmp, 20, 160, 60);
        CHECK(kp_set_photo_bytes(store, bmp, sizeof bmp));
    }
    CHECK(kp_save(store, 1));

    int has_photo = 0;
    CHECK(kp_get_photo(store, "kitchen", "SKU-42", cnn, &has_photo));
    const char* title = NULL;
    const char* size = NULL;
    CHECK(kp_get_text(store, KP_PHOTO_DESCRIPTION, &title));
    CHECK(kp_photo_size(store, NULL, NULL, &size));
    CHECK(kp_photo_file(store, "host-c-photo.bmp"));
    printf("default photo of SKU-42: '%s', %s as a bitmap, written to host-c-photo.bmp\n",
           has_photo ? title : "(none)", size);

    kp_store_destroy(store);
    kp_disconnect(cnn);
    return errors == 0 && has_photo ? 0 : 1;
}
