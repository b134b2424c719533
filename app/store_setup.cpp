// Database connection and store configuration for the kelvophotos commands.
#include "store_setup.h"

#include "platform/text.h"

#include "platform/files/files.h"

namespace kelvo::cli {

void StoreListener::ThrowIfAny(const std::string& doing) const {
    if (!messages.empty()) throw CommandError(doing + ": " + messages.front());
}

std::string DatabaseTarget(const CliOptions& options, const std::string& fallback) {
    return options.db.value_or(fallback);
}

std::shared_ptr<Connection> OpenDatabase(const std::string& target) {
    try {
        return Connection::Open(target);
    } catch (const Error& e) {
        throw CommandError("cannot open the database " + target + ": " + e.what());
    }
}

void ConfigureStore(CPicture& store, const CliOptions& options) {
    const TableLayout& layout = options.layout;
    store.TableName = layout.table;
    store.OwnerIDField = layout.idCol;
    store.OwnerDescField = layout.descCol;
    store.OwnerGroupField = layout.groupCol;
    store.OwnerCommentsField = layout.commentsCol;
    store.OwnerDefaultPhotoField = layout.defaultCol;
    store.OwnerPhotoField = layout.photoCol;
    store.SaveAsFile = options.filesFolder.has_value();
    store.PhotosFolder = options.filesFolder.value_or("");
    store.PhotosMaxSize = options.maxKb.value_or(0);
    if (options.appPath) SetAppPath(*options.appPath);
}

void InitOwner(CPicture& store, StoreListener& events, const std::string& owner,
               const std::string& group, const std::shared_ptr<Connection>& cnn,
               const std::string& ownerName) {
    store.Init(owner, group, ownerName, nullptr, cnn);
    events.ThrowIfAny("cannot read the photo table " + store.TableName);
}

OwnerSession::OwnerSession(const CliOptions& options, const std::string& owner,
                           const std::string& group, const std::string& fallbackDatabase)
    : owner(CPicture::StoredText(owner)),
      cnn(OpenDatabase(DatabaseTarget(options, fallbackDatabase))) {
    ConfigureStore(store, options);
    store.AddListener(&events);
    InitOwner(store, events, this->owner, CPicture::StoredText(group), cnn, options.ownerName);
}

void OwnerSession::findDescribed(const std::string& description, bool unreadablePhotoWillDo) {
    events.found = false;
    store.SearchForRecord("", description);
    // On the row with its own values read, only the photo failed: enough to delete it by.
    const bool onTheRow = events.found && store.PhotoCode() == owner &&
                          UCase(store.PhotoDescription()) == UCase(description);
    if (unreadablePhotoWillDo && onTheRow) events.messages.clear();
    events.ThrowIfAny("cannot search the photos of " + owner);
    if (!events.found) throw CommandError(owner + " has no photo described '" + description + "'");
}

}  // namespace kelvo::cli
