// Chunked, checked copies between photo columns and files for the bulk operations.
#include "convert/column_copy.h"

#include "store/store_internal.h"

namespace kelvo::convert {
namespace {

using store::kChunkSize;

void copyChunk(Field& column, std::int64_t size, OutputFile& out) {
    if (size == 0) return;
    Bytes chunk = column.GetChunk(size);
    if (static_cast<std::int64_t>(chunk.size()) != size)
        throw Error("the photo column " + column.Name() + " ended before its stated size");
    out.Write(chunk.data(), chunk.size());
}

void appendChunk(InputFile& in, std::int64_t size, Field& column, const std::string& source) {
    if (size == 0) return;
    Bytes chunk(static_cast<std::size_t>(size));
    std::size_t got = 0;
    while (got < chunk.size()) {
        std::size_t n = in.Read(chunk.data() + got, chunk.size() - got);
        if (n == 0) throw Error("the photo file " + source + " ended before its stated length");
        got += n;
    }
    column.AppendChunk(chunk);
}

}  // namespace

std::int64_t CopyColumnToFile(Field& column, FileSystem& files, const std::string& target) {
    const std::int64_t length = column.ActualSize();
    std::unique_ptr<TempFile> out = files.OpenTempFile(FolderOf(target), store::kTempFilePrefix);
    copyChunk(column, length % kChunkSize, *out);
    for (std::int64_t i = 0; i < length / kChunkSize; ++i) copyChunk(column, kChunkSize, *out);
    out->Close();
    if (out->Length() != length) throw Error("the photo file " + target + " was not written whole");
    out->MoveTo(target);
    return length;
}

std::int64_t AppendFileToColumn(FileSystem& files, const std::string& source, Field& column) {
    std::unique_ptr<InputFile> in = files.OpenRegularFile(source);
    const std::int64_t length = in->Length();
    store::RequireFitsColumn(length, "the photo file " + source);
    appendChunk(*in, length % kChunkSize, column, source);
    for (std::int64_t i = 0; i < length / kChunkSize; ++i)
        appendChunk(*in, kChunkSize, column, source);
    return length;
}

}  // namespace kelvo::convert
