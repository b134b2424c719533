// ConvertAllToFiles and ConvertAllToBlobs on both back ends: events, file names, columns,
// byte-identical round trips, and no photo lost when files or the connection fail mid-way.
#include "convert_fixture.h"

namespace kelvo::test {
namespace {

const char* const kToFiles = "Converting to Files...";
const char* const kToDatabase = "Adding photos to Database...";
const char* const kDeleting = "Deleting old photo files...";

TEST_P(ConversionTest, WrongModeOrEmptyTableTouchesNothing) {
    addRow(rows[0]);
    EXPECT_FALSE(newStore(false)->ConvertAllToFiles(db->connection()));
    EXPECT_FALSE(newStore(true)->ConvertAllToBlobs(db->connection()));
    EXPECT_TRUE(events.steps.empty());
    EXPECT_EQ(columnOf(rows[0]).bytes(), rows[0].photo);
    EXPECT_EQ(photoFileCount(), 0);

    db->connection()->ExecuteDelete("PHOTOS", {});
    EXPECT_TRUE(newStore(true)->ConvertAllToFiles(db->connection()));
    EXPECT_TRUE(newStore(false)->ConvertAllToBlobs(db->connection()));
    EXPECT_TRUE(events.steps.empty());
    EXPECT_EQ(photoFileCount(), 0);
}

TEST_P(ConversionTest, ToFilesAndBackKeepsEveryByte) {
    for (const PhotoRow& row : rows) addRow(row);

    auto toFiles = newStore(true);
    EXPECT_TRUE(toFiles->ConvertAllToFiles(db->connection()));
    EXPECT_EQ(events.steps,
              (std::vector<ProgressStep>{{kToFiles, 1, 3}, {kToFiles, 2, 3}, {kToFiles, 3, 3}}));
    EXPECT_TRUE(events.errors.empty());
    for (const PhotoRow& row : rows) {
        EXPECT_TRUE(columnOf(row).isNull()) << row.code << " " << row.description;
        ASSERT_TRUE(LocalFileSystem().FileExists(fileOf(row))) << fileOf(row);
        EXPECT_EQ(LocalFileSystem().ReadAll(fileOf(row)), row.photo);
    }
    EXPECT_EQ(photoFileCount(), 3);  // no temporary file left behind

    events.steps.clear();
    auto toBlobs = newStore(false);
    EXPECT_TRUE(toBlobs->ConvertAllToBlobs(db->connection()));
    EXPECT_EQ(events.steps, (std::vector<ProgressStep>{{kToDatabase, 1, 3},
                                                       {kToDatabase, 2, 3},
                                                       {kToDatabase, 3, 3},
                                                       {kDeleting, 2, 3},
                                                       {kDeleting, 1, 3},
                                                       {kDeleting, 0, 3}}));
    for (const PhotoRow& row : rows) EXPECT_EQ(columnOf(row).bytes(), row.photo);
    EXPECT_EQ(photoFileCount(), 0);
}

TEST_P(ConversionTest, ToBlobsKeepsFilesItDidNotMove) {
    addRow(rows[0], false);
    addRow(rows[1], false);
    LocalFileSystem().WriteAll(fileOf(rows[0]), rows[0].photo);  // rows[1] has no file
    LocalFileSystem().WriteAll(folder + "OTHER_Photo_STAFF.qzr", rows[2].photo);

    EXPECT_TRUE(newStore(false)->ConvertAllToBlobs(db->connection()));
    EXPECT_EQ(columnOf(rows[0]).bytes(), rows[0].photo);
    EXPECT_TRUE(columnOf(rows[1]).isNull());
    EXPECT_FALSE(LocalFileSystem().FileExists(fileOf(rows[0])));
    EXPECT_TRUE(
        LocalFileSystem().FileExists(folder + "OTHER_Photo_STAFF.qzr"));  // not this table's
}

TEST_P(ConversionTest, FullDiskMidwayLosesNothingAndASecondRunFinishes) {
    for (const PhotoRow& row : rows) addRow(row);
    events.onProgress = [&](const ProgressStep& step) {
        if (step.pos == 1) files.FailWritesUnder("/");
    };
    EXPECT_FALSE(newStore(true)->ConvertAllToFiles(db->connection()));
    EXPECT_FALSE(events.errors.empty());
    EXPECT_EQ(events.steps.size(), 3u);  // the walk goes on past failing rows
    for (const PhotoRow& row : rows)
        EXPECT_TRUE(readableSomewhere(row)) << row.code << " " << row.description;
    EXPECT_EQ(photoFileCount(), 1);

    files.Heal();
    events.onProgress = nullptr;
    EXPECT_TRUE(newStore(true)->ConvertAllToFiles(db->connection()));
    for (const PhotoRow& row : rows) {
        EXPECT_TRUE(columnOf(row).isNull());
        EXPECT_EQ(LocalFileSystem().ReadAll(fileOf(row)), row.photo);
    }

    // Back to the table while files cannot be deleted: all in the table, files kept.
    files.FailDeletesUnder("/");
    EXPECT_FALSE(newStore(false)->ConvertAllToBlobs(db->connection()));
    for (const PhotoRow& row : rows) EXPECT_EQ(columnOf(row).bytes(), row.photo);
    files.Heal();
    EXPECT_TRUE(newStore(false)->ConvertAllToBlobs(db->connection()));
    EXPECT_EQ(photoFileCount(), 0);
    for (const PhotoRow& row : rows) EXPECT_EQ(columnOf(row).bytes(), row.photo);
}

TEST_P(ConversionTest, DroppedConnectionMidwayLosesNothingAndASecondRunFinishes) {
    for (const PhotoRow& row : rows) addRow(row);
    auto cnn = db->OpenAnother();
    events.onProgress = [&](const ProgressStep& step) {
        if (step.pos == 1) cnn->Close();
    };
    EXPECT_FALSE(newStore(true)->ConvertAllToFiles(cnn));
    for (const PhotoRow& row : rows)
        EXPECT_TRUE(readableSomewhere(row)) << row.code << " " << row.description;

    events.onProgress = nullptr;
    EXPECT_TRUE(newStore(true)->ConvertAllToFiles(db->OpenAnother()));
    for (const PhotoRow& row : rows) {
        EXPECT_TRUE(columnOf(row).isNull());
        EXPECT_EQ(LocalFileSystem().ReadAll(fileOf(row)), row.photo);
    }

    cnn = db->OpenAnother();
    events.onProgress = [&](const ProgressStep& step) {
        if (step.msg == kToDatabase && step.pos == 2) cnn->Close();
    };
    EXPECT_FALSE(newStore(false)->ConvertAllToBlobs(cnn));
    for (const PhotoRow& row : rows)
        EXPECT_TRUE(readableSomewhere(row)) << row.code << " " << row.description;
    EXPECT_EQ(photoFileCount(), 3);  // nothing deleted after a broken walk

    events.onProgress = nullptr;
    EXPECT_TRUE(newStore(false)->ConvertAllToBlobs(db->OpenAnother()));
    for (const PhotoRow& row : rows) EXPECT_EQ(columnOf(row).bytes(), row.photo);
    EXPECT_EQ(photoFileCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, ConversionTest, testing::ValuesIn(TestBackends()), BackendName);

}  // namespace
}  // namespace kelvo::test
