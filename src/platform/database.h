// ADO-like database access: Connection, Recordset and Field over SQLite or PostgreSQL.
// No value is ever spliced into SQL text: statements are built from checked, quoted
// identifiers and bound parameters. Every failure throws kelvo::Error with the engine's text.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Recordset::EOF keeps its ADO name; the C library macro of that name would hide it.
#include <cstdio>
#undef EOF

#include "platform/api.h"
#include "platform/error.h"
#include "platform/variant.h"

namespace kelvo {

class Backend;  // engine seam, see platform/db_backend.h
class Cursor;   // keyset state of an open recordset

// `column = value` in a WHERE clause (the engine's own equality).
struct KELVO_API Condition {
    std::string column;
    Variant value;
};

// `column = value` in a SET clause.
struct KELVO_API Assignment {
    std::string column;
    Variant value;
};

// What a recordset selects: SELECT * FROM table WHERE c1=v1 AND ... ORDER BY orderBy.
struct KELVO_API Selection {
    std::string table;
    std::vector<Condition> where;
    std::string orderBy;  // a column name, or "" for the table's own order
};

class KELVO_API Connection {
  public:
    // Opens a database: a "postgresql://" (or "postgres://") URI opens PostgreSQL through
    // libpq; anything else is a SQLite file path, created when missing.
    static std::shared_ptr<Connection> Open(const std::string& target);

    explicit Connection(std::unique_ptr<Backend> backend);
    ~Connection();

    bool IsOpen() const;
    void Close();  // later operations throw Error

    // Attributes as ADO keeps them; stored only.
    long Attributes() const { return attributes_; }
    void Attributes(long value) { attributes_ = value; }

    // Runs a statement of the host's own (DDL, seeding): `?` marks each bound parameter.
    void Execute(const std::string& sql, const std::vector<Variant>& params = {});

    // UPDATE table SET ... WHERE ... (all conditions joined by AND; none = every row).
    void ExecuteUpdate(const std::string& table, const std::vector<Assignment>& set,
                       const std::vector<Condition>& where);
    // DELETE FROM table WHERE ...
    void ExecuteDelete(const std::string& table, const std::vector<Condition>& where);

    // "postgresql" or "sqlite".
    std::string Engine() const;

    Backend& backend();  // REQUIRES: IsOpen(); throws Error otherwise

    // While one lives, the connection's reads may share one view of the database, which
    // spares the engine its locking per statement. Only reads belong in its scope; no
    // connection (nullptr) makes it do nothing.
    class ReadsTogether {
      public:
        explicit ReadsTogether(Connection* connection);
        ~ReadsTogether();
        ReadsTogether(const ReadsTogether&) = delete;
        ReadsTogether& operator=(const ReadsTogether&) = delete;

      private:
        Connection* connection_;
        Backend* engine_;  // the engine the reads began on, unless the connection was closed
    };

    // A write transaction: the writes made in its scope land together on Commit, and none
    // of them when it ends without. REQUIRES: no transaction is open on the connection.
    class WritesTogether {
      public:
        explicit WritesTogether(Connection& connection);  // throws Error
        ~WritesTogether();
        WritesTogether(const WritesTogether&) = delete;
        WritesTogether& operator=(const WritesTogether&) = delete;
        void Commit();

      private:
        Connection& connection_;
        bool open_ = true;
    };

  private:
    std::unique_ptr<Backend> backend_;
    long attributes_ = 0;
};

// Opaque position of a row in a recordset's keyset.
struct KELVO_API Bookmark {
    std::int64_t index = -1;
    bool operator==(const Bookmark&) const = default;
};

class Recordset;

// A column of the current row of a recordset.
class KELVO_API Field {
  public:
    const std::string& Name() const { return name_; }

    Variant Value() const;             // Null for an empty column
    void Value(const Variant& value);  // staged until Recordset::Update

    std::int64_t ActualSize() const;  // stored length in bytes, 0 when Null or empty

    // Next `length` bytes of a binary column, continuing where the last call on this row
    // stopped (a move resets it). Fewer bytes at the end of the value. On SQLite a value
    // read partway keeps the database's read lock until it is read to its end or the
    // connection runs its next statement.
    Bytes GetChunk(std::int64_t length);
    // Appends bytes to the binary column of the current (or new) row; staged until Update.
    // Staged bytes are spooled to a temporary file, never held whole in memory.
    void AppendChunk(const Bytes& chunk);

  private:
    friend class Recordset;
    Field(Recordset& owner, std::string name) : owner_(&owner), name_(std::move(name)) {}
    Recordset* owner_;
    std::string name_;
};

// Keyset recordset: Open takes the keys of the selected rows; their values are read when a
// row becomes current. Rows added through this recordset join the keyset at its end; rows
// added by others appear after Requery.
class KELVO_API Recordset {
  public:
    enum CursorTypeEnum { adOpenKeyset = 1 };
    enum LockTypeEnum { adLockOptimistic = 3 };

    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // Preparation (before Open).
    void ActiveConnection(std::shared_ptr<Connection> connection);
    std::shared_ptr<Connection> ActiveConnection() const;
    void Source(Selection selection);
    const Selection& Source() const;
    int CursorType = adOpenKeyset;
    int LockType = adLockOptimistic;

    // Opens on the prepared connection and source. Throws Error for a missing or closed
    // connection, a table or column that does not exist, a recordset already open.
    void Open();
    bool IsOpen() const;
    void Close();

    // Everything below throws Error when the recordset is not open.
    std::int32_t RecordCount() const;  // exact; counts only rows passing the Filter
    bool BOF() const;
    bool EOF() const;
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();

    // Searches forward from the current row (included) for the first row that matches
    // `criteria`; leaves EOF true when none does. Criteria grammar (parsed here, never
    // handed to SQL): `column='text'` (text compared without regard to case; everything
    // between the first `='` and the final `'` is the value, quotes included) or
    // `column=number`. Anything else throws Error.
    void Find(const std::string& criteria);
    // The same for the first row whose `column` satisfies `test`. Reads only that column,
    // many rows at a time, so it is the cheap way to walk far for one value.
    void FindFirst(const std::string& column, const std::function<bool(const Variant&)>& test);

    // Restricts RecordCount and movement to matching rows (same grammar as Find); ""
    // clears. Setting or clearing moves to the first row.
    void Filter(const std::string& criteria);
    const std::string& Filter() const;

    Bookmark GetBookmark() const;  // REQUIRES: a current row
    void SetBookmark(const Bookmark& mark);
    // An opaque value naming the current row in its table, the same across Requery while
    // the row stays where the engine keeps it. REQUIRES: a current row.
    Variant RowIdentity() const;

    void AddNew();                   // starts a new row; field values set until Update go into it
    void Update();                   // writes the new row or the staged changes of the current row
    void CancelUpdate();             // drops staged values
    void Delete(int affect = 1);     // deletes the current row; it stays current until a move
    void Requery(int options = -1);  // keys taken anew; stands on the first row

    // The column `name` of the current row. Throws Error for a column the table lacks.
    Field& Fields(const std::string& name);

    // The table's column names as the engine spells them.
    std::vector<std::string> ColumnNames() const;

  private:
    friend class Field;
    std::shared_ptr<Connection> connection_;
    Selection source_;
    std::unique_ptr<Cursor> cursor_;
    std::vector<std::unique_ptr<Field>> fields_;
    std::string filter_;
};

}  // namespace kelvo
