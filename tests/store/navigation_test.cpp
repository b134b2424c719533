// Moving through the owner's rows: the events, their order, the counters and the end flags.
#include "support/photo_env.h"

namespace kelvo::test {
namespace {

class NavigationTest : public PhotoTest {
  protected:
    std::unique_ptr<CPicture> storeWith(int rows) {
        for (int i = 1; i <= rows; ++i) addRow("A1", "Photo" + std::to_string(i), "CUST");
        auto store = newStore();
        store->Init("A1", "CUST", "", nullptr, db->connection());
        events.clear();
        return store;
    }
    std::vector<std::string> take() {
        std::vector<std::string> lines = events.lines;
        events.clear();
        return lines;
    }
};

TEST_P(NavigationTest, ThreeRows) {
    auto store = storeWith(3);
    store->FirstRecord();
    EXPECT_EQ(take(), (Lines{"RecordPosition 1/3", "IsFirstRecord 1"}));
    EXPECT_TRUE(store->RecordBOF());
    Lines seen{store->PhotoDescription()};
    store->NextRecord();
    EXPECT_EQ(take(), Lines{"RecordPosition 2/3"});
    EXPECT_TRUE(store->RecordBOF()) << "a move inside the set keeps the flags";
    seen.push_back(store->PhotoDescription());
    store->NextRecord();
    EXPECT_EQ(take(), Lines{"RecordPosition 3/3"});
    const std::string third = store->PhotoDescription();
    seen.push_back(third);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (Lines{"Photo1", "Photo2", "Photo3"})) << "each row once";
    EXPECT_FALSE(store->RecordEOF()) << "arriving at the last row is not leaving the set";
    store->NextRecord();
    EXPECT_EQ(take(), (Lines{"IsLastRecord 1", "RecordPosition 3/3"}));
    EXPECT_EQ(store->PhotoDescription(), third);
    EXPECT_TRUE(store->RecordEOF());
    EXPECT_FALSE(store->RecordBOF());
    store->PreviousRecord();
    EXPECT_EQ(take(), Lines{"RecordPosition 2/3"});
    EXPECT_TRUE(store->RecordEOF()) << "only the other end clears it";
    store->LastRecord();
    EXPECT_EQ(take(), (Lines{"RecordPosition 3/3", "IsLastRecord 1"}));
    EXPECT_EQ(store->PhotoDescription(), third);
}

TEST_P(NavigationTest, OneRowAndNone) {
    auto store = storeWith(1);
    store->FirstRecord();
    EXPECT_EQ(take(), (Lines{"RecordPosition 1/1", "IsFirstRecord 1"}));
    store->NextRecord();
    EXPECT_EQ(take(), (Lines{"IsLastRecord 1", "RecordPosition 1/1"}));
    store->PreviousRecord();
    EXPECT_EQ(take(), (Lines{"IsFirstRecord 1", "RecordPosition 1/1"}));
    EXPECT_TRUE(store->RecordBOF());
    EXPECT_FALSE(store->RecordEOF());

    db->connection()->ExecuteDelete("PHOTOS", {});
    store = storeWith(0);
    store->RecordEOF(true);
    store->FirstRecord();
    store->LastRecord();
    store->NextRecord();
    store->PreviousRecord();
    EXPECT_EQ(take(), Lines{}) << "no rows, no events";
    EXPECT_TRUE(store->RecordEOF());
    EXPECT_FALSE(store->RecordBOF());
}

TEST_P(NavigationTest, HandlersWriteBackIntoTheStore) {
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
}

TEST_P(NavigationTest, AddedRowIsCountedByLastRecordOnly) {
    auto store = storeWith(3);
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
