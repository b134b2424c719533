// edit and demo: the photo editor window on an owner, and a seeded sample database.
#include <cstdio>
#include <filesystem>

#include "commands.h"
#include "editor/qt/photo_editor_launcher.h"
#include "platform/files/files.h"
#include "sample_pictures.h"
#include "toolkit.h"

namespace kelvo::cli {
namespace {

const char* const kDemoGroup = "CUST";

struct SampleOwner {
    const char* code;
    const char* name;
    std::vector<const char*> photos;  // the first is the default
};

const std::vector<SampleOwner>& sampleOwners() {
    static const std::vector<SampleOwner> owners = {
        {"C001", "Ada Lovelace", {"Front", "Side", "Signature"}},
        {"C002", "Alan Turing", {"Portrait", "Office"}},
    };
    return owners;
}

void openEditor(CPicture& store, const std::string& owner, const std::string& group,
                const std::string& ownerName, const std::shared_ptr<Connection>& cnn) {
    InstallQtPhotoEditor();
    try {
        store.EditPhoto(group, owner, ownerName, cnn);
    } catch (const Error& e) {
        throw CommandError(std::string("cannot open the photo editor: ") + e.what());
    }
}

void seedOwner(const CliOptions& options, const std::string& target, const SampleOwner& owner) {
    OwnerSession session(options, owner.code, kDemoGroup, target);
    if (session.rowCount() > 0) return;
    bool first = true;
    for (const char* description : owner.photos) {
        std::string label = std::string(owner.name) + " - " + description;
        AddPhotoToOwner(session.store, session.events, MakeSamplePicture(480, 360, label),
                        description, std::string("Sample photo of ") + owner.name, first);
        first = false;
    }
}

std::string demoDatabase(const CliOptions& options) {
    if (options.db) return *options.db;
    if (options.appPath) SetAppPath(*options.appPath);
    std::filesystem::create_directories(AppPath());
    return AppPath() + "/demo.db";
}

}  // namespace

int EditCommand(const CliOptions& options) {
    RequireOperands(options, 2, "edit OWNER GROUP [--owner-name N]");
    auto cnn = OpenDatabase(DatabaseTarget(options));
    CPicture store;
    ConfigureStore(store, options);
    StoreListener events;
    store.AddListener(&events);
    const std::string& owner = options.operands[0];
    openEditor(store, owner, options.operands[1],
               options.ownerName.empty() ? owner : options.ownerName, cnn);
    return 0;
}

int DemoCommand(const CliOptions& options) {
    RequireOperands(options, 0, "demo [--db PATH] [--no-window]");
    const std::string target = demoDatabase(options);
    {
        auto cnn = OpenDatabase(target);
        if (!PhotoTableExists(cnn, options.layout)) CreatePhotoTable(*cnn, options.layout);
    }
    for (const SampleOwner& owner : sampleOwners()) seedOwner(options, target, owner);
    std::printf("sample database: %s\n", target.c_str());
    const SampleOwner& shown = sampleOwners().front();
    OwnerSession session(options, shown.code, kDemoGroup, target);
    std::printf("%s (%s), group %s:\n", shown.code, shown.name, kDemoGroup);
    PrintOwnerPhotos(session.store, session.events);
    if (options.noWindow) return 0;
    openEditor(session.store, shown.code, kDemoGroup, shown.name, session.cnn);
    return 0;
}

}  // namespace kelvo::cli
