// Adds, replacements, deletes and conversions of two stores interleaved on one photo table, a
// second process adding alongside, a table locked by another writer and a connection dropped
// by the server: no photo is lost.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>

#include "support/photo_env.h"
#include "support/test_images.h"

namespace kelvo::test {
namespace {

constexpr std::uint64_t kAbsent = 0;  // the checksum of "no such row"
const std::string kGroup = "CUST";
using Photo = std::pair<std::string, std::string>;  // owner code and description

class ConcurrentStores : public PhotoTest {
  protected:
    struct Actor {
        std::shared_ptr<Connection> cnn;
        std::unique_ptr<CPicture> store;
        std::optional<Photo> current;  // the row it stands on
    };

    void SetUp() override {
        PhotoTest::SetUp();
        for (Actor& actor : actors) {
            actor.cnn = db->OpenAnother();
            actor.store = newStore(false);
        }
    }

    PicturePtr nextPicture() {
        ++pictures_;
        return MakePicture(3 + pictures_ % 7, 2 + pictures_ % 5, 0x102030 * pictures_ + 7);
    }

    // Applies an operation's outcome: a clean one gives `after`, a reported one either state.
    void settle(Actor& actor, const Photo& photo, std::uint64_t after) {
        auto& states = allowed[photo];
        if (events.errors().empty()) states.clear();
        states.insert(after);
        events.clear();
        actor.current.reset();
    }

    void add(Actor& actor, const std::string& code) {
        const std::string description = "D" + std::to_string(++added_);
        const PicturePtr photo = nextPicture();
        CPicture& store = *actor.store;
        store.Init(code, kGroup, "", nullptr, actor.cnn);
        store.PhotoCode(code);
        store.PhotoDescription(description);
        store.PhotosGroup(kGroup);
        store.OwnerPhoto(photo);
        store.SavePhotoDetails(true);
        allowed[{code, description}].insert(kAbsent);
        settle(actor, {code, description}, PictureChecksum(*photo));
    }

    // Stands the actor on a photo of `code`, to replace or delete later.
    void standOn(Actor& actor, const std::string& code) {
        CPicture& store = *actor.store;
        store.Init(code, kGroup, "", nullptr, actor.cnn);
        actor.current.reset();
        // LoadData would save the store's properties as a first photo of an owner without one
        if (const std::int32_t count = store.m_rsPhotoDetails->RecordCount(); count > 0) {
            store.LoadData();
            store.FirstRecord();
            for (std::uint32_t n = random() % count; n > 0; --n) store.NextRecord();
            actor.current = {store.PhotoCode(), store.PhotoDescription()};
            // a photo the other process added joins the model as it stands
            allowed.try_emplace(*actor.current, std::set{PictureChecksum(*store.OwnerPhoto())});
        }
        events.clear();  // a row another actor just deleted reads as an error
    }

    void replace(Actor& actor) {
        if (!actor.current) return;
        const PicturePtr photo = nextPicture();
        actor.store->OwnerPhoto(photo);
        actor.store->SavePhotoDetails(false);
        settle(actor, *actor.current, PictureChecksum(*photo));
    }

    void remove(Actor& actor) {
        if (!actor.current) return;
        actor.store->DeleteRecord();
        settle(actor, *actor.current, kAbsent);
    }

    // Both stores follow the table into its new form once a conversion has finished; a
    // conversion broken by the other store's work is run again, as a host would.
    void convert(Actor& actor, Actor& other) {
        const bool toFiles = !actor.store->SaveAsFile;
        const auto run = [&](const std::shared_ptr<Connection>& cnn, CPictureEvents& listener) {
            CPicture converter(services);
            UsePhotoTable(converter);
            converter.SaveAsFile = toFiles;
            converter.AddListener(&listener);
            return toFiles ? converter.ConvertAllToFiles(cnn) : converter.ConvertAllToBlobs(cnn);
        };
        struct Interleaver : CPictureEvents {
            std::function<void()> step;
            void ConversionProgress(std::string&, std::int32_t& pos, std::int32_t&) override {
                if (pos == 2 && step) std::exchange(step, nullptr)();
            }
        } interleaver;
        interleaver.step = [&] {
            other.store->SaveAsFile = toFiles;
            random() % 2 ? add(other, "P" + std::to_string(random() % 3)) : remove(other);
        };
        ASSERT_TRUE(run(actor.cnn, interleaver) || run(db->OpenAnother(), events)) << events.text();
        for (Actor* each : {&actor, &other}) each->store->SaveAsFile = toFiles;
        events.clear();
    }

    // Every row's photo, in its column or else in its file, is one the model allows. (A
    // store in file mode reads an owner's first file, so the files are read here directly.)
    void expectEveryPhotoAllowed() {
        std::map<Photo, std::uint64_t> found;
        const auto rows = ReadPhotoRows(db->OpenAnother());
        for (const StoredRow& row : rows) {
            const std::string file = row.code + "_" + row.description + "_" + kGroup + ".qzr";
            found[{row.code, row.description}] = PictureChecksum(
                *(row.pic.isNull() ? pictures.LoadPicture(photosFolder() + file)
                                   : pictures.LoadPictureData(row.pic.bytes(), file)));
        }
        EXPECT_EQ(found.size(), rows.size()) << "a photo stored twice";
        for (const auto& [key, states] : allowed) {
            auto it = found.find(key);
            EXPECT_EQ(states.count(it == found.end() ? kAbsent : it->second), 1u)
                << key.first << " " << key.second;
        }
        for (const auto& [key, sum] : found)
            EXPECT_EQ(allowed.count(key), 1u) << "unknown row " << key.first << " " << key.second;
    }

