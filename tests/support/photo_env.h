// The photo store's test environment: an application folder, a fresh temporary folder that
// must end up empty, fault-injecting services, one log of the store's events, one reader of
// the photo table, and a photo table on each back end.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/CPicture.h"
#include "support/fault_services.h"
#include "support/scripted_interaction.h"
#include "support/test_db.h"

namespace kelvo::test {

using Lines = std::vector<std::string>;

struct ProgressStep {
    std::string msg;
    std::int32_t pos, total;
    bool operator==(const ProgressStep&) const = default;
};

// Every event but the conversion steps as one line ("RecordPosition 1/3",
// "ErrorDescrption: ..."), in order; the conversion steps apart.
class EventLog : public CPictureEvents {
  public:
    void DataValidated(bool& bValid, std::string& sMsg) override {
        add("DataValidated " + flag(bValid) + " '" + sMsg + "'");
    }
    void RecordPosition(std::int32_t& lRecordPosition, std::int32_t& lTotalRecords) override;
    void IsFirstRecord(bool& bIsFirstRecord) override {
        flagged("IsFirstRecord ", bIsFirstRecord, onFirst);
    }
    void IsLastRecord(bool& bIsLastRecord) override {
        flagged("IsLastRecord ", bIsLastRecord, onLast);
    }
    void CodeExists(bool& bExists) override { add("CodeExists " + flag(bExists)); }
    void DescriptionExists(bool& bExists) override { add("DescriptionExists " + flag(bExists)); }
    void RecordExists(bool& bExists) override { add("RecordExists " + flag(bExists)); }
    void TableError(std::string& sTableError) override { add("TableError: " + sTableError); }
    void ErrorDescrption(std::string& s) override { add("ErrorDescrption: " + s); }
    void ErrorSavingPhoto(std::string& s) override { add("ErrorSavingPhoto: " + s); }
    void ConversionProgress(std::string& msg, std::int32_t& Pos, std::int32_t& TotalRecs) override;

    // Lines starting with `prefix`.
    Lines matching(const std::string& prefix) const;
    int count(const std::string& prefix) const { return static_cast<int>(matching(prefix).size()); }
    // The TableError, ErrorDescrption and ErrorSavingPhoto lines.
    Lines errors() const;
    // Every line, each ended by a newline, for failure messages.
    std::string text() const;
    void clear();
    Lines take();  // the lines so far, clearing the log

    Lines lines;
    std::vector<ProgressStep> steps;
    std::function<void(std::int32_t&, std::int32_t&)> onPosition;
    std::function<void(bool&)> onFirst, onLast;
    std::function<void(const ProgressStep&)> onProgress;

  private:
    static std::string flag(bool b) { return b ? "1" : "0"; }
    void add(std::string line) { lines.push_back(std::move(line)); }
    void flagged(const char* event, bool& value, const std::function<void(bool&)>& handler) {
        add(event + flag(value));
        if (handler) handler(value);
    }
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

// An open recordset on the rows of `table` matching `where`, in `order` ("" for the table's).
std::shared_ptr<Recordset> OpenRows(const std::shared_ptr<Connection>& connection,
                                    const std::vector<Condition>& where = {},
                                    const std::string& order = "",
                                    const std::string& table = "PHOTOS");
// A row of the photo table as read back; Null texts read as "", a Null flag as false.
struct StoredRow {
    std::string code, description, group, comments;
    bool isDefault = false;
    Variant pic;
};
// The rows matching `where`, in `order` ("" for the table's own).
std::vector<StoredRow> ReadPhotoRows(const std::shared_ptr<Connection>& connection,
                                     const std::vector<Condition>& where = {},
                                     const std::string& order = "",
                                     const std::string& table = "PHOTOS");
// How many rows of `table` match `where`.
int CountRows(const std::shared_ptr<Connection>& connection, const std::string& table,
              const std::vector<Condition>& where);

// A stored photo of owner A1 with its picture decoded.
struct StoredPhoto : StoredRow {
    int width = 0, height = 0;  // 0 when the row has no readable photo
    std::uint32_t centre = 0;   // colour of the middle pixel
};

// The store's environment without a database.
class PhotoEnv {
  public:
    PhotoEnv();
    ~PhotoEnv();

    // Points TMPDIR at a fresh folder (checked empty by the tests) until destruction.
    void useFreshTmpdir();

    // A store on `services`, set up for the usual photo table and listened to by `events`.
    std::unique_ptr<CPicture> newStore(bool saveAsFile = false);
    // The bytes SavePicture writes for `picture`.
    Bytes bitmapOf(const Picture& picture);
    // Names of the files in `folder`, sorted; none for a missing folder.
    static Lines filesIn(const std::string& folder);
    // The photo folder the store resolves by default.
    std::string photosFolder() const { return app + "KelvPhotos/"; }

    std::string app;      // the application folder
    std::string scratch;  // the tests' own files
    std::string tmp;      // TMPDIR while the test runs
    FaultFileSystem files;
    std::unique_ptr<PictureService> qtPictures;
    CountingPictures pictures;
    ScriptedInteraction interaction;
    MemoryClipboard clipboard;
    Services services;
    EventLog events;

  private:
    std::optional<std::string> oldTmpdir_;
};

// One case on each back end, over a fresh, empty photo table.
class PhotoTest : public testing::TestWithParam<std::string>, public PhotoEnv {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A store on the owner `code` of `group`, its Init's events cleared.
    std::unique_ptr<CPicture> initStore(bool saveAsFile = false, const std::string& code = "A1",
                                        const std::string& group = "CUST");
    void addRow(const std::string& code, const std::string& description, const std::string& group,
                const Variant& isDefault = false, const Variant& photo = Variant(),
                const std::string& comments = "c");
    // Adds a row for owner A1 in group CUST holding a BMP of width x height.
    void seed(const std::string& description, bool isDefault, int width = 40, int height = 30,
              std::uint32_t rgb = 0x3366CC, const std::string& comments = "seeded");
    // A column of the first row of that code and description, read afresh; "<no row>" if none.
    Variant columnOf(const std::string& code, const std::string& description,
                     const std::string& column = "PIC");
    int rowCount(const std::string& code, const std::string& group);
    // The rows of owner A1, ordered by description.
    std::vector<StoredPhoto> stored();
    Lines storedDescriptions();
    // The last message box shown, or an empty one.
    ShownMessage lastMessage() const;

    std::unique_ptr<TestDatabase> db;
};

}  // namespace kelvo::test
