// Connecting kelvophotos to its database and configuring a photo store from the options.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli_options.h"
#include "store/CPicture.h"

namespace kelvo::cli {

// A command that ran but failed (exit status 1).
class CommandError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Collects the store's error events, answers and positions while a command runs, so a
// command can fail with the store's own text.
class StoreListener : public CPictureEvents {
  public:
    void TableError(std::string& sTableError) override { messages.push_back(sTableError); }
    void ErrorDescrption(std::string& sErrDescrption) override {
        messages.push_back(sErrDescrption);
    }
    void ErrorSavingPhoto(std::string& sErrMsg) override { messages.push_back(sErrMsg); }
    void RecordExists(bool& bExists) override { found = bExists; }
    void DescriptionExists(bool& bExists) override { descriptionTaken = bExists; }
    void RecordPosition(std::int32_t& lRecordPosition, std::int32_t& lTotalRecords) override {
        position = lRecordPosition;
        total = lTotalRecords;
    }

    // Throws CommandError with the first message (and what was being done) when any came.
    void ThrowIfAny(const std::string& doing) const;

    std::vector<std::string> messages;
    bool found = false;
    bool descriptionTaken = false;
    std::int32_t position = 0, total = 0;
};

// The database the options name; `fallback` when --db is not given.
std::string DatabaseTarget(const CliOptions& options,
                           const std::string& fallback = "kelvophotos.db");

// Opens the database. Throws CommandError with the engine's message.
std::shared_ptr<Connection> OpenDatabase(const std::string& target);

// Table, columns, file mode, size limit and application folder from the options.
void ConfigureStore(CPicture& store, const CliOptions& options);

// Init on one owner; throws CommandError when the table cannot be read.
void InitOwner(CPicture& store, StoreListener& events, const std::string& owner,
               const std::string& group, const std::shared_ptr<Connection>& cnn,
               const std::string& ownerName = "");

// A store on one owner, configured from the options, with its listener attached. An empty
// owner or group is taken as the store writes it, so its rows are found and checked.
struct OwnerSession {
    OwnerSession(const CliOptions& options, const std::string& owner, const std::string& group,
                 const std::string& fallbackDatabase = "kelvophotos.db");
    std::int32_t rowCount() { return store.PhotoCount(); }
    // Moves to the photo described `description`; throws CommandError when there is none,
    // or when it cannot be read unless `unreadablePhotoWillDo`.
    void findDescribed(const std::string& description, bool unreadablePhotoWillDo = false);

    std::string owner;
    std::shared_ptr<Connection> cnn;
    CPicture store;
    StoreListener events;
};

}  // namespace kelvo::cli
