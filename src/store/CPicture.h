// CPicture, the photo store: configuration, properties, events and every operation a host
// calls. Each group of operations lives in its own unit of src/store (the bulk ones in bulk/).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/api.h"
#include "platform/db/database.h"
#include "platform/pictures/picture.h"
#include "platform/ui/interaction.h"

namespace kelvo {

class TempFile;

// Listener of a store's events. Every argument is passed by reference and some raisers read
// it back after the event. With several listeners, each sees what the previous one left.
class KELVO_API CPictureEvents {
  public:
    virtual ~CPictureEvents() = default;
    virtual void DataValidated(bool& bValid, std::string& sMsg) {}
    virtual void RecordPosition(std::int32_t& lRecordPosition, std::int32_t& lTotalRecords) {}
    virtual void IsFirstRecord(bool& bIsFirstRecord) {}
    virtual void IsLastRecord(bool& bIsLastRecord) {}
    virtual void CodeExists(bool& bExists) {}
    virtual void DescriptionExists(bool& bExists) {}
    virtual void RecordExists(bool& bExists) {}
    virtual void TableError(std::string& sTableError) {}
    virtual void ErrorDescrption(std::string& sErrDescrption) {}
    virtual void ErrorSavingPhoto(std::string& sErrMsg) {}
    virtual void ConversionProgress(std::string& msg, std::int32_t& Pos, std::int32_t& TotalRecs) {}
};

// An image control reached by property name (Visible, Stretch, Width, Height, Left, Top,
// BorderStyle). Flags travel as Bool variants, sizes as Double. Unknown names throw Error.
class KELVO_API ImageControl {
  public:
    virtual ~ImageControl() = default;
    virtual Variant GetProperty(const std::string& name) = 0;
    virtual void SetProperty(const std::string& name, const Variant& value) = 0;
};

class CPicture;

// Opens the editor window modally on `store`; returns the window's store once it has closed.
using PhotoEditorLauncher = std::function<CPicture*(CPicture& store)>;

class KELVO_API CPicture {
  public:
    // A service left null is the real one (DefaultServices).
    explicit CPicture(const Services& services = DefaultServices());
    ~CPicture();
    CPicture(const CPicture&) = delete;
    CPicture& operator=(const CPicture&) = delete;

    // --- Configuration fields: plain values, read when an operation runs. ---
    double PhotosMaxSize = 0;  // kilobytes of bitmap format; 0 = no limit
    bool SaveAsFile = false;
    std::string PhotosFolder;  // rewritten with the resolved folder
    std::string TableName;
    std::string OwnerIDField, OwnerDescField, OwnerGroupField, OwnerCommentsField,
        OwnerDefaultPhotoField, OwnerPhotoField;  // "" = column not used
    double BackColor = 0;
    std::shared_ptr<Recordset> m_rsPhotoDetails;

    // --- Properties. ---
    // Self-creating: never returns null; an empty store yields a new empty picture.
    PicturePtr OwnerPhoto();
    void OwnerPhoto(PicturePtr picture);  // nullptr = nothing
    PicturePtr Photo() { return OwnerPhoto(); }
    void Photo(PicturePtr picture) { OwnerPhoto(std::move(picture)); }

    const std::string& PhotoCode() const { return m_sPhotoCode; }
    void PhotoCode(const std::string& value);  // raises DataValidated
    const std::string& PhotoDescription() const { return m_sPhotoDescription; }
    void PhotoDescription(const std::string& value);  // raises DataValidated
    const std::string& PhotosGroup() const { return m_sPhotosGroup; }
    void PhotosGroup(const std::string& value) { m_sPhotosGroup = value; }
    const std::string& PhotosOwnerName() const { return m_sPhotosOwnerName; }
    void PhotosOwnerName(const std::string& value) { m_sPhotosOwnerName = value; }
    const std::string& PhotoComments() const { return m_sPhotoComments; }
    void PhotoComments(const std::string& value) { m_sPhotoComments = value; }
    bool DefaultPhoto() const { return m_bDefaultPhoto; }
    void DefaultPhoto(bool value) { m_bDefaultPhoto = value; }

    std::int32_t MaxCodeLength() const { return m_lMaxCodeLength; }
    void MaxCodeLength(std::int32_t v) { m_lMaxCodeLength = v; }
    std::int32_t MaxDescriptionLength() const { return m_lMaxDescriptionLength; }
    void MaxDescriptionLength(std::int32_t v) { m_lMaxDescriptionLength = v; }
    std::int32_t MaxQualifierLength() const { return m_lMaxQualifierLength; }
    void MaxQualifierLength(std::int32_t v) { m_lMaxQualifierLength = v; }
    std::int32_t MaxCommentsLength() const { return m_lMaxCommentsLength; }
    void MaxCommentsLength(std::int32_t v) { m_lMaxCommentsLength = v; }

    bool RecordEOF() const { return m_bRecordEOF; }
    void RecordEOF(bool v) { m_bRecordEOF = v; }
    bool RecordBOF() const { return m_bRecordBOF; }
    void RecordBOF(bool v) { m_bRecordBOF = v; }

