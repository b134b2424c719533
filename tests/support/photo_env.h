// The photo store's test environment: its folders, services that fail on cue, a scripted
// person at the screen, one log of the store's events and a photo table on each back end.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/files/files.h"
#include "platform/ui/interaction.h"
#include "store/CPicture.h"
#include "support/test_db.h"
#include "support/test_images.h"

namespace kelvo::test {

struct ShownMessage {
    std::string prompt;
    int style;
    std::string title;
};

// Message boxes answered from a queue and recorded, a yield that counts.
class ScriptedInteraction : public Interaction {
  public:
    int MsgBox(const std::string& prompt, int style, const std::string& title) override {
        shown.push_back({prompt, style, title});
        if (answers.empty()) return (style & 7) == vbYesNoCancel ? vbCancel : vbOK;
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void DoEvents() override { ++yields; }

    std::deque<int> answers;  // next answers, in order; Cancel/OK when empty
    std::vector<ShownMessage> shown;
    int yields = 0;
};

class MemoryClipboard : public Clipboard {
  public:
    PicturePtr GetData() override { return held ? held : EmptyPicture(); }
    void Clear() override { held.reset(); }
    void SetData(const Picture& picture) override { held = std::make_shared<Picture>(picture); }
    PicturePtr held;
};

class FaultFileSystem : public FileSystem {
  public:
    explicit FaultFileSystem(FileSystem& real = LocalFileSystem()) : real_(real) {}

    // Creating, writing, closing, renaming onto and creating folders under `folder` throw;
    // files already open there fail from then on too. "/" refuses every write.
    void FailWritesUnder(const std::string& folder) { faults_.failFolder = folder; }
    // The `n`th file opened for writing from now on (1 = the next) fails on its first write.
    void FailNthWrite(int n) { faults_.writesUntilFailure = n; }
    // The `n`th temporary file opened from now on silently drops the last byte of each
    // write: no error anywhere, the file just ends up short.
    void ShortenNthWrite(int n) { faults_.writesUntilShort = n; }
    // Scratch files opened from now on read back as `length` bytes: what was written, then
    // zeros, like a huge file that takes no room.
    void PadScratchFilesTo(std::int64_t length) { faults_.scratchLength = length; }
    // DeleteFile throws for paths under `folder` ("/" for every path).
    void FailDeletesUnder(const std::string& folder) { faults_.failDeleteFolder = folder; }
    // FolderExists answers "no" for a missing folder and makes it, as another process would
    // between a check and a create.
    void MakeFoldersBehindTheCheck() { faults_.raceFolders = true; }
    void Heal() { faults_ = {}; }

    bool FileExists(const std::string& path) override { return real_.FileExists(path); }
    bool FolderExists(const std::string& path) override;
    std::string Dir(const std::string& pattern, DirKind kind) override {
        return real_.Dir(pattern, kind);
    }
    void DeleteFile(const std::string& path) override {
        if (under(path, faults_.failDeleteFolder))
            throw Error("cannot delete " + path + ": Permission denied");
        real_.DeleteFile(path);
    }
    void CreateFolder(const std::string& path) override {
        refuseUnder(path);
        real_.CreateFolder(path);
    }
    std::int64_t FileLength(const std::string& path) override { return real_.FileLength(path); }
    void Rename(const std::string& from, const std::string& to) override {
        refuseUnder(to);
        real_.Rename(from, to);
    }
    std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
        return real_.OpenRead(path);
    }
    std::unique_ptr<InputFile> OpenRegularFile(const std::string& path) override {
        return real_.OpenRegularFile(path);
    }
    std::unique_ptr<OutputFile> OpenWrite(const std::string& path) override;
    std::string TempFolder() override { return real_.TempFolder(); }
    std::string CreateTempFile(const std::string& folder, const std::string& prefix) override;
    std::unique_ptr<TempFile> OpenTempFile(const std::string& folder,
                                           const std::string& prefix) override;
    std::unique_ptr<TempFile> OpenScratchFile() override;

  private:
    bool under(const std::string& path, const std::string& folder) const {
        return !folder.empty() && path.compare(0, folder.size(), folder) == 0;
    }
    void refuseUnder(const std::string& path) const {
        if (under(path, faults_.failFolder))
            throw Error("cannot write " + path + ": Permission denied");
    }
    // Whether a file opened now for writing at `path` fails: as the Nth write, or under a
    // folder that refuses writes.
    std::function<bool()> failingOn(const std::string& path);
    std::unique_ptr<TempFile> failing(std::unique_ptr<TempFile> real, const std::string& path,
                                      std::int64_t paddedLength = 0);

    FileSystem& real_;
    struct {
        std::string failFolder, failDeleteFolder;
        int writesUntilFailure = 0, writesUntilShort = 0;
        std::int64_t scratchLength = 0;
        bool raceFolders = false;
    } faults_;
};

// Pictures through a real service, counting the decodes.
class CountingPictures : public PictureService {
  public:
    explicit CountingPictures(PictureService& real) : real_(real) {}

    int loads = 0;

