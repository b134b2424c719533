// A host application's own customer table gets photos: host-cpp [DATABASE]
// (a SQLite file, created when missing, or a postgresql:// URI).
#include <kelvophotos/CPicture.h>

#include <cstdio>
#include <string>

namespace {

// Reports what the store says; a real host would show it to its user.
class Events : public kelvo::CPictureEvents {
  public:
    int errors = 0;
    void TableError(std::string& text) override { report("table", text); }
    void ErrorDescrption(std::string& text) override { report("error", text); }
    void ErrorSavingPhoto(std::string& text) override { report("saving", text); }
    void RecordPosition(std::int32_t& position, std::int32_t& total) override {
        std::printf("  at photo %d of %d\n", position, total);
    }

  private:
    void report(const char* kind, const std::string& text) {
        ++errors;
        std::fprintf(stderr, "%s: %s\n", kind, text.c_str());
    }
};

// A 2x2 24-bit bitmap of one colour, so that the example needs no picture file.
kelvo::Bytes SmallBitmap(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    kelvo::Bytes bmp = {'B', 'M', 70,   0,    0, 0, 0,    0,    0, 0, 54, 0, 0, 0, 40, 0, 0,  0,
                        2,   0,   0,    0,    2, 0, 0,    0,    1, 0, 24, 0, 0, 0, 0,  0, 16, 0,
                        0,   0,   0x13, 0x0b, 0, 0, 0x13, 0x0b, 0, 0, 0,  0, 0, 0, 0,  0, 0,  0};
    for (int row = 0; row < 2; ++row)
        bmp.insert(bmp.end(), {blue, green, red, blue, green, red, 0, 0});
    return bmp;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string target = argc > 1 ? argv[1] : "host-cpp.sqlite";
    try {
        auto cnn = kelvo::Connection::Open(target);
        cnn->Execute("DROP TABLE IF EXISTS customer_photos");
        cnn->Execute(std::string("CREATE TABLE customer_photos (customer TEXT, caption TEXT, "
                                 "kind TEXT, notes TEXT, main BOOLEAN, picture ") +
                     (cnn->Engine() == "postgresql" ? "BYTEA)" : "BLOB)"));

        kelvo::CPicture store;
        Events events;
        store.AddListener(&events);
        store.TableName = "customer_photos";
        store.OwnerIDField = "customer";
        store.OwnerDescField = "caption";
        store.OwnerGroupField = "kind";
        store.OwnerCommentsField = "notes";
        store.OwnerDefaultPhotoField = "main";
        store.OwnerPhotoField = "picture";

        auto& pictures = *kelvo::DefaultServices().pictures;
        store.Init("C-1001", "customers", "Zoë Müller", nullptr, cnn);
        const struct {
            const char* caption;
            kelvo::Bytes bitmap;
        } photos[] = {{"front desk", SmallBitmap(200, 30, 30)},
                      {"badge", SmallBitmap(30, 30, 200)}};
        for (const auto& photo : photos) {
            store.PhotoCode("C-1001");
            store.PhotoDescription(photo.caption);
            store.DefaultPhoto(photo.caption == photos[0].caption);
            store.OwnerPhoto(pictures.LoadPictureData(photo.bitmap, photo.caption));
            store.SavePhotoDetails(true);
        }

        store.Init("C-1001", "customers", "Zoë Müller", nullptr, cnn);
        store.LoadData(true);
        std::printf("default photo of %s: '%s', %dx%d pixels\n", store.PhotosOwnerName().c_str(),
                    store.PhotoDescription().c_str(), store.OwnerPhoto()->PixelWidth(),
                    store.OwnerPhoto()->PixelHeight());
        store.LastRecord();
        std::printf("last photo: '%s'\n", store.PhotoDescription().c_str());
        return events.errors == 0 ? 0 : 1;
    } catch (const kelvo::Error& e) {
        std::fprintf(stderr, "host-cpp: %s\n", e.what());
        return 1;
    }
}
