// Command-line arguments of kelvophotos: the command, its operands and the options.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvo::cli {

// A command line that cannot be run as given (exit status 2).
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The photo table and its columns.
struct TableLayout {
    std::string table = "PHOTOS";
    std::string idCol = "CODE", descCol = "DESCR", groupCol = "GRP", commentsCol = "COMMENTS",
                defaultCol = "DEF", photoCol = "PIC";
};

struct CliOptions {
    std::string command;
    std::vector<std::string> operands;
    std::optional<std::string> db;  // file path or postgresql:// URI
    TableLayout layout;
    std::optional<std::string> filesFolder;  // --files: photos as files in this folder
    std::optional<double> maxKb;
    std::optional<std::string> appPath;
    std::optional<std::string> description;
    std::string comments;
    bool makeDefault = false;
    std::string ownerName;
    bool noWindow = false;
    bool help = false;
};

// Throws UsageError for an unknown option, a missing option value, a number that is not
// finite or is below 0, or an argument that is not UTF-8 text.
CliOptions ParseArguments(const std::vector<std::string>& args);

// `text` safe to print on a terminal: control characters, bidirectional overrides and bytes
// that are not UTF-8 are written as escapes (\x1b, \u{202e}).
std::string Shown(const std::string& text);

// What --help prints.
std::string UsageText();

// REQUIRES: options.command known. Throws UsageError unless it has exactly `count` operands.
void RequireOperands(const CliOptions& options, std::size_t count, const char* synopsis);

}  // namespace kelvo::cli
