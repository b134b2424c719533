// The temporary file behind staged binary values.
#include "platform/db/spool.h"

#include <cerrno>
#include <cstring>

namespace kelvo {

Spool::Spool() : file_(std::tmpfile()) {
    if (!file_)
        throw Error(std::string("cannot create a temporary file for binary data: ") +
                    std::strerror(errno));
}

Spool::~Spool() {
    std::fclose(file_);
}

void Spool::Append(const Bytes& chunk) {
    if (chunk.empty()) return;
    std::fseek(file_, 0, SEEK_END);
    if (std::fwrite(chunk.data(), 1, chunk.size(), file_) != chunk.size() ||
        std::fflush(file_) != 0)
        throw Error(std::string("cannot write binary data to a temporary file: ") +
                    std::strerror(errno));
    size_ += static_cast<std::int64_t>(chunk.size());
}

BlobWrite Spool::Writer(const ColumnInfo& column) {
    std::rewind(file_);
    BlobWrite write;
    write.column = column;
    write.size = size_;
    write.read = [this](std::uint8_t* out, std::size_t length) {
        const std::size_t got = std::fread(out, 1, length, file_);
        if (got == 0 && std::ferror(file_))
            throw Error("cannot read binary data back from a temporary file");
        return got;
    };
    return write;
}

}  // namespace kelvo
