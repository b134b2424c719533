// Field: a column of the current row, read through its recordset's keyset or staged on it.
#include "platform/db/field.h"

#include "platform/db/cursor.h"
#include "platform/db/recordset.h"

namespace kelvo {

Variant Field::Value() const {
    Cursor& cursor = owner_->cursor();
    Engine& engine = owner_->engine();
    const int index = cursor.table().IndexOf(name_);
    if (const Variant* staged = cursor.Staged(index)) return *staged;
    if (cursor.adding()) return Variant();
    cursor.RequireRow("Value");
    const ColumnInfo& column = cursor.table().columns[index];
    if (column.kind == ColumnKind::Binary) {
        ChunkReader& reader = cursor.Reader(index);
        if (!reader.Size(engine, cursor.table(), cursor.key(), column)) return Variant();
        return Variant(reader.Whole(engine, cursor.table(), cursor.key(), column));
    }
    return cursor.RowValues(engine)[index];
}

void Field::Value(const Variant& value) {
    Cursor& cursor = owner_->cursor();
    owner_->engine();
    if (!cursor.adding()) cursor.RequireRow("Value");
    cursor.Stage(cursor.table().IndexOf(name_), value);
}

std::int64_t Field::ActualSize() const {
    Cursor& cursor = owner_->cursor();
    Engine& engine = owner_->engine();
    const int index = cursor.table().IndexOf(name_);
    if (const Spool* spool = cursor.SpoolOf(index)) return spool->Size();
    if (const Variant* staged = cursor.Staged(index)) {
        if (staged->isNull()) return 0;
        if (staged->type() == Variant::Type::Bytes)
            return static_cast<std::int64_t>(staged->bytes().size());
        return static_cast<std::int64_t>(staged->toText().size());
    }
    if (cursor.adding()) return 0;
    cursor.RequireRow("ActualSize");
    // The reader keeps the length, so the GetChunk calls that usually follow do not ask again.
    return cursor.Reader(index)
        .Size(engine, cursor.table(), cursor.key(), cursor.table().columns[index])
        .value_or(0);
}

Bytes Field::GetChunk(std::int64_t length) {
    Cursor& cursor = owner_->cursor();
    Engine& engine = owner_->engine();
    const int index = cursor.table().IndexOf(name_);
    cursor.RequireRow("GetChunk");
    return cursor.Reader(index).Next(engine, cursor.table(), cursor.key(),
                                     cursor.table().columns[index], length);
}

void Field::AppendChunk(const Bytes& chunk) {
    Cursor& cursor = owner_->cursor();
    owner_->engine();
    if (!cursor.adding()) cursor.RequireRow("AppendChunk");
    cursor.SpoolFor(cursor.table().IndexOf(name_)).Append(chunk);
}

}  // namespace kelvo
