// Two stores on one photo table at once: adds, replacements, deletes and conversions
// interleaved through two connections in one process, and beside a second process.
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

// What each photo (owner code and description) may hold: after a failed operation, either
// its earlier photo or the one that operation tried to write.
using Allowed = std::map<std::pair<std::string, std::string>, std::set<std::uint64_t>>;

class ConcurrentStores : public PhotoTest {
  protected:
    struct Actor {
        std::shared_ptr<Connection> cnn;
        std::unique_ptr<CPicture> store;
        std::optional<std::pair<std::string, std::string>> current;  // the row it stands on
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
    void settle(const std::pair<std::string, std::string>& photo, std::uint64_t after) {
        auto& states = allowed[photo];
        if (events.errors().empty()) states.clear();
        states.insert(after);
        events.clear();
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
        settle({code, description}, PictureChecksum(*photo));
        actor.current.reset();
    }

    // Stands the actor on a photo of `code`, to replace or delete later.
    void standOn(Actor& actor, const std::string& code, std::mt19937& random) {
        CPicture& store = *actor.store;
        store.Init(code, kGroup, "", nullptr, actor.cnn);
        actor.current.reset();
        // LoadData would save the store's properties as a first photo of an owner without one
        const std::int32_t count = store.m_rsPhotoDetails->RecordCount();
        if (count > 0) {
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
        settle(*actor.current, PictureChecksum(*photo));
        actor.current.reset();
    }

    void remove(Actor& actor) {
        if (!actor.current) return;
        actor.store->DeleteRecord();
        settle(*actor.current, kAbsent);
        actor.current.reset();
    }

    bool runConversion(bool toFiles, const std::shared_ptr<Connection>& cnn,
                       CPictureEvents& listener) {
        CPicture converter(services);
        UsePhotoTable(converter);
        converter.SaveAsFile = toFiles;
        converter.AddListener(&listener);
        return toFiles ? converter.ConvertAllToFiles(cnn) : converter.ConvertAllToBlobs(cnn);
    }

    // Both stores follow the table into its new form once a conversion has finished; a
    // conversion broken by the other store's work is run again, as a host would.
    void convert(Actor& actor, Actor& other, std::mt19937& random) {
        const bool toFiles = !actor.store->SaveAsFile;
        int otherSteps = 0;
        struct Interleaver : CPictureEvents {
            std::function<void()> step;
            void ConversionProgress(std::string&, std::int32_t& pos, std::int32_t&) override {
                if (pos == 2 && step) step();
            }
        } interleaver;
        interleaver.step = [&] {
            if (otherSteps++) return;
            other.store->SaveAsFile = toFiles;
            if (random() % 2)
                add(other, "P" + std::to_string(random() % 3));
            else
                remove(other);
        };
        if (!runConversion(toFiles, actor.cnn, interleaver)) {
            ASSERT_TRUE(runConversion(toFiles, db->OpenAnother(), events)) << events.text();
        }
        for (Actor* each : {&actor, &other}) each->store->SaveAsFile = toFiles;
        events.clear();
    }

    // Every row's photo, in its column or else in its file, is one the model allows. (A
    // store in file mode reads an owner's first file, so the files are read here directly.)
    void expectEveryPhotoAllowed() {
        std::map<std::pair<std::string, std::string>, std::uint64_t> found;
        for (const StoredRow& row : ReadPhotoRows(db->OpenAnother())) {
            std::string path =
                photosFolder() + row.code + "_" + row.description + "_" + kGroup + ".qzr";
            if (!row.pic.isNull()) {
                path = app + "column.bmp";
                LocalFileSystem().WriteAll(path, row.pic.bytes());
            }
            std::uint64_t sum = kAbsent;
            try {
                sum = PictureChecksum(*pictures.LoadPicture(path));
            } catch (const Error& e) {
                ADD_FAILURE() << row.code << " " << row.description << ": " << e.what();
            }
            const auto key = std::make_pair(row.code, row.description);
            EXPECT_EQ(found.count(key), 0u) << "twice: " << row.code << " " << row.description;
            found[key] = sum;
        }
        for (const auto& [key, states] : allowed) {
            auto it = found.find(key);
            const std::uint64_t now = it == found.end() ? kAbsent : it->second;
            EXPECT_EQ(states.count(now), 1u) << key.first << " " << key.second;
        }
        for (const auto& [key, sum] : found)
            EXPECT_EQ(allowed.count(key), 1u) << "unknown row " << key.first << " " << key.second;
    }

    Actor actors[2];
    Allowed allowed;
    int pictures_ = 0, added_ = 0;
};

TEST_P(ConcurrentStores, InterleavedWorkOnTwoConnectionsLosesNoPhoto) {
    std::mt19937 random(20261206);
    int steps = 0, conversions = 0;
    for (; steps < 240; ++steps) {
        SCOPED_TRACE("step " + std::to_string(steps));
        Actor& actor = actors[random() % 2];
        Actor& other = &actor == &actors[0] ? actors[1] : actors[0];
        const std::string code = "P" + std::to_string(random() % 3);
        switch (random() % 10) {
            case 0:
            case 1:
            case 2:
                add(actor, code);
                break;
            case 3:
            case 4:
            case 5:
                standOn(actor, code, random);
                break;
            case 6:
            case 7:
                replace(actor);
                break;
            case 8:
                remove(actor);
                break;
            default:
                if (random() % 3 == 0) {
                    convert(actor, other, random);
                    ++conversions;
                }
        }
        if (steps % 40 == 39) expectEveryPhotoAllowed();
        if (HasFailure()) break;
    }
    expectEveryPhotoAllowed();
    EXPECT_GT(conversions, 2);
    RecordProperty("steps", steps);
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
    std::mt19937 random(7);
    bool childDone = false;
    int status = 0;
    for (int steps = 0; !childDone || steps < 60; ++steps) {
        Actor& actor = actors[0];
        const std::string code = "P" + std::to_string(random() % 3);
        switch (random() % 4) {
            case 0:
                add(actor, code);
                break;
            case 1:
                standOn(actor, code, random);
                break;
            case 2:
                replace(actor);
                break;
            default:
                remove(actor);
        }
        childDone = childDone || waitpid(child, &status, WNOHANG) == child;
        if (steps > 5000) break;
    }
    if (!childDone) waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::uint64_t theirs = PictureChecksum(*pictures.LoadPicture(picture));
    for (const StoredRow& row : ReadPhotoRows(db->OpenAnother()))
        if (row.description[0] == 'X')
            allowed.try_emplace(std::make_pair(row.code, row.description), std::set{theirs});
    expectEveryPhotoAllowed();
}

// Another writer holding the table: saving and deleting wait their time, report, and change
// nothing; once the lock is gone the same work goes through.
TEST_P(ConcurrentStores, TableLockedByAnotherWriterIsReportedAndLosesNothing) {
    std::mt19937 random(3);
    Actor& actor = actors[0];
    add(actor, "P0");
    auto holder = db->OpenAnother();
    if (GetParam() == "sqlite") {
        holder->Execute("BEGIN IMMEDIATE");
    } else {
        actor.cnn->Execute("SET lock_timeout = '1s'");
        holder->Execute("BEGIN");
        holder->Execute("LOCK TABLE PHOTOS IN EXCLUSIVE MODE");
    }
    standOn(actor, "P0", random);
    ASSERT_TRUE(actor.current);
    actor.store->OwnerPhoto(nextPicture());
    actor.store->SavePhotoDetails(false);
    EXPECT_FALSE(events.errors().empty()) << "a save into a locked table must be reported";
    events.clear();
    actor.store->DeleteRecord();
    EXPECT_FALSE(events.errors().empty()) << "a delete from a locked table must be reported";
    events.clear();
    holder->Execute("ROLLBACK");
    expectEveryPhotoAllowed();

    standOn(actor, "P0", random);
    replace(actor);
    for (const auto& [photo, states] : allowed) EXPECT_EQ(states.size(), 1u) << "the save failed";
    expectEveryPhotoAllowed();
}

// The server ends the store's session between operations: each operation reports, no photo
// changes, and a new connection carries on.
TEST_P(ConcurrentStores, ConnectionDroppedByTheServerIsReportedAndLosesNothing) {
    if (GetParam() == "sqlite") GTEST_SKIP() << "an embedded database has no server to drop it";
    std::mt19937 random(5);
    Actor& actor = actors[0];
    add(actor, "P0");
    add(actor, "P0");
    standOn(actor, "P0", random);
    ASSERT_TRUE(actor.current);
    db->OpenAnother()->Execute(
        "SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
        "WHERE datname = current_database() AND pid <> pg_backend_pid()");
    const std::vector<std::function<void(CPicture&)>> operations{
        [&](CPicture& store) {
            store.OwnerPhoto(nextPicture());
            store.SavePhotoDetails(false);
        },
        [](CPicture& store) { store.DeleteRecord(); },
        [](CPicture& store) { store.NextRecord(); },
        [](CPicture& store) { store.SearchForRecord("P0", "D1"); },
        [](CPicture& store) { store.LoadData(true); },
        [](CPicture& store) { store.CheckIfDescriptionExists("D2"); },
    };
    for (std::size_t i = 0; i < operations.size(); ++i) {
        operations[i](*actor.store);
        EXPECT_FALSE(events.errors().empty()) << "operation " << i << " on a dropped connection";
        events.clear();
    }
    expectEveryPhotoAllowed();

    actor.cnn = db->OpenAnother();
    add(actor, "P0");
    for (const auto& [photo, states] : allowed) EXPECT_EQ(states.size(), 1u);
    expectEveryPhotoAllowed();
}

INSTANTIATE_TEST_SUITE_P(Backends, ConcurrentStores, testing::ValuesIn(TestBackends()),
                         BackendName);

}  // namespace
}  // namespace kelvo::test
