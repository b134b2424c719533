// Moving through the owner's rows: the events, their order, the counters and the end flags.
#include "support/photo_env.h"

namespace kelvo::test {
namespace {

class NavigationTest : public PhotoTest {
  protected:
    std::unique_ptr<CPicture> storeWith(int rows) {
        for (int i = 1; i <= rows; ++i) addRow("A1", "Photo" + std::to_string(i), "CUST");
        return initStore();
    }
    Lines take() {
        Lines lines = events.lines;
        events.clear();
        return lines;
    }
};

// Each move's events, then the end flags: arriving at the last row is not leaving the set,
// a move inside the set keeps the flags, and only the other end clears one.
TEST_P(NavigationTest, MovesReportPositionsAndEnds) {
    using Move = void (CPicture::*)();
    struct Step {
        Move move;
        Lines events;
        bool bof, eof;
    };
    const Move first = &CPicture::FirstRecord, next = &CPicture::NextRecord,
               previous = &CPicture::PreviousRecord, last = &CPicture::LastRecord;
    const std::vector<std::pair<int, std::vector<Step>>> walks = {
        {3,
         {{first, {"RecordPosition 1/3", "IsFirstRecord 1"}, true, false},
          {next, {"RecordPosition 2/3"}, true, false},
          {next, {"RecordPosition 3/3"}, true, false},
          {next, {"IsLastRecord 1", "RecordPosition 3/3"}, false, true},
          {previous, {"RecordPosition 2/3"}, false, true},
          {last, {"RecordPosition 3/3", "IsLastRecord 1"}, false, true}}},
        {1,
         {{first, {"RecordPosition 1/1", "IsFirstRecord 1"}, true, false},
          {next, {"IsLastRecord 1", "RecordPosition 1/1"}, false, true},
          {previous, {"IsFirstRecord 1", "RecordPosition 1/1"}, true, false}}},
        {0,
         {{first, {}, false, true},
          {last, {}, false, true},
          {next, {}, false, true},
          {previous, {}, false, true}}}};
    for (const auto& [rows, steps] : walks) {
        db->connection()->ExecuteDelete("PHOTOS", {});
        auto store = storeWith(rows);
        store->RecordEOF(rows == 0);
        Lines seen;
        for (const Step& step : steps) {
            ((*store).*step.move)();
            EXPECT_EQ(take(), step.events) << rows << " rows, step " << seen.size();
            EXPECT_EQ(store->RecordBOF(), step.bof) << rows << " rows, step " << seen.size();
            EXPECT_EQ(store->RecordEOF(), step.eof) << rows << " rows, step " << seen.size();
            seen.push_back(store->PhotoDescription());
        }
        if (rows != 3) continue;
        EXPECT_EQ(seen[3], seen[2]);
        EXPECT_EQ(seen[5], seen[2]);
        seen.resize(3);
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(seen, (Lines{"Photo1", "Photo2", "Photo3"})) << "each row once";
    }
}

TEST_P(NavigationTest, HandlersWriteBackAndAddedRowsAreCountedByLastRecordOnly) {
    auto store = storeWith(3);
    events.onPosition = [](std::int32_t& position, std::int32_t&) {
        if (position == 1) position = 10;
    };
    store->FirstRecord();
    events.onPosition = nullptr;
    store->NextRecord();
    EXPECT_EQ(take(), (Lines{"RecordPosition 1/3", "IsFirstRecord 1", "RecordPosition 11/3"}));
    events.onFirst = [](bool& flag) { flag = false; };
    store->FirstRecord();
    EXPECT_FALSE(store->RecordBOF());
    events.onLast = [](bool& flag) { flag = false; };
    store->LastRecord();
    EXPECT_FALSE(store->RecordEOF());

    events.onFirst = events.onLast = nullptr;
    store->PhotoDescription("Photo4");
    events.clear();
    store->SavePhotoDetails(true, false);
    EXPECT_EQ(take(), (Lines{"RecordPosition 4/4", "IsLastRecord 1"}));
    store->PreviousRecord();
    EXPECT_EQ(take(), Lines{"RecordPosition 3/3"});
}

TEST(StoreNavigation, BeforeInit) {
    PhotoEnv env;
    auto store = env.newStore();
    store->NextRecord();
    store->PreviousRecord();
    EXPECT_EQ(env.events.count("ErrorDescrption: "), 2);
    EXPECT_EQ(env.events.lines.size(), 2u);
    EXPECT_THROW(store->FirstRecord(), Error);
    EXPECT_THROW(store->LastRecord(), Error);
}

INSTANTIATE_TEST_SUITE_P(Backends, NavigationTest, testing::ValuesIn(TestBackends()), BackendName);

}  // namespace
}  // namespace kelvo::test
