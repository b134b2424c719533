// Helpers shared by the store's units: the chunk size of photo columns, photo file
// names, and steps whose failure the store passes over.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/db/database.h"
#include "platform/files/files.h"
#include "store/CPicture.h"

namespace kelvo {

// The store's state and the helpers its units share. Reaches the host-visible fields and
// operations through `self`.
struct CPicture::Impl {
    Impl(CPicture& store, Services services) : self(store), services(services) {}

    // Raising events to every listener.
    template <typename Method, typename... Args>
    void raise(Method method, Args&... args) {
        for (CPictureEvents* listener : std::vector<CPictureEvents*>(listeners))
            (listener->*method)(args...);
    }
    void raiseErrorDescrption(const std::string& text);
    void raiseErrorSavingPhoto(const std::string& text);
    // ConversionProgress of the bulk operations: row `pos` of the store's rows.
    void raiseConversionProgress(const std::string& text, std::int32_t pos);
    // Runs `step`; an exception becomes ErrorDescrption and false is returned.
    bool guarded(const std::function<void()>& step);

    void ValidateData();

    // The store's recordset and connection; throw Error when Init has not provided them.
    Recordset& photoRows();
    Connection& connection();
    // Throws Error naming the first configured column that `rs` lacks.
    void requireConfiguredColumns(Recordset& rs) const;
    // Where the store's own statements run: DBConnection, or the recordset's connection
    // when Init was handed only a recordset. Throws Error when there is neither.
    Connection& statementConnection();
    // Filters the rows by `criteria` and raises `event` with whether any row matched.
    void reportMatches(const std::string& criteria, void (CPictureEvents::*event)(bool&));
    // Writes `picture` to `path` through a temporary file in the same folder.
    void writePictureFile(const Picture& picture, const std::string& path);

    // Photo reading and files (photo_reading.cpp, saving.cpp).
    void ResolvePhotosFolder(bool createGivenFolder);
    std::string photoFilePath(const std::string& code, const std::string& description,
                              const std::string& group) const;  // REQUIRES: folder resolved
    // The photo file named by the current row's code, description and group.
    std::string rowPhotoFile(Recordset& rs) const;  // REQUIRES: folder resolved
    // The same, with the row's values made the store's (a whole-table walk's row).
    std::string takeRowValues(Recordset& rs);  // REQUIRES: folder resolved
    // The current row's column into `photo`, as far as it could be read; how many bytes.
    std::int64_t ReadPhotoFromBlob(Recordset& rs, PictureReader& photo);
    bool ReadPhotoFromFile(PicturePtr& pic, const std::string& sCode,
                           const std::string& sDescription, const std::string& sGroup);
    enum class Appended { Nothing, Whole, Part, Refused };
    // How much of the photo went into the column; Refused (and ErrorSavingPhoto raised) for
    // one too long for it, before any of it went in.
    Appended SavePhotoToBlob(Recordset& rs, TempFile& bitmap);
    // False when it failed (and raised ErrorSavingPhoto).
    bool SavePhotoToFile(const PicturePtr& picture, const std::string& code,
                         const std::string& description, const std::string& group);
    // Removes the photo file of these values, for a row whose photo became none.
    void clearPhotoFile(const std::string& code, const std::string& description,
                        const std::string& group);
    // The table's rows holding these values (in the columns that are named); 0 when no
    // column is named. Throws Error when the table cannot be read.
    std::int32_t rowsNamed(const std::string& code, const std::string& description,
                           const std::string& group);
    // Whether a save of these values would take the photo file of a row other than the
    // current one (`editing`) or than a new one.
    bool takesAnotherRowsFile(bool editing, const std::string& code, const std::string& description,
                              const std::string& group);
    void readCurrentPhoto();  // the photo step of LoadData
    // Reads the photo whose reading was put off, standing on its row meanwhile.
    void readUnreadPhoto();

    // Opens a whole-table recordset as m_rsPhotoDetails (the bulk operations).
    void openWholeTable(const std::shared_ptr<Connection>& cnn);
    // ConvertAllToBlobs' second walk: each row's photo file deleted once the row's column
    // holds as many bytes, unless it is one of `kept`; `counter` counts the deletions down.
    void deleteStoredFiles(Recordset& rs, const std::set<std::string>& kept, std::int32_t& counter);

    CPicture& self;
    Services services;
    std::vector<CPictureEvents*> listeners;

    PicturePtr ownerPhoto;
    int photosOnDemand = 0;
    std::optional<Bookmark> unreadPhotoRow;  // the row whose photo OwnerPhoto is to read
    std::shared_ptr<Connection> dbConnection;
    std::string photoCode, photoDescription, photosGroup, ownerName, photoComments;
    bool defaultPhoto = false;
    std::int32_t maxCodeLength = 0, maxDescriptionLength = 0, maxQualifierLength = 0,
                 maxCommentsLength = 0;
    bool recordEOF = false, recordBOF = false;
    std::int32_t recordPosition = 0;
    std::int32_t totalRecords = 0;

