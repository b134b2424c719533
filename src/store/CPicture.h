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

    const std::string& PhotoCode() const;
    void PhotoCode(const std::string& value);  // raises DataValidated
    const std::string& PhotoDescription() const;
    void PhotoDescription(const std::string& value);  // raises DataValidated
    const std::string& PhotosGroup() const;
    void PhotosGroup(const std::string& value);
    const std::string& PhotosOwnerName() const;
    void PhotosOwnerName(const std::string& value);
    const std::string& PhotoComments() const;
    void PhotoComments(const std::string& value);
    bool DefaultPhoto() const;
    void DefaultPhoto(bool value);

    std::int32_t MaxCodeLength() const;
    void MaxCodeLength(std::int32_t v);
    std::int32_t MaxDescriptionLength() const;
    void MaxDescriptionLength(std::int32_t v);
    std::int32_t MaxQualifierLength() const;
    void MaxQualifierLength(std::int32_t v);
    std::int32_t MaxCommentsLength() const;
    void MaxCommentsLength(std::int32_t v);

    bool RecordEOF() const;
    void RecordEOF(bool v);
    bool RecordBOF() const;
    void RecordBOF(bool v);

    const std::shared_ptr<Connection>& DBConnection() const;
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
        explicit PhotosOnDemand(CPicture& store);
        ~PhotosOnDemand();
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

    const Services& services() const;

  private:
    // The machinery behind the operations (store_internal.h).
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace kelvo
