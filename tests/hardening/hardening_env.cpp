// The hardening tests' shared set-up.
#include "hardening_env.h"

#include "platform/qt_picture.h"
#include "support/test_images.h"

namespace kelvo::test {

std::string ErrorEvents::all() const {
    std::string text;
    for (const auto& s : tableErrors) text += "TableError: " + s + "\n";
    for (const auto& s : descriptions) text += "ErrorDescrption: " + s + "\n";
    for (const auto& s : savingErrors) text += "ErrorSavingPhoto: " + s + "\n";
    return text;
}

HardeningEnvironment::HardeningEnvironment()
    : app(TempFolder()),
      pictures(MakeQtPictures(files)),
      services{&files, pictures.get(), &interaction, &clipboard} {
    SetAppPath(app.substr(0, app.size() - 1));
}

std::unique_ptr<CPicture> HardeningEnvironment::newStore(bool saveAsFile) {
    auto store = std::make_unique<CPicture>(services);
    UsePhotoTable(*store);
    store->SaveAsFile = saveAsFile;
    store->AddListener(&events);
    return store;
}

std::uint64_t Checksum(const Bytes& bytes) {
    std::uint64_t hash = 1469598103934665603ull;
    for (std::uint8_t b : bytes) hash = (hash ^ b) * 1099511628211ull;
    return hash;
}

std::uint64_t PictureChecksum(const Picture& picture) {
    if (picture.IsEmpty()) return 0;
    const QImage image = ImageOf(picture).convertToFormat(QImage::Format_RGB32);
    std::uint64_t hash = Checksum(Bytes{static_cast<std::uint8_t>(image.width() & 0xFF),
                                        static_cast<std::uint8_t>(image.height() & 0xFF)});
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = image.constScanLine(y);
        for (int x = 0; x < image.width() * 4; ++x)
            if (x % 4 != 3) hash = (hash ^ line[x]) * 1099511628211ull;
    }
    return hash;
}

std::vector<StoredRow> ReadPhotoRows(const std::shared_ptr<Connection>& connection,
                                     const std::string& table) {
    Recordset rs;
    rs.ActiveConnection(connection);
    rs.Source(Selection{table, {}, ""});
    rs.Open();
    std::vector<StoredRow> rows;
    auto text = [&](const char* column) {
        const Variant v = rs.Fields(column).Value();
        return v.isNull() ? std::string() : v.toText();
    };
    for (; !rs.EOF(); rs.MoveNext())
        rows.push_back({text("CODE"), text("DESCR"), text("GRP"), rs.Fields("PIC").Value()});
    return rows;
}

}  // namespace kelvo::test
