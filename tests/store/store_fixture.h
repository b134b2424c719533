// Shared set-up of the photo store's tests: a photo table on one back end, an application
// folder, a fresh temporary folder that must end up empty, fault-injecting services, and a
// log of the store's events.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/CPicture.h"
#include "support/fault_services.h"
#include "support/scripted_interaction.h"
#include "support/test_db.h"

namespace kelvo::test {

// Every event as one line ("RecordPosition 1/3", "ErrorDescrption: ..."), in order.
class EventLog : public CPictureEvents {
  public:
    void DataValidated(bool& bValid, std::string& sMsg) override;
    void RecordPosition(std::int32_t& lRecordPosition, std::int32_t& lTotalRecords) override;
    void IsFirstRecord(bool& bIsFirstRecord) override;
    void IsLastRecord(bool& bIsLastRecord) override;
    void CodeExists(bool& bExists) override { add("CodeExists " + flag(bExists)); }
    void DescriptionExists(bool& bExists) override { add("DescriptionExists " + flag(bExists)); }
    void RecordExists(bool& bExists) override { add("RecordExists " + flag(bExists)); }
    void TableError(std::string& sTableError) override { add("TableError: " + sTableError); }
    void ErrorDescrption(std::string& s) override { add("ErrorDescrption: " + s); }
    void ErrorSavingPhoto(std::string& s) override { add("ErrorSavingPhoto: " + s); }

    // Lines starting with `prefix`.
    std::vector<std::string> matching(const std::string& prefix) const;
    int count(const std::string& prefix) const { return static_cast<int>(matching(prefix).size()); }
    void clear() { lines.clear(); }

    std::vector<std::string> lines;
    std::function<void(std::int32_t&, std::int32_t&)> onPosition;
    std::function<void(bool&)> onFirst, onLast;

  private:
    static std::string flag(bool b) { return b ? "1" : "0"; }
    void add(std::string line) { lines.push_back(std::move(line)); }
};

// Pictures whose bitmap form is a known byte pattern as long as the picture is wide, for
// exact sizes and chunk boundaries. Loading checks the pattern.
class PatternPictures : public PictureService {
  public:
    PicturePtr LoadPicture(const std::string& path) override;
    PicturePtr LoadPictureData(const Bytes& bytes, const std::string& source) override;
    void SavePicture(const Picture& picture, const std::string& path) override;
    void WritePicture(const Picture& picture, OutputFile& file, const std::string& name) override;
    static Bytes PatternOf(std::size_t length);
};

// The store's environment without a database.
class StoreEnvironment {
  public:
    StoreEnvironment();
    ~StoreEnvironment();

    // Points TMPDIR at a fresh folder (checked empty by the tests) until destruction.
    void useFreshTmpdir();

    // A store on the fault-injecting services, set up for the usual photo table.
    std::unique_ptr<CPicture> newStore(bool saveAsFile = false);
    // The bytes SavePicture writes for `picture`.
    Bytes bitmapOf(const Picture& picture);
    // Names of the files in `folder`, sorted.
    static std::vector<std::string> filesIn(const std::string& folder);

    std::string app;      // the application folder
    std::string scratch;  // the tests' own files
    std::string tmp;      // TMPDIR while the test runs
    FaultFileSystem files;
    std::unique_ptr<PictureService> qtPictures;
    FaultPictures pictures;
    ScriptedInteraction interaction;
    MemoryClipboard clipboard;
    Services services;
    EventLog events;

  private:
    std::string oldTmpdir_;
    bool hadTmpdir_ = false;
};

class StoreTest : public testing::TestWithParam<std::string>, public StoreEnvironment {
  protected:
    void SetUp() override;
    void TearDown() override;

    void addRow(const std::string& code, const std::string& description, const std::string& group,
                const Variant& isDefault = false, const Variant& photo = Variant(),
                const std::string& comments = "c");
    // A column of the first row of that code and description, read afresh.
    Variant columnOf(const std::string& code, const std::string& description,
                     const std::string& column = "PIC");
    int rowCount(const std::string& code, const std::string& group);
    // The photo folder the store resolves by default.
    std::string photosFolder() const { return app + "KelvPhotos/"; }

    std::unique_ptr<TestDatabase> db;
};

}  // namespace kelvo::test
