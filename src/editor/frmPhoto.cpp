// frmPhoto's start-up, photo list, modes and field locking, saving, deleting and closing.
// The viewer lives in frmPhoto_viewer.cpp, the action menu in frmPhoto_actions.cpp.
#include "editor/frmPhoto.h"

#include <cmath>
#include <limits>

#include "editor/form_support.h"
#include "platform/error.h"
#include "platform/text.h"

namespace kelvo {

using enum Ctl;

frmPhoto::frmPhoto(FormControls& controls) : ctl_(controls) {}

frmPhoto::~frmPhoto() {
    if (objcPhoto_) objcPhoto_->RemoveListener(this);
}

void frmPhoto::objcPhoto(CPicture* store) {
    if (objcPhoto_) objcPhoto_->RemoveListener(this);
    objcPhoto_ = store;
    if (objcPhoto_) objcPhoto_->AddListener(this);
}

// ---------------------------------------------------------------- helpers

CPicture& frmPhoto::store() {
    if (!objcPhoto_) throw Error("the photo window has no photo store");
    return *objcPhoto_;
}

Interaction& frmPhoto::interaction() {
    const Services& services = objcPhoto_ ? objcPhoto_->services() : DefaultServices();
    return services.interaction ? *services.interaction : *DefaultServices().interaction;
}

int frmPhoto::MsgBox(const std::string& prompt, int style, const std::string& title) {
    return interaction().MsgBox(prompt, style, title);
}

void frmPhoto::ReportError(const std::string& text) {
    Quietly([&] { MsgBox(text, vbExclamation); });
}

int frmPhoto::listPosition(const std::string& key) {
    for (int i = 1, n = ctl_.ListCount(); i <= n; ++i)
        if (ctl_.ListKey(i) == key) return i;
    return 0;
}

std::string frmPhoto::listTextOf(const std::string& key) {
    int position = listPosition(key);
    if (position == 0) throw Error("no photo list item has the key " + key);
    return ctl_.ListText(position);
}

// The keys the window builds can repeat (a description ending in digits, an add after a
// delete); a numbered suffix keeps every key unique.
std::string frmPhoto::uniqueKey(const std::string& base) {
    std::string key = base;
    for (int n = 2; listPosition(key) != 0; ++n) key = base + "#" + std::to_string(n);
    return key;
}

void frmPhoto::setText(Ctl c, const std::string& text) {
    std::string before = ctl_.Text(c);
    ctl_.Text(c, text);
    if (ctl_.Text(c) != before) raiseChange(c);
}

void frmPhoto::setValue(Ctl c, int value) {
    int before = ctl_.Value(c);
    ctl_.Value(c, value);
    if (ctl_.Value(c) != before) raiseChange(c);
}

void frmPhoto::setMax(Ctl c, int value) {
    int before = ctl_.Value(c);
    ctl_.Max(c, value);
    if (ctl_.Value(c) != before) raiseChange(c);
}

void frmPhoto::raiseChange(Ctl c) {
    switch (c) {
        case txtDescription:
            txtDescription_Change();
            break;
        case txtComments:
            txtComments_Change();
            break;
        case chkDefault:
            chkDefault_Click();
            break;
        case chkAction:
            chkAction_Click();
            break;
        case HScLeftSet:
            HScLeftSet_Change();
            break;
        case VSctopSet:
            VSctopSet_Change();
            break;
        case optFit:
            if (ctl_.Value(optFit) == 1) optFit_Click();
            break;
        case optActualsize:
            if (ctl_.Value(optActualsize) == 1) optActualsize_Click();
            break;
        default:
            break;
    }
}

bool frmPhoto::photoShown() {
    return !ctl_.Picture(imgMainPhoto)->IsEmpty();
}

// ---------------------------------------------------------------- start-up

void frmPhoto::Form_Load() {
    InitForm();
}

void frmPhoto::InitForm() {
    Quietly([&] {
        if (store().BackColor != 0)
            ctl_.BackColor(Ctl::frmPhoto, static_cast<std::uint32_t>(CLng(store().BackColor)));
    });
    Quietly([&] { ctl_.ListSetup(true, false, false); });
    Quietly([&] {
        double width = static_cast<float>(ctl_.Width(lvwPicDescription));
        ctl_.ListAddColumn("Description", width / 1.15);
    });
    Quietly([&] { ResetPhotoArea(); });
    Quietly([&] { LoadPhotoList(); });
    Quietly([&] { SetFormCaption(store().PhotosGroup(), "", ""); });
    Quietly([&] { AddModeIfNoPhotos(); });
    Quietly([&] { ctl_.Enabled(cmdSave, false); });
    Quietly([&] {
        if (ctl_.ListCount() == 0) LockFields();
    });
}

// ---------------------------------------------------------------- photo list

void frmPhoto::LoadPhotoList() {
    ctl_.ListClear();
    std::string defaultKey, defaultText;
    bool defaultMet = false;
    std::int32_t rows = store().PhotoCount();
    if (rows >= 1) {
        // Only the photo shown is read: the walk needs the rows' texts alone.
        const CPicture::PhotosOnDemand textsOnly(store());
        store().FirstRecord();
        // Bounded by the row count, so a store whose NextRecord fails cannot spin forever.
        for (std::int32_t seen = 0; !store().RecordEOF() && seen < rows; ++seen) {
            std::string description = store().PhotoDescription();
            std::string key = uniqueKey("ItemKey" + description + std::to_string(ctl_.ListCount()));
            ctl_.ListAdd(key, description);
            if (store().DefaultPhoto() && !defaultMet) {
                defaultKey = key;
                defaultText = description;
                defaultMet = true;
            }
            store().NextRecord();
        }
    }
    if (ctl_.ListCount() > 0 && !defaultMet) {
        std::string first = ctl_.ListKey(1);
        ShowSelectedPhoto(ctl_.ListText(1));
        ctl_.ListSelect(first);
        sSelectedKey = first;
        ctl_.ListEnsureVisible(first);
    } else if (defaultMet && ctl_.ListCount() > 0) {
        ShowSelectedPhoto(defaultText);
        ctl_.ListSelect(defaultKey);
        sSelectedKey = defaultKey;
    }
}

void frmPhoto::ShowSelectedPhoto(const std::string& sDescription) {
    ClearFields();
    bLastSearchFound_ = false;
    store().SearchForRecord("", sDescription);
    bStoreOnShownRow_ = bLastSearchFound_;
    ctl_.Picture(imgMainPhoto, store().Photo());
    ResetPhotoArea();
    MeasurePhoto();
    LayoutPhoto();
    setText(txtDescription, store().PhotoDescription());
    setText(txtComments, store().PhotoComments());
    setValue(chkDefault, store().DefaultPhoto() ? 1 : 0);
    bChanged = false;
    SetEditMode();
}

void frmPhoto::lvwPicDescription_ItemClick(const std::string& itemKey) {
    try {
        if (ctl_.ListCount() >= 1) {
            ShowSelectedPhoto(listTextOf(itemKey));
            sSelectedKey = itemKey;
        }
    } catch (const std::exception& e) {
        MsgBox(e.what(), vbExclamation);
    }
}

void frmPhoto::UpdatePhotoList(const std::string& sDescription, const std::string& sKey) {
    setText(txtDescription, sDescription);
    this->sDescription = sDescription;
    if (sDescription.empty()) return;
    if (!sKey.empty()) {
        ctl_.ListSetText(sKey, sDescription);
        return;
    }
    std::string key = uniqueKey("ItemKey" + std::to_string(ctl_.ListCount() + 1));
    ctl_.ListInsert(1, key, sDescription);
    ctl_.ListSelect(key);
}

void frmPhoto::AddModeIfNoPhotos() {
    if (ctl_.ListCount() == 0) {
        SetAddMode();
        SetFormCaption(store().PhotosGroup(), "Add Photo", "");
    }
}

void frmPhoto::objcPhoto_DescriptionExists(bool bExists) {
    bDescriptionExists = bExists;
}

void frmPhoto::objcPhoto_RecordPosition(std::int32_t lRecordPosition, std::int32_t lTotalRecords) {
    if (lTotalRecords == 0) LockFields();
}

// ---------------------------------------------------------------- modes and fields

void frmPhoto::UnlockFields() {
    ctl_.Locked(txtDescription, false);
    ctl_.Locked(txtComments, false);
    ctl_.BackColor(txtDescription, kColorWindowBackground);
    ctl_.BackColor(txtComments, kColorWindowBackground);
    ctl_.Enabled(chkDefault, true);
}

void frmPhoto::LockFields() {
    ctl_.Locked(txtDescription, true);
    ctl_.Locked(txtComments, true);
    ctl_.BackColor(txtDescription, kColorButtonFace);
    ctl_.BackColor(txtComments, kColorButtonFace);
    ctl_.Enabled(chkDefault, false);
}

void frmPhoto::ClearFields() {
    ctl_.Visible(imgMainPhoto, false);
    // With no photo there is nothing to scroll.
    for (Ctl part : {HScLeftSet, VSctopSet, fraHideBackGround0, fraHideBackGround1})
        ctl_.Visible(part, false);
    ctl_.Picture(imgMainPhoto, EmptyPicture());
    setText(txtDescription, "");
    setText(txtComments, "");
    setValue(chkDefault, 0);
    ctl_.Enabled(cmdSave, false);
    bChanged = false;
    store().OwnerPhoto(nullptr);
}

void frmPhoto::SetEditMode() {
    bAddMode = false;
    bEditMode = true;
    ctl_.Locked(txtDescription, false);
    ctl_.Locked(txtComments, false);
    SetFormCaption(std::nullopt, "", "[Edit Photo] - ");
    ctl_.Enabled(chkDefault, true);
    UnlockFields();
    bChanged = false;
    ctl_.Enabled(cmdSave, false);
    ctl_.Enabled(chkDefault, true);
}

void frmPhoto::SetAddMode() {
    bAddMode = true;
    bEditMode = false;
    ClearFields();
    SetFormCaption(sCaptionBase, "Add Photo", "");
    sSelectedKey = "";
    ctl_.ListSelectNone();  // the highlighted item is not the photo being added
    ctl_.Locked(txtDescription, false);
    ctl_.Locked(txtComments, false);
    ctl_.Enabled(cmdSave, false);
    SetFormCaption(std::nullopt, "", "[Add Photo] - ");
    ctl_.Enabled(chkDefault, true);
    UnlockFields();
    bChanged = false;
    ctl_.Enabled(cmdSave, false);
    ctl_.SetFocus(txtDescription);
}

void frmPhoto::SetFormCaption(const std::optional<std::string>& group, const std::string& text,
                              const std::string& prefix) {
    if (group && !group->empty()) sCaptionBase = *group;
    if (!sCaptionBase.empty()) {
        ctl_.Caption(Ctl::frmPhoto, prefix + sCaptionBase + " - [" + store().PhotoCode() + "  " +
                                        store().PhotosOwnerName() + "]");
    } else {
        ctl_.Caption(Ctl::frmPhoto, prefix + text);
    }
}

void frmPhoto::txtDescription_Change() {
    if (bEditMode || bAddMode) {
        ctl_.Enabled(cmdSave, true);
        bChanged = true;
    }
}

void frmPhoto::txtComments_Change() {
    if (bEditMode) {
        ctl_.Enabled(cmdSave, true);
        bChanged = true;
    }
}

void frmPhoto::chkDefault_Click() {
    if (bEditMode || bAddMode) ctl_.Enabled(cmdSave, true);
}

// ---------------------------------------------------------------- save, delete, close

void frmPhoto::cmdSave_Click() {
    if (bPhotoTooBig) {
        Quietly([&] {
            MsgBox("Photo too big!!! Maximum size allowed: " + NumberText(store().PhotosMaxSize) +
                       " KB in bitmap format",
                   vbExclamation);
        });
        return;
    }
    std::string text = ctl_.Text(txtDescription);
    if (text.empty()) {
        MsgBox("Enter a description for the photo!", vbExclamation, "Decription Not Entered");
        ctl_.SetFocus(txtDescription);
        return;
    }
    if (!photoShown()) {
        MsgBox("No photo to save!", vbExclamation, "No photo");
        ctl_.SetFocus(txtDescription);
        return;
    }
    sDescription = text;
    if (bAddMode) {
        bStoreOnShownRow_ = false;  // the check's filter moves the store to its first row
        Quietly([&] { store().CheckIfDescriptionExists(sDescription); });
        if (bDescriptionExists) {
            MsgBox("Descrition exists. Please enter a unique description", vbExclamation,
                   "Description Exist");
            ctl_.SetFocus(txtDescription);
            return;
        }
        Quietly([&] { SavePhoto(); });
        Quietly([&] { UpdatePhotoList(sDescription, ""); });
        Quietly([&] { SetFormCaption(sCaptionBase, "Photo And Details Added", ""); });
        bAddMode = false;
        bDescriptionExists = false;
        sSelectedKey = ctl_.ListSelectedKey();
    } else {
        std::string wanted = UCase(sDescription);
        for (int i = 1, n = ctl_.ListCount(); i <= n; ++i) {
            if (ctl_.ListKey(i) != sSelectedKey && UCase(ctl_.ListText(i)) == wanted) {
                MsgBox("Description already exists. Enter a unique one!", vbExclamation,
                       "Decription Already Exists");
                ctl_.SetFocus(txtDescription);
                return;
            }
        }
        Quietly([&] { SavePhoto(); });
        Quietly([&] { UpdatePhotoList(sDescription, sSelectedKey); });
    }
    ctl_.Enabled(cmdSave, false);
}

// After a save, a check or a delete the store's current row is no longer the photo shown:
// the shown photo is then searched for again, as an item click does. Reading a large photo is
// slow, so a store still on the shown row is not searched.
bool frmPhoto::researchShownPhoto() {
    if (sSelectedKey.empty()) return false;
    if (bStoreOnShownRow_) return true;
    int position = listPosition(sSelectedKey);
    if (position == 0) return false;
    bLastSearchFound_ = false;
    store().SearchForRecord("", ctl_.ListText(position));
    bStoreOnShownRow_ = bLastSearchFound_;
    return bLastSearchFound_;
}

void frmPhoto::SavePhoto() {
    try {
        // An edit replaces the shown photo's row; if that row is gone, it is added anew
        // rather than replacing another photo.
        bool bNewRecord = bAddMode || !researchShownPhoto();
        store().UnSetDefaultPhoto(store().PhotoCode(), ctl_.Text(txtDescription));
        PicturePtr shown = ctl_.Picture(imgMainPhoto);
        store().Photo(shown->IsEmpty() ? nullptr : shown);
        sDescription = ctl_.Text(txtDescription);
        store().PhotoDescription(ctl_.Text(txtDescription));
        store().PhotoComments(ctl_.Text(txtComments));
        store().DefaultPhoto(ctl_.Value(chkDefault) == 1);
        bStoreOnShownRow_ = false;
        store().SavePhotoDetails(bNewRecord, false);
        SetFormCaption(std::nullopt, "Photo Saved", "");
    } catch (const std::exception& e) {
        MsgBox(e.what(), vbOKOnly);
    }
}

void frmPhoto::DeleteCurrentPhoto() {
    if (ctl_.ListCount() == 0) {
        Quietly([&] { MsgBox("There are no Photos to delete", vbExclamation, "No Photos"); });
    } else {
        int answer = MsgBox("Delete Photo and it's details?", vbYesNoCancel | vbQuestion,
                            "Photo Delete Confirm");
        if (answer != vbYes) return;
        // Only the row of the photo shown is deleted; with none shown nothing is.
        bool shownRowFound = false;
        Quietly([&] { shownRowFound = researchShownPhoto(); });
        if (shownRowFound) {
            bStoreOnShownRow_ = false;
            Quietly([&] { store().DeleteRecord(); });
            Quietly([&] { ctl_.Enabled(cmdSave, false); });
            Quietly([&] { ctl_.ListRemove(sSelectedKey); });
            sSelectedKey = "";
            Quietly([&] { SetFormCaption(sCaptionBase, "Photo And Details Deleted", ""); });
            Quietly([&] { AddModeIfNoPhotos(); });
        }
    }
    Quietly([&] { ClearFields(); });
}

void frmPhoto::cmdClose_Click() {
    try {
        if (bChanged && ctl_.Enabled(cmdSave)) {
            int answer = MsgBox("Save changes?", vbYesNoCancel | vbQuestion, "Changes Not Saved");
            if (answer == vbCancel) return;
            if (answer == vbYes) cmdSave_Click();
        }
        ctl_.Unload();
    } catch (const std::exception& e) {
        MsgBox(e.what(), vbExclamation);
    }
}

}  // namespace kelvo
