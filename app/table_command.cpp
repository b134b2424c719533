// create-table: the photo table with the column types of the engine, and an owner index.
#include <regex>

#include "commands.h"

namespace kelvo::cli {
namespace {

// Names go into the statement text, so only plain identifiers are taken; left unquoted,
// as hosts write them (PostgreSQL folds them to lower case, the store matches either way).
std::string checkedName(const std::string& name) {
    static const std::regex plain("[A-Za-z_][A-Za-z0-9_]{0,62}");
    if (!std::regex_match(name, plain))
        throw UsageError("'" + name + "' is not a usable table or column name");
    return name;
}

}  // namespace

bool PhotoTableExists(const std::shared_ptr<Connection>& cnn, const TableLayout& layout) {
    Recordset rs;
    rs.ActiveConnection(cnn);
    rs.Source(Selection{layout.table, {}, ""});
    try {
        rs.Open();
        return true;
    } catch (const Error&) {
        return false;
    }
}

void CreatePhotoTable(Connection& cnn, const TableLayout& layout) {
    const bool pg = cnn.Engine() == "postgresql";
    const std::string text = "TEXT";
    const std::string flag = "BOOLEAN";
    const std::string binary = pg ? "BYTEA" : "BLOB";
    const std::string table = checkedName(layout.table);
    try {
        cnn.Execute("CREATE TABLE " + table + " (" + checkedName(layout.idCol) + " " + text + ", " +
                    checkedName(layout.descCol) + " " + text + ", " + checkedName(layout.groupCol) +
                    " " + text + ", " + checkedName(layout.commentsCol) + " " + text + ", " +
                    checkedName(layout.defaultCol) + " " + flag + ", " +
                    checkedName(layout.photoCol) + " " + binary + ")");
        cnn.Execute("CREATE INDEX " + checkedName(layout.table + "_" + layout.idCol + "_idx") +
                    " ON " + table + " (" + checkedName(layout.idCol) + ", " +
                    checkedName(layout.groupCol) + ")");
    } catch (const Error& e) {
        throw CommandError("cannot create the photo table " + layout.table + ": " + e.what());
    }
}

int CreateTableCommand(const CliOptions& options) {
    RequireOperands(options, 0, "create-table [--table T] [--id-col C] ...");
    auto cnn = OpenDatabase(DatabaseTarget(options));
    CreatePhotoTable(*cnn, options.layout);
    std::printf("created table %s\n", Shown(options.layout.table).c_str());
    return 0;
}

}  // namespace kelvo::cli
