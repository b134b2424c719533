// The kelvophotos commands. Each returns the exit status, or throws CommandError (status 1)
// or UsageError (status 2) with a one-line message.
#pragma once

#include "cli_options.h"
#include "store/CPicture.h"
#include "store_setup.h"

namespace kelvo::cli {

int CreateTableCommand(const CliOptions& options);
int AddCommand(const CliOptions& options);
int ListCommand(const CliOptions& options);
int ExportCommand(const CliOptions& options);
int SearchCommand(const CliOptions& options);
int SetDefaultCommand(const CliOptions& options);
int DeleteCommand(const CliOptions& options);
int DeleteOwnerCommand(const CliOptions& options);
int ConvertToFilesCommand(const CliOptions& options);
int ConvertToBlobsCommand(const CliOptions& options);
int ExtractCommand(const CliOptions& options);
int EditCommand(const CliOptions& options);
int DemoCommand(const CliOptions& options);

// Shared by the commands.
void CreatePhotoTable(Connection& cnn, const TableLayout& layout);
bool PhotoTableExists(const std::shared_ptr<Connection>& cnn, const TableLayout& layout);
// Adds `picture` as a new photo of the store's owner (after InitOwner).
void AddPhotoToOwner(CPicture& store, StoreListener& events, const PicturePtr& picture,
                     const std::string& description, const std::string& comments, bool makeDefault);
// Prints the owner's photos, one line each; returns how many.
int PrintOwnerPhotos(CPicture& store, StoreListener& events);

}  // namespace kelvo::cli
