// The photo store tests' set-up: folders, services, databases and the event log.
#include "store_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/pictures/qt_picture.h"
#include "support/test_images.h"

namespace kelvo::test {

void EventLog::DataValidated(bool& bValid, std::string& sMsg) {
    add("DataValidated " + flag(bValid) + " '" + sMsg + "'");
}

void EventLog::RecordPosition(std::int32_t& lRecordPosition, std::int32_t& lTotalRecords) {
    add("RecordPosition " + std::to_string(lRecordPosition) + "/" + std::to_string(lTotalRecords));
    if (onPosition) onPosition(lRecordPosition, lTotalRecords);
}

void EventLog::IsFirstRecord(bool& bIsFirstRecord) {
    add(std::string("IsFirstRecord ") + flag(bIsFirstRecord));
    if (onFirst) onFirst(bIsFirstRecord);
}

void EventLog::IsLastRecord(bool& bIsLastRecord) {
    add(std::string("IsLastRecord ") + flag(bIsLastRecord));
    if (onLast) onLast(bIsLastRecord);
}

std::vector<std::string> EventLog::matching(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const auto& line : lines)
        if (line.rfind(prefix, 0) == 0) found.push_back(line);
    return found;
}

Bytes PatternPictures::PatternOf(std::size_t length) {
    Bytes bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

PicturePtr PatternPictures::LoadPicture(const std::string& path) {
    return LoadPictureData(LocalFileSystem().ReadAll(path), "file " + path);
}

PicturePtr PatternPictures::LoadPictureData(const Bytes& bytes, const std::string& source) {
    if (bytes.empty() || bytes != PatternOf(bytes.size()))
        throw Error("cannot read picture " + source + ": not a pattern picture");
    return MakePicture(static_cast<int>(bytes.size()), 1);
}

void PatternPictures::SavePicture(const Picture& picture, const std::string& path) {
    if (picture.IsEmpty()) throw Error("cannot write picture file " + path + ": no picture");
    auto file = LocalFileSystem().OpenWrite(path);
    WritePicture(picture, *file, path);
    file->Close();
}

void PatternPictures::WritePicture(const Picture& picture, OutputFile& file,
                                   const std::string& name) {
    if (picture.IsEmpty()) throw Error("cannot write picture file " + name + ": no picture");
    const Bytes pattern = PatternOf(static_cast<std::size_t>(picture.PixelWidth()));
    file.Write(pattern.data(), pattern.size());
}

StoreEnvironment::StoreEnvironment()
    : app(TempFolder()),
      scratch(TempFolder()),
      qtPictures(MakeQtPictures(files)),
      pictures(*qtPictures),
      services{&files, &pictures, &interaction, &clipboard} {
    SetAppPath(app.substr(0, app.size() - 1));
}

void StoreEnvironment::useFreshTmpdir() {
    tmp = TempFolder();
    if (const char* old = std::getenv("TMPDIR")) {
        hadTmpdir_ = true;
        oldTmpdir_ = old;
    }
    ::setenv("TMPDIR", tmp.c_str(), 1);
}

StoreEnvironment::~StoreEnvironment() {
    if (tmp.empty()) return;
    if (hadTmpdir_)
        ::setenv("TMPDIR", oldTmpdir_.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}

std::unique_ptr<CPicture> StoreEnvironment::newStore(bool saveAsFile) {
    auto store = std::make_unique<CPicture>(services);
    UsePhotoTable(*store);
    store->SaveAsFile = saveAsFile;
    store->AddListener(&events);
    return store;
}

Bytes StoreEnvironment::bitmapOf(const Picture& picture) {
    const std::string path = scratch + "bitmap.bmp";
    QtPictures().SavePicture(picture, path);
    Bytes bytes = LocalFileSystem().ReadAll(path);
    LocalFileSystem().DeleteFile(path);
    return bytes;
}

std::vector<std::string> StoreEnvironment::filesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void StoreTest::SetUp() {
    db = std::make_unique<TestDatabase>(GetParam());
    db->CreatePhotoTable();
    db->connection();
    useFreshTmpdir();
}

void StoreTest::TearDown() {
    EXPECT_EQ(filesIn(tmp), std::vector<std::string>{}) << "temporary files left behind";
    for (const std::string& name : filesIn(photosFolder()))
        EXPECT_NE(name.rfind(".kelvo-", 0), 0u) << "temporary photo file left: " << name;
    db.reset();
}

void StoreTest::addRow(const std::string& code, const std::string& description,
                       const std::string& group, const Variant& isDefault, const Variant& photo,
                       const std::string& comments) {
    db->connection()->Execute(
        "INSERT INTO PHOTOS (CODE, DESCR, GRP, COMMENTS, DEF, PIC) VALUES (?, ?, ?, ?, ?, ?)",
        {code, description, group, comments, isDefault, photo});
}

Variant StoreTest::columnOf(const std::string& code, const std::string& description,
                            const std::string& column) {
    Recordset rs;
    rs.ActiveConnection(db->connection());
    rs.Source(Selection{"PHOTOS", {{"CODE", code}, {"DESCR", description}}, ""});
    rs.Open();
    if (rs.EOF()) return Variant("<no row>");
    return rs.Fields(column).Value();
}

int StoreTest::rowCount(const std::string& code, const std::string& group) {
    Recordset rs;
    rs.ActiveConnection(db->connection());
    rs.Source(Selection{"PHOTOS", {{"CODE", code}, {"GRP", group}}, ""});
    rs.Open();
    return rs.RecordCount();
}

}  // namespace kelvo::test
