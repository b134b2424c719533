// create-table: the photo table with the column types of the engine, and an owner index.
#include <regex>

#include "commands.h"

namespace kelvo::cli {
namespace {

// Names go into the statement text, so only plain identifiers are taken.
std::string quotedName(const std::string& name) {
    static const std::regex plain("[A-Za-z_][A-Za-z0-9_]{0,62}");
    if (!std::regex_match(name, plain))
        throw UsageError("'" + name + "' is not a usable table or column name");
    return "\"" + name + "\"";
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
    const std::string text = pg ? "VARCHAR(255)" : "TEXT";
    const std::string flag = "BOOLEAN";
    const std::string binary = pg ? "BYTEA" : "BLOB";
    const std::string table = quotedName(layout.table);
    try {
        cnn.Execute("CREATE TABLE " + table + " (" + quotedName(layout.idCol) + " " + text + ", " +
                    quotedName(layout.descCol) + " " + text + ", " + quotedName(layout.groupCol) +
                    " " + text + ", " + quotedName(layout.commentsCol) + " " + text + ", " +
                    quotedName(layout.defaultCol) + " " + flag + ", " +
                    quotedName(layout.photoCol) + " " + binary + ")");
        cnn.Execute("CREATE INDEX " + quotedName(layout.table + "_" + layout.idCol + "_idx") +
                    " ON " + table + " (" + quotedName(layout.idCol) + ", " +
                    quotedName(layout.groupCol) + ")");
    } catch (const Error& e) {
        throw CommandError("cannot create the photo table " + layout.table + ": " + e.what());
    }
}

int CreateTableCommand(const CliOptions& options) {
    RequireOperands(options, 0, "create-table [--table T] [--id-col C] ...");
    auto cnn = OpenDatabase(DatabaseTarget(options));
    CreatePhotoTable(*cnn, options.layout);
    std::printf("created table %s\n", options.layout.table.c_str());
    return 0;
}

}  // namespace kelvo::cli