    // While an operation runs, the photo it wrote (a file or a photo column) is remembered,
    // so that the same operation reads it back without decoding it again. Forgotten when the
    // outermost operation ends: another program may change it after that.
    class WrittenPhotoScope {
      public:
        explicit WrittenPhotoScope(Impl& impl) : impl_(impl) { ++impl_.writeScopes; }
        ~WrittenPhotoScope() {
            if (--impl_.writeScopes == 0) impl_.writtenPhoto.reset();
        }
        WrittenPhotoScope(const WrittenPhotoScope&) = delete;
        WrittenPhotoScope& operator=(const WrittenPhotoScope&) = delete;

      private:
        Impl& impl_;
    };
    struct WrittenPhoto {
        std::string path;            // a photo file, or
        std::optional<Variant> row;  // the row whose photo column was written
        std::shared_ptr<const PictureImage> image;
    };
    // Remembers `picture` as just written to the file `path` or into the photo column of
    // `row`, while an operation runs and when the picture reads back as itself.
    void rememberWrittenPhoto(PictureService& pictures, const Picture& picture, std::string path,
                              std::optional<Variant> row);
    // The picture of a photo file: shared from this operation's own write of `path` when
    // there was one, otherwise decoded from the file.
    PicturePtr loadPhotoFile(const Services& services, const std::string& path) const;

    int writeScopes = 0;
    std::optional<WrittenPhoto> writtenPhoto;
    double initialMaxSize = 0;             // PhotosMaxSize at Init
    std::optional<Bookmark> nextBookmark;  // the row after the one being converted
};

}  // namespace kelvo

namespace kelvo::store {

// Photo columns move through files in pieces of this size, the remainder first.
inline constexpr std::int64_t kChunkSize = 16384;
// The chunk counter of the column copies is 16-bit, so a column holds at most this many
// whole chunks and a remainder.
inline constexpr std::int64_t kMaxWholeChunks = 32767;
// The longest photo a column holds. Writing and reading refuse the same lengths, so no
// photo goes in that cannot come out.
inline constexpr std::int64_t kMaxPhotoBytes = (kMaxWholeChunks + 1) * kChunkSize - 1;
// Throws Error saying `photo` is too long when `length` is over kMaxPhotoBytes.
void RequireFitsColumn(std::int64_t length, const std::string& photo);
// Calls `piece` with the sizes a `length`-byte photo moves in: the remainder (perhaps 0)
// first, then kChunkSize for each whole chunk.
template <typename Piece>
void ForEachChunk(std::int64_t length, Piece&& piece) {
    piece(length % kChunkSize);
    for (std::int64_t i = 0; i < length / kChunkSize; ++i) piece(kChunkSize);
}
// Appends the next `size` bytes of `in` to `column`; throws Error(`ended`) when `in` ends
// before them.
void AppendFromFile(InputFile& in, std::int64_t size, Field& column, const std::string& ended);
// Temporary names of files being written in a photos folder: hidden, and swept up by a
// later run when a killed one leaves them.
inline constexpr const char* kTempFilePrefix = ".kelvo-";
// Longest file name most file systems accept, in bytes.
inline constexpr std::size_t kMaxFileNameBytes = 255;

// `value` as a piece of a file name. Letters and digits of any script, blanks, "-" and a
// "." that does not follow another "." stay as they are; every other byte (the "_" that
// separates the pieces and the "%" of the escape included) becomes "%XX". So the piece
// holds no separator, no ".." and no wildcard, and two values never give one piece.
std::string EscapedNamePart(const std::string& value);

// `text` cut to at most `maxBytes` bytes, never inside a UTF-8 sequence.
std::string TruncateUtf8(const std::string& text, std::size_t maxBytes);

// "<code>_<description>_<group>.qzr" from escaped pieces: a different name for every triple.
// A code part over 100 bytes, or a name over kMaxFileNameBytes, is cut and given "~" and a
// digest of what was cut, so it still fits and stays apart from every other name.
std::string PhotoFileName(const std::string& code, const std::string& description,
                          const std::string& group);
// "<code>_*.qzr": every photo file of that owner and of no other.
std::string OwnerFilePattern(const std::string& code);
// The file name a code is extracted to: the escaped code, shortened like a photo file name.
// Throws Error for an empty code, which names no file.
std::string ExtractFileName(const std::string& code);

// A column of the current row as text; "" when the column is unnamed or Null.
inline std::string RowText(Recordset& rs, const std::string& column) {
    if (column.empty()) return "";
    const Variant value = rs.Fields(column).Value();
    return value.isNull() ? "" : value.toText();
}

// The answer of `test`, or false when it fails.
template <typename Test>
bool AnswerOrFalse(Test&& test) {
    try {
        return test();
    } catch (const std::exception&) {
        return false;
    }
}

// Deletes `path` when it exists; a failure is passed over (a stray temporary file at worst).
void DeleteQuietly(FileSystem& files, const std::string& path);

}  // namespace kelvo::store
