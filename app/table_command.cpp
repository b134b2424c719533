// create-table: the photo table with the column types of the engine, and a unique index on
// owner, group and description, never Null (two rows of one description would share one
// photo file).
#include <algorithm>
#include <cctype>

#include "commands.h"
#include "platform/db/engine.h"

namespace kelvo::cli {
namespace {

// Names are checked as the store checks them and quoted. PostgreSQL gets them folded to
// lower case, as it folds unquoted names, so hosts' own unquoted SQL finds the table.
class NameQuoter {
  public:
    explicit NameQuoter(bool pg) : pg_(pg) {}

    std::string column(const std::string& name) const {
        if (!IsValidIdentifier(name))
            throw UsageError("'" + name + "' is not a usable column name");
        return quoted(name);
    }

    // `schema.table` or `table`, each part checked and quoted.
    std::string table(const std::string& name) const {
        try {
            CheckTableName(name);
        } catch (const Error&) {
            throw UsageError("'" + name + "' is not a usable table name");
        }
        return QuoteTableName(folded(name));
    }

    // A name made from checked ones; PostgreSQL cuts one over 63 bytes, SQLite keeps it.
    std::string quoted(const std::string& name) const { return QuoteIdentifier(folded(name)); }

  private:
    std::string folded(std::string name) const {
        if (pg_)
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return name;
    }
    bool pg_;
};

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
    const NameQuoter quote(pg);
    const std::string text = "TEXT";
    const std::string flag = "BOOLEAN";
    const std::string binary = pg ? "BYTEA" : "BLOB";
    const std::string table = quote.table(layout.table);
    const std::string key = quote.column(layout.idCol) + ", " + quote.column(layout.groupCol) +
                            ", " + quote.column(layout.descCol);
    // The index lives in the table's schema: SQLite names it there, PostgreSQL puts it there.
    const auto [schema, bare] = SplitTableName(layout.table);
    const std::string index = bare + "_owner_key";
    const std::string indexName = pg || schema.empty()
                                      ? quote.quoted(index)
                                      : quote.quoted(schema) + "." + quote.quoted(index);
    const std::string indexedTable = pg ? table : quote.quoted(bare);
    // The key columns are never Null (the store writes "-" for an empty value), so the
    // unique key can be the row identity instead of PostgreSQL's ctid.
    const std::string keyText = text + " NOT NULL";
    try {
        cnn.Execute("CREATE TABLE " + table + " (" + quote.column(layout.idCol) + " " + keyText +
                    ", " + quote.column(layout.descCol) + " " + keyText + ", " +
                    quote.column(layout.groupCol) + " " + keyText + ", " +
                    quote.column(layout.commentsCol) + " " + text + ", " +
                    quote.column(layout.defaultCol) + " " + flag + ", " +
                    quote.column(layout.photoCol) + " " + binary + ")");
        cnn.Execute("CREATE UNIQUE INDEX " + indexName + " ON " + indexedTable + " (" + key + ")");
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
