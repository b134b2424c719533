// frmPhoto, the photo editor window's logic: browse an owner's photos, view them fitted or at
// actual size, add them from a file or the clipboard, describe, save, delete and copy them.
// It works on its store objcPhoto and reaches its controls through FormControls.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "editor/form_controls.h"
#include "store/CPicture.h"

namespace kelvo {

class frmPhoto : public CPictureEvents {
  public:
    explicit frmPhoto(FormControls& controls);
    ~frmPhoto() override;
    frmPhoto(const frmPhoto&) = delete;
    frmPhoto& operator=(const frmPhoto&) = delete;

    // The store the window works on; setting it makes the window receive its events.
    CPicture* objcPhoto() const { return objcPhoto_; }
    void objcPhoto(CPicture* store);

    // Tells the user of an error that escaped a handler, in the window's message box.
    void ReportError(const std::string& text);

    // Start-up and shut-down.
    void Form_Load();
    void InitForm();
    void Form_Unload() {}

    // The photo list.
    void LoadPhotoList();
    void ShowSelectedPhoto(const std::string& sDescription);
    void UpdatePhotoList(const std::string& sDescription, const std::string& sKey);
    void AddModeIfNoPhotos();
    void lvwPicDescription_ItemClick(const std::string& itemKey);

    // Store events followed by the window.
    void DescriptionExists(bool& bExists) override { objcPhoto_DescriptionExists(bExists); }
    void RecordPosition(std::int32_t& lRecordPosition, std::int32_t& lTotalRecords) override {
        objcPhoto_RecordPosition(lRecordPosition, lTotalRecords);
    }
    // Followed only to learn whether the window's own re-search found the shown photo.
    void RecordExists(bool& bExists) override { bLastSearchFound_ = bExists; }
    void objcPhoto_DescriptionExists(bool bExists);
    void objcPhoto_RecordPosition(std::int32_t lRecordPosition, std::int32_t lTotalRecords);

    // Modes and fields.
    void SetEditMode();
    void SetAddMode();
    void UnlockFields();
    void LockFields();
    void ClearFields();
    void SetFormCaption(const std::optional<std::string>& group, const std::string& text,
                        const std::string& prefix);
    void txtDescription_Change();
    void txtComments_Change();
    void chkDefault_Click();

    // Saving, deleting and closing.
    void cmdSave_Click();
    void SavePhoto();
    void DeleteCurrentPhoto();
    void mnuDeleteCurrentPhoto_Click() { DeleteCurrentPhoto(); }
    void cmdClose_Click();

    // The viewer.
    void ResetPhotoArea();
    void MeasurePhoto();
    void LayoutPhoto();
    void optFit_Click() { LayoutPhoto(); }
    void optActualsize_Click() { LayoutPhoto(); }
    void HScLeftSet_Change();
    void VSctopSet_Change();

    // Adding and copying; the action menu.
    void chkAction_Click();
    void mnuAddFromFile_Click();
    void mnuAddFromClipBoard_Click();
    void LoadPhotoFromFile();
    void PastePhoto();
    void mnuCopyToClipboard_Click();

    // The window's members.
    std::string sSelectedKey;
    bool bEditMode = false, bAddMode = false, bChanged = false;
    bool bDescriptionExists = false;
    std::string sDescription;
    std::string sCaptionBase;
    bool bPhotoTooBig = false;
    bool bMenuShowing = false;
    double dPhotoWidth = 0, dPhotoHeight = 0, dPixelWidth = 0, dPixelHeight = 0;

    // The filter table of the open-file dialog.
    static const char* const kPhotoFileFilter;

  private:
    // Setting a control from code raises its change or click handler, as a user's change does.
    void setText(Ctl c, const std::string& text);
    void setValue(Ctl c, int value);
    void setMax(Ctl c, int value);
    void raiseChange(Ctl c);

    CPicture& store();  // throws Error when no store is set
    Interaction& interaction();
    int MsgBox(const std::string& prompt, int style, const std::string& title = "");
    bool photoShown();
    bool clipboardHoldsPicture();
    bool offerToSaveChanges();  // false when the user cancelled
    bool researchShownPhoto();
    int listPosition(const std::string& key);
    std::string listTextOf(const std::string& key);
    std::string uniqueKey(const std::string& base);

    void layoutFitted();
    void layoutActualSize();
    // One direction of the actual-size view: the extent along it, the position that places
    // the photo, the frame covering the corner, its scroll bar and the other scroll bar.
    struct ViewAxis {
        Dim extent, position;
        Ctl cover, bar, otherBar;
    };
    void layoutActualSizeAlong(const ViewAxis& axis);
    void applyPhotoInfoAndLimit();

    FormControls& ctl_;
    CPicture* objcPhoto_ = nullptr;
    bool bLastSearchFound_ = false;
    // The store's current row is the photo shown: no save, check or delete moved it since.
    bool bStoreOnShownRow_ = false;
};

}  // namespace kelvo