    Actor actors[2];
    std::map<Photo, std::set<std::uint64_t>> allowed;  // a failed operation allows both states
    std::mt19937 random{20261206};
    int pictures_ = 0, added_ = 0;
};

TEST_P(ConcurrentStores, InterleavedWorkOnTwoConnectionsLosesNoPhoto) {
    int conversions = 0;
    for (int steps = 0; steps < 240 && !HasFailure(); ++steps) {
        SCOPED_TRACE("step " + std::to_string(steps));
        Actor& actor = actors[random() % 2];
        Actor& other = &actor == &actors[0] ? actors[1] : actors[0];
        const std::string code = "P" + std::to_string(random() % 3);
        // 3 in 10 add, 3 stand on a photo, 2 replace it, 1 deletes it, 1 may convert
        const unsigned pick = random() % 10;
        pick < 3       ? add(actor, code)
        : pick < 6     ? standOn(actor, code)
        : pick < 8     ? replace(actor)
        : pick == 8    ? remove(actor)
        : random() % 3 ? void()
                       : (convert(actor, other), void(++conversions));
        if (steps % 40 == 39) expectEveryPhotoAllowed();
    }
    expectEveryPhotoAllowed();
    EXPECT_GT(conversions, 2);
}

// A second process adds photos to the same owners through the kelvophotos host while this
// one replaces and deletes them.
TEST_P(ConcurrentStores, SecondProcessAddingAlongsideLosesNoPhoto) {
    const auto self = std::filesystem::read_symlink("/proc/self/exe");
    const std::string host = (self.parent_path().parent_path() / "app" / "kelvophotos").string();
    if (!std::filesystem::exists(host)) GTEST_SKIP() << "kelvophotos not built";
    const std::string picture = WriteImageFile(app, "other.png", "png", 6, 5, 0x336699);
    std::string script = "set -e";
    for (int i = 0; i < 12; ++i)
        script += "; \"$0\" add P" + std::to_string(i % 3) + " " + kGroup + " \"$1\" --desc X" +
                  std::to_string(i) + " --db \"$2\" --app-path \"$3\" >/dev/null";
    const char* argv[] = {
        "sh",        "-c",   script.c_str(), host.c_str(), picture.c_str(), db->target().c_str(),
        app.c_str(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ),
              0);
    int status = 0;
    bool childDone = false;
    random.seed(7);
    for (int steps = 0; (!childDone || steps < 60) && steps <= 5000; ++steps) {
        const std::string code = "P" + std::to_string(random() % 3);
        const unsigned pick = random() % 4;
        pick == 0   ? add(actors[0], code)
        : pick == 1 ? standOn(actors[0], code)
        : pick == 2 ? replace(actors[0])
                    : remove(actors[0]);
        childDone = childDone || waitpid(child, &status, WNOHANG) == child;
    }
    if (!childDone) waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::uint64_t theirs = PictureChecksum(*pictures.LoadPicture(picture));
    for (const StoredRow& row : ReadPhotoRows(db->OpenAnother()))
        if (row.description[0] == 'X')
            allowed.try_emplace({row.code, row.description}, std::set{theirs});
    expectEveryPhotoAllowed();
}

// Another writer holding the table, or the server ending the store's session: each operation
// reports and changes nothing; once the lock is gone, or on a new connection, work goes on.
TEST_P(ConcurrentStores, LockedTableOrDroppedConnectionIsReportedAndLosesNothing) {
    const bool pg = GetParam() == "postgresql";
    Actor& actor = actors[0];
    add(actor, "P0");
    add(actor, "P0");
    const std::vector<std::function<void(CPicture&)>> operations{
        [&](CPicture& store) {
            store.OwnerPhoto(nextPicture());
            store.SavePhotoDetails(false);
        },
        [](CPicture& store) { store.DeleteRecord(); },
        [](CPicture& store) { store.NextRecord(); },  // reading fails only when dropped
        [](CPicture& store) { store.SearchForRecord("P0", "D1"); },
        [](CPicture& store) { store.LoadData(true); },
        [](CPicture& store) { store.CheckIfDescriptionExists("D2"); },
    };
    for (const bool dropped : {false, true}) {
        if (dropped && !pg) continue;  // an embedded database has no server to drop it
        SCOPED_TRACE(dropped ? "dropped connection" : "locked table");
        standOn(actor, "P0");
        ASSERT_TRUE(actor.current);
        auto holder = db->OpenAnother();
        if (dropped) {
            holder->Execute(
                "SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                "WHERE datname = current_database() AND pid <> pg_backend_pid()");
        } else if (pg) {
            actor.cnn->Execute("SET lock_timeout = '1s'");
            holder->Execute("BEGIN");
            holder->Execute("LOCK TABLE PHOTOS IN EXCLUSIVE MODE");
        } else {
            holder->Execute("BEGIN IMMEDIATE");
        }
        for (std::size_t i = 0; i < (dropped ? operations.size() : 2); ++i) {
            operations[i](*actor.store);
            EXPECT_FALSE(events.errors().empty()) << "operation " << i << " was not reported";
            events.clear();
        }
        if (dropped)
            actor.cnn = db->OpenAnother();
        else
            holder->Execute("ROLLBACK");
        expectEveryPhotoAllowed();
        standOn(actor, "P0");
        replace(actor);
        for (const auto& [photo, states] : allowed) EXPECT_EQ(states.size(), 1u) << "a failure";
        expectEveryPhotoAllowed();
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, ConcurrentStores, testing::ValuesIn(TestBackends()),
                         BackendName);

}  // namespace
}  // namespace kelvo::test
