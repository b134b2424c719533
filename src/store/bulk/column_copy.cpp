// Chunked, checked copies between photo columns and files for the bulk operations.
#include "store/bulk/column_copy.h"

#include "store/store_internal.h"

namespace kelvo::store {
namespace {

void copyChunk(Field& column, std::int64_t size, OutputFile& out) {
    if (size == 0) return;
    Bytes chunk = column.GetChunk(size);
    if (static_cast<std::int64_t>(chunk.size()) != size)
        throw Error("the photo column " + column.Name() + " ended before its stated size");
    out.Write(chunk.data(), chunk.size());
}

}  // namespace

std::int64_t CopyColumnToFile(Field& column, FileSystem& files, const std::string& target) {
    const std::int64_t length = column.ActualSize();
    std::unique_ptr<TempFile> out = files.OpenTempFile(FolderOf(target), store::kTempFilePrefix);
    store::ForEachChunk(length, [&](std::int64_t size) { copyChunk(column, size, *out); });
    out->Close();
    if (out->Length() != length) throw Error("the photo file " + target + " was not written whole");
    out->MoveTo(target);
    return length;
}

std::int64_t AppendFileToColumn(FileSystem& files, const std::string& source, Field& column) {
    std::unique_ptr<InputFile> in = files.OpenRegularFile(source);
    const std::int64_t length = in->Length();
    store::RequireFitsColumn(length, "the photo file " + source);
    const std::string ended = "the photo file " + source + " ended before its stated length";
    store::ForEachChunk(
        length, [&](std::int64_t size) { store::AppendFromFile(*in, size, column, ended); });
    return length;
}

}  // namespace kelvo::store