    PicturePtr LoadPicture(const std::string& path) override {
        ++loads;
        return real_.LoadPicture(path);
    }
    PicturePtr LoadPictureData(const Bytes& bytes, const std::string& source) override {
        ++loads;
        return real_.LoadPictureData(bytes, source);
    }
    void SavePicture(const Picture& picture, const std::string& path) override {
        real_.SavePicture(picture, path);
    }
    void WritePicture(const Picture& picture, OutputFile& file, const std::string& name) override {
        real_.WritePicture(picture, file, name);
    }
    bool ReadsBackAsItself(const Picture& picture) override {
        return real_.ReadsBackAsItself(picture);
    }
    std::int64_t SavedLength(const Picture& picture) override { return real_.SavedLength(picture); }

  private:
    PictureService& real_;
};

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
    void RecordPosition(std::int32_t& lRecordPosition, std::int32_t& lTotalRecords) override {
        add("RecordPosition " + std::to_string(lRecordPosition) + "/" +
            std::to_string(lTotalRecords));
        if (onPosition) onPosition(lRecordPosition, lTotalRecords);
    }
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
    void ConversionProgress(std::string& msg, std::int32_t& Pos, std::int32_t& TotalRecs) override {
        steps.push_back({msg, Pos, TotalRecs});
        if (onProgress) onProgress(steps.back());
    }

    Lines matching(const std::string& prefix) const;
    int count(const std::string& prefix) const { return static_cast<int>(matching(prefix).size()); }
    // The TableError, ErrorDescrption and ErrorSavingPhoto lines.
    Lines errors() const;
    // Every line, each ended by a newline, for failure messages.
    std::string text() const;
    void clear() {
        lines.clear();
        steps.clear();
    }
    Lines take() { return std::exchange(lines, {}); }  // the lines so far, clearing the log

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
// Null texts read as "", a Null flag as false.
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
inline int CountRows(const std::shared_ptr<Connection>& connection, const std::string& table,
                     const std::vector<Condition>& where) {
    return OpenRows(connection, where, "", table)->RecordCount();
}

// A stored photo of owner A1 with its picture decoded.
struct StoredPhoto : StoredRow {
    int width = 0, height = 0;  // 0 when the row has no readable photo
    std::uint32_t centre = 0;   // colour of the middle pixel
};

// The store's environment without a database.
class PhotoEnv {
  public:
    PhotoEnv();

    // Points TMPDIR at a fresh folder (checked empty by the tests) until destruction.
    void useFreshTmpdir() { tmpdir_.emplace("TMPDIR", (tmp = TempFolder()).c_str()); }

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
    std::optional<ScopedEnv> tmpdir_;
};

// One case on each back end, over a fresh, empty photo table.
class PhotoTest : public testing::TestWithParam<std::string>, public PhotoEnv {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A store on the owner `code` of `group`, its Init's events cleared.
    std::unique_ptr<CPicture> initStore(bool saveAsFile = false, const std::string& code = "A1",
                                        const std::string& group = "CUST") {
        auto store = newStore(saveAsFile);
        store->Init(code, group, "", nullptr, db->connection());
        events.clear();
        return store;
    }
    void addRow(const std::string& code, const std::string& description, const std::string& group,
                const Variant& isDefault = false, const Variant& photo = Variant(),
                const std::string& comments = "c") {
        db->connection()->Execute(
            "INSERT INTO PHOTOS (CODE, DESCR, GRP, COMMENTS, DEF, PIC) VALUES (?, ?, ?, ?, ?, ?)",
            {code, description, group, comments, isDefault, photo});
    }
    // Adds a row for owner A1 in group CUST holding a BMP of width x height.
    void seed(const std::string& description, bool isDefault, int width = 40, int height = 30,
              std::uint32_t rgb = 0x3366CC, const std::string& comments = "seeded") {
        const std::string path = WriteImageFile(scratch, "seed.bmp", "bmp", width, height, rgb);
        addRow("A1", description, "CUST", isDefault, LocalFileSystem().ReadAll(path), comments);
    }
    // A column of the first row of that code and description, read afresh; "<no row>" if none.
    Variant columnOf(const std::string& code, const std::string& description,
                     const std::string& column = "PIC") {
        auto rs = OpenRows(db->connection(), {{"CODE", code}, {"DESCR", description}});
        return rs->EOF() ? Variant("<no row>") : rs->Fields(column).Value();
    }
    int rowCount(const std::string& code, const std::string& group) {
        return CountRows(db->connection(), "PHOTOS", {{"CODE", code}, {"GRP", group}});
    }
    // The rows of owner A1, ordered by description.
    std::vector<StoredPhoto> stored();
    Lines storedDescriptions() {
        Lines names;
        for (const StoredPhoto& row : stored()) names.push_back(row.description);
        return names;
    }
    // The last message box shown, or an empty one.
    ShownMessage lastMessage() const {
        return interaction.shown.empty() ? ShownMessage{"", -1, ""} : interaction.shown.back();
    }

    std::unique_ptr<TestDatabase> db;
};

}  // namespace kelvo::test
