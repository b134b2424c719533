// Chunked copies between a photo column and a file, shared by the bulk operations. Each copy
// is checked before its caller lets the photo leave its old form.
#pragma once

#include <cstdint>
#include <string>

#include "platform/db/database.h"
#include "platform/files/files.h"

namespace kelvo::store {

// Writes the bytes of `column` (remainder first, then whole chunks) to a temporary file
// beside `target`, checks its length and renames it to `target`. Returns the byte count.
// Throws Error when the copy is short or any step fails; `target` is then left as it was.
std::int64_t CopyColumnToFile(Field& column, FileSystem& files, const std::string& target);

// Appends the bytes of the file `source` to `column` (remainder first, then whole chunks),
// staged until the caller's Update. Returns the file's length.
std::int64_t AppendFileToColumn(FileSystem& files, const std::string& source, Field& column);

}  // namespace kelvo::store
