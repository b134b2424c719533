// The editor tests' set-up: seeding rows through plain statements and reading them back.
#include "editor_fixture.h"

#include <QImage>

#include "platform/files/files.h"
#include "support/test_images.h"

namespace kelvo::test {

void EditorFixture::SetUp() {
    db = std::make_unique<TestDatabase>(GetParam());
    db->CreatePhotoTable();
    services = DefaultServices();
    services.interaction = &interaction;
    services.clipboard = &clipboard;
    folder = TempFolder();
}

std::unique_ptr<CPicture> EditorFixture::NewStore() {
    auto store = std::make_unique<CPicture>(services);
    UsePhotoTable(*store);
    return store;
}

void EditorFixture::Seed(const std::string& description, bool isDefault, int width, int height,
                         std::uint32_t rgb, const std::string& comments) {
    std::string path = WriteImageFile(folder, "seed.bmp", "bmp", width, height, rgb);
    Bytes bytes = LocalFileSystem().ReadAll(path);
    db->connection()->Execute(
        "INSERT INTO PHOTOS (CODE, DESCR, GRP, COMMENTS, DEF, PIC) VALUES (?, ?, ?, ?, ?, ?)",
        {Variant("A1"), Variant(description), Variant("CUST"), Variant(comments),
         Variant(isDefault), Variant(bytes)});
}

std::vector<StoredPhoto> EditorFixture::Stored() {
    Recordset rs;
    rs.ActiveConnection(db->connection());
    rs.Source(Selection{"PHOTOS", {{"CODE", Variant("A1")}}, "DESCR"});
    rs.Open();
    std::vector<StoredPhoto> rows;
    for (; !rs.EOF(); rs.MoveNext()) {
        StoredPhoto row;
        Variant d = rs.Fields("DESCR").Value(), c = rs.Fields("COMMENTS").Value(),
                f = rs.Fields("DEF").Value();
        row.description = d.isNull() ? "" : d.toText();
        row.comments = c.isNull() ? "" : c.toText();
        row.isDefault = !f.isNull() && f.toBool();
        Field& pic = rs.Fields("PIC");
        if (std::int64_t size = pic.ActualSize(); size > 0) {
            Bytes bytes = pic.GetChunk(size);
            QImage image;
            if (image.loadFromData(bytes.data(), static_cast<int>(bytes.size()))) {
                row.width = image.width();
                row.height = image.height();
                row.centre = image.pixel(image.width() / 2, image.height() / 2) & 0xFFFFFF;
            }
        }
        rows.push_back(row);
    }
    rs.Close();
    return rows;
}

std::vector<std::string> EditorFixture::StoredDescriptions() {
    std::vector<std::string> names;
    for (const StoredPhoto& row : Stored()) names.push_back(row.description);
    return names;
}

ShownMessage EditorFixture::LastMessage() const {
    return interaction.shown.empty() ? ShownMessage{"", -1, ""} : interaction.shown.back();
}

}  // namespace kelvo::test
