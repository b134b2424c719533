// Keyset recordset over one table, as ADO keeps it: keys at Open, values when a row is
// current, changes staged until Update.
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
#include "platform/db/connection.h"
#include "platform/db/field.h"

namespace kelvo {

class Cursor;  // keyset state of an open recordset

// What a recordset selects: SELECT * FROM table WHERE c1=v1 AND ... ORDER BY orderBy.
struct KELVO_API Selection {
    std::string table;
    std::vector<Condition> where;
    std::string orderBy;  // a column name, or "" for the table's own order
};

// Opaque position of a row in a recordset's keyset.
struct KELVO_API Bookmark {
    std::int64_t index = -1;
    bool operator==(const Bookmark&) const = default;
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
    // Source, connection and Open in one step, as ADO's Open with both arguments.
    void Open(Selection source, std::shared_ptr<Connection> connection);
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
    // The same for the first row whose `column` reads as true (not Null, not zero or false),
    // the way a default flag is found: the engine names the few such rows, so an owner of
    // thousands of rows is not read row by row.
    void FindFirstTrue(const std::string& column);

    // Restricts RecordCount and movement to matching rows (same grammar as Find); ""
    // clears. Setting or clearing moves to the first row.
    void Filter(const std::string& criteria);
    const std::string& Filter() const;

    Bookmark GetBookmark() const;  // throws Error without a current row
    void SetBookmark(const Bookmark& mark);
    // An opaque value naming the current row in its table, the same across Requery while
    // the row stays where the engine keeps it. Throws Error without a current row.
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
    Cursor& cursor() const;  // throws Error when the recordset is closed
    Engine& engine() const;  // throws Error when the connection is closed

    std::shared_ptr<Connection> connection_;
    Selection source_;
    std::unique_ptr<Cursor> cursor_;
    std::vector<std::unique_ptr<Field>> fields_;
    std::string filter_;
};

}  // namespace kelvo
