// The bulk commands: convert-to-files, convert-to-blobs and extract, with a progress bar.
#include <cstdio>
#include <filesystem>

#include "commands.h"
#include "platform/files/files.h"
#include "progress_bar.h"

namespace kelvo::cli {
namespace {

// Counts the extraction's one yield per row into the bar, since it raises no event.
class YieldCounter : public Interaction {
  public:
    YieldCounter(Interaction& inner, ProgressBar& bar, std::int32_t total)
        : inner_(inner), bar_(bar), total_(total) {}
    int MsgBox(const std::string& prompt, int style, const std::string& title) override {
        return inner_.MsgBox(prompt, style, title);
    }
    void DoEvents() override {
        inner_.DoEvents();
        bar_.Update("Extracting photos...", ++rows_, total_);
    }
    std::int32_t rows() const { return rows_; }

  private:
    Interaction& inner_;
    ProgressBar& bar_;
    std::int32_t total_;
    std::int32_t rows_ = 0;
};

// The number of the table's rows that match; a failure to read the table names it.
std::int32_t rowCount(const std::shared_ptr<Connection>& cnn, const std::string& table,
                      std::vector<Condition> where = {}) {
    Recordset rs;
    rs.ActiveConnection(cnn);
    rs.Source(Selection{table, std::move(where), ""});
    try {
        rs.Open();
        return rs.RecordCount();
    } catch (const Error& e) {
        throw CommandError("cannot read the table " + table + ": " + e.what());
    }
}

int convert(const CliOptions& options, bool toFiles) {
    RequireOperands(
        options, 0,
        toFiles ? "convert-to-files [--files FOLDER]" : "convert-to-blobs [--files FOLDER]");
    auto cnn = OpenDatabase(DatabaseTarget(options));
    CPicture store;
    ConfigureStore(store, options);
    store.SaveAsFile = toFiles;
    StoreListener events;
    ProgressBar bar(stdout, IsTerminal(stdout));
    ProgressListener progress(bar);
    store.AddListener(&events);
    store.AddListener(&progress);
    bool done = toFiles ? store.ConvertAllToFiles(cnn) : store.ConvertAllToBlobs(cnn);
    bar.Finish();
    const char* what =
        toFiles ? "convert the photos to files" : "convert the photos to the database";
    events.ThrowIfAny(std::string("could not ") + what);
    if (!done) {
        rowCount(cnn, store.TableName);  // the usual cause, which the conversion does not report
        throw CommandError(std::string("could not ") + what + " (table " + store.TableName + ")");
    }
    std::printf("done: photos are now %s%s\n", toFiles ? "files in " : "in the table ",
                toFiles ? Shown(store.PhotosFolder).c_str() : Shown(store.TableName).c_str());
    return 0;
}

}  // namespace

int ConvertToFilesCommand(const CliOptions& options) {
    return convert(options, true);
}

int ConvertToBlobsCommand(const CliOptions& options) {
    return convert(options, false);
}

int ExtractCommand(const CliOptions& options) {
    RequireOperands(options, 3, "extract SOURCE_TABLE GROUP FOLDER");
    const std::string& source = options.operands[0];
    const std::string& group = options.operands[1];
    std::string folder = options.operands[2];
    if (!folder.empty()) folder = WithTrailingSeparator(folder);
    // The extraction writes into the folder as it is; a missing one would take no file.
    std::error_code made;
    if (!folder.empty() && !std::filesystem::create_directories(folder, made) && made)
        throw CommandError("cannot create the folder " + folder + ": " + made.message());
    auto cnn = OpenDatabase(DatabaseTarget(options));
    const std::int32_t total = rowCount(cnn, source, {{options.layout.groupCol, group}});

    ProgressBar bar(stdout, IsTerminal(stdout));
    YieldCounter yields(*DefaultServices().interaction, bar, total);
    Services services = DefaultServices();
    services.interaction = &yields;
    CPicture store(services);
    ConfigureStore(store, options);
    // Init only lends the store its connection; the photo table itself need not exist.
    store.Init("", "", "", nullptr, cnn);
    store.ExtractToFiles(source, group, folder);
    bar.Finish();
    const std::int32_t left = rowCount(cnn, source, {{options.layout.groupCol, group}});
    std::printf("extracted %d of %d photo(s) of %s to %s\n", total - left, total,
                Shown(group).c_str(), Shown(folder).c_str());
    if (left > 0)
        throw CommandError(std::to_string(left) + " row(s) of " + group +
                           " were not extracted and stay in " + source);
    return 0;
}

}  // namespace kelvo::cli
