// Set-up helpers of the conversion tests.
#include "convert_fixture.h"

#include <filesystem>

#include "support/test_images.h"

namespace kelvo::test {

void ConversionTest::SetUp() {
    db = std::make_unique<TestDatabase>(GetParam());
    db->CreatePhotoTable();
    folder = TempFolder();
    const std::string images = TempFolder();
    auto bytesOf = [&](const std::string& name, const std::string& format, int w, int h,
                       std::uint32_t rgb) {
        return LocalFileSystem().ReadAll(WriteImageFile(images, name, format, w, h, rgb));
    };
    rows = {{"A1", "Front", "CUST", bytesOf("a.bmp", "bmp", 100, 60, 0x112233)},
            {"A1", "Side", "CUST", bytesOf("b.png", "png", 30, 30, 0x445566)},
            {"B2", "Front", "CUST", bytesOf("c.bmp", "bmp", 200, 100, 0x778899)}};
}

std::unique_ptr<CPicture> ConversionTest::newStore(bool saveAsFile) {
    Services services = DefaultServices();
    services.files = &files;
    services.interaction = &interaction;
    auto store = std::make_unique<CPicture>(services);
    UsePhotoTable(*store);
    store->SaveAsFile = saveAsFile;
    store->PhotosFolder = folder;
    store->AddListener(&events);
    return store;
}

void ConversionTest::addRow(const PhotoRow& row, bool withPhoto) {
    Recordset rs;
    rs.ActiveConnection(db->connection());
    rs.Source(Selection{"PHOTOS", {}, ""});
    rs.Open();
    rs.AddNew();
    rs.Fields("CODE").Value(row.code);
    rs.Fields("DESCR").Value(row.description);
    rs.Fields("GRP").Value(row.group);
    rs.Fields("COMMENTS").Value("-");
    rs.Fields("DEF").Value(false);
    if (withPhoto) rs.Fields("PIC").Value(row.photo);
    rs.Update();
}

Variant ConversionTest::columnOf(const PhotoRow& row) {
    Recordset rs;
    rs.ActiveConnection(db->OpenAnother());
    rs.Source(Selection{"PHOTOS", {{"CODE", row.code}, {"DESCR", row.description}}, ""});
    rs.Open();
    if (rs.RecordCount() != 1)
        throw Error("expected one row of " + row.code + " " + row.description);
    return rs.Fields("PIC").Value();
}

std::string ConversionTest::fileOf(const PhotoRow& row) const {
    return folder + row.code + "_" + row.description + "_" + row.group + ".qzr";
}

bool ConversionTest::readableSomewhere(const PhotoRow& row) {
    Variant column = columnOf(row);
    if (!column.isNull() && column.bytes() == row.photo) return true;
    return LocalFileSystem().FileExists(fileOf(row)) &&
           LocalFileSystem().ReadAll(fileOf(row)) == row.photo;
}

int ConversionTest::photoFileCount() const {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file()) ++count;
    return count;
}

}  // namespace kelvo::test