    const std::shared_ptr<Connection>& DBConnection() const { return m_cnDBConnection; }
    // The rows Init opened; throws Error before Init.
    std::int32_t PhotoCount();
    // Reads the rows again, taking in those other connections added; throws Error.
    void RequeryPhotos();

    // A value as the store writes it into a row: an empty one becomes "-".
    static std::string StoredText(const std::string& value) { return value.empty() ? "-" : value; }

    // --- Events. --- The store does not own its listeners.
    void AddListener(CPictureEvents* listener);
    void RemoveListener(CPictureEvents* listener);

    // --- State and Init. ---
    void Init(const std::string& strCode, const std::string& strQualifier,
              const std::string& strQulifierName = "",
              std::shared_ptr<Recordset> rsSource = nullptr,
              std::shared_ptr<Connection> cnn = nullptr);

    // --- Loading and searching. ---
    void LoadData(bool bDefaultPhoto = false, bool bConverting = false);
    void SearchForRecord(const std::string& sCode = "", const std::string& sDescription = "");
    // While one lives, loading a row in database mode passes over its photo, and OwnerPhoto
    // reads the photo of the row last loaded when it is asked for: a walk over the rows for
    // their texts decodes no photo.
    class PhotosOnDemand {
      public:
        explicit PhotosOnDemand(CPicture& store) : store_(store) { ++store_.m_photosOnDemand; }
        ~PhotosOnDemand() { --store_.m_photosOnDemand; }
        PhotosOnDemand(const PhotosOnDemand&) = delete;
        PhotosOnDemand& operator=(const PhotosOnDemand&) = delete;

      private:
        CPicture& store_;
    };

    // --- Navigation. --- FirstRecord and LastRecord let errors through as Error.
    void FirstRecord();
    void LastRecord();
    void NextRecord();
    void PreviousRecord();

    // --- Existence checks. ---
    void CheckIfCodeExists(const std::string& vData);
    void CheckIfDescriptionExists(const std::string& vData);

    // --- Entry operations. ---
    PicturePtr GetPhoto(const std::string& PhotosGroup, const std::string& OwnerID,
                        std::shared_ptr<Connection> cnn);
    // Throws Error when no editor window can be shown (see SetPhotoEditorLauncher).
    PicturePtr EditPhoto(const std::string& PhotosGroup, const std::string& OwnerID,
                         const std::string& OwnerDescription, std::shared_ptr<Connection> cnn);
    // Installed by the editor library; the store itself has no window.
    static void SetPhotoEditorLauncher(PhotoEditorLauncher launcher);

    // --- Saving and deleting. ---
    void SavePhotoDetails(bool bNewRecord = false, bool bConverting = false);
    void DeleteRecord();
    void DeletePhotos();
    void UnSetDefaultPhoto(const std::string& strCode,
                           const std::string& strDescription);  // throws
    // Makes the owner's photo described `strDescription` (as its row holds it) the owner's
    // only default. Throws Error; inside a WritesTogether a failure keeps the old default.
    void MarkDefaultPhoto(const std::string& strDescription);
    // In file mode, deletes the photo file of the current code, description and group: for a
    // save whose row a rollback takes out. Call it while the transaction still holds the
    // rows, so no other save can have written that name meanwhile. Raises ErrorSavingPhoto.
    void DiscardPhotoFile();

    // --- Sizes and temporary files. ---
    std::string GetTempPixName();
    std::string CheckPicDiskSize(const Picture& Picx, double* dSize = nullptr);
    std::string VerifyPhotoSize(const Picture& Picx, bool* bSizeOver = nullptr);

    // --- Fitting. ---
    void ResizePhoto(ImageControl& imgCtrl, double MaxWidth, double MaxHeight);

    // --- Bulk operations (src/store/bulk). ---
    bool ConvertAllToFiles(std::shared_ptr<Connection> cnn = nullptr);
    bool ConvertAllToBlobs(std::shared_ptr<Connection> cnn = nullptr);
    void ExtractToFiles(const std::string& sTableName, const std::string& sQualifier,
                        const std::string& sFolderPath);

    const Services& services() const { return m_services; }

  private:
    // Raising events to every listener.
    template <typename Method, typename... Args>
    void raise(Method method, Args&... args) {
        for (CPictureEvents* listener : std::vector<CPictureEvents*>(m_listeners))
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

    Services m_services;
    std::vector<CPictureEvents*> m_listeners;

    PicturePtr m_picOwnerPhoto;
    int m_photosOnDemand = 0;
    std::optional<Bookmark> m_unreadPhotoRow;  // the row whose photo OwnerPhoto is to read
    std::shared_ptr<Connection> m_cnDBConnection;
    std::string m_sPhotoCode, m_sPhotoDescription, m_sPhotosGroup, m_sPhotosOwnerName,
        m_sPhotoComments;
    bool m_bDefaultPhoto = false;
    std::int32_t m_lMaxCodeLength = 0, m_lMaxDescriptionLength = 0, m_lMaxQualifierLength = 0,
                 m_lMaxCommentsLength = 0;
    bool m_bRecordEOF = false, m_bRecordBOF = false;
    std::int32_t m_lRecordPosition = 0;
    std::int32_t m_lTotalRecords = 0;
    // The machinery behind the operations (store_internal.h).
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace kelvo
