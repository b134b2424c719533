// frmPhoto's action menu: adding a photo from a file or the clipboard, copying the shown
// photo to the clipboard (deleting is with saving, in frmPhoto.cpp).
#include "editor/form_support.h"
#include "editor/frmPhoto.h"
#include "platform/error.h"

namespace kelvo {

using enum Ctl;

const char* const frmPhoto::kPhotoFileFilter =
    "All Photos |*.bmp;*.ico;*.cur;*.rle;*.wmf;*.emf;*.gif;*.rle;*.jpg"
    "|Bitmaps (*.bmp)|*.bmp"
    "|Icons (*.ico)|*.ico"
    "|Cursors (*.cur)|*.cur"
    "|Run Length Encoded (*.rle)|*.rle"
    "|Metafile (*.wmf)|*.wmf"
    "|Enhanced Metafiles (*.emf)|*.emf"
    "|GIF (*.gif)|*.gif"
    "|JPEG (*.jpg)|*.jpg"
    "|All Files (*.*)|*.*";

namespace {

Clipboard& clipboardOf(const CPicture& store) {
    if (!store.services().clipboard) throw Error("no clipboard is available");
    return *store.services().clipboard;
}

}  // namespace

// A clipboard that cannot be read counts as holding no picture.
bool frmPhoto::clipboardHoldsPicture() {
    try {
        return !clipboardOf(store()).GetData()->IsEmpty();
    } catch (const std::exception&) {
        return false;
    }
}

void frmPhoto::chkAction_Click() {
    // Our own changes of chkAction's value raise this click again.
    if (bMenuShowing) return;
    bMenuShowing = true;
    struct MenuClosed {
        frmPhoto& form;
        ~MenuClosed() {
            Quietly([&] { form.setValue(chkAction, 0); });
            form.bMenuShowing = false;
        }
    } menuClosed{*this};

    setValue(chkAction, 1);
    ctl_.MenuEnabled(MenuItem::mnuCopyToClipboard, photoShown());
    if (bEditMode) {
        // After a delete edit mode stays on with no photo shown: there is nothing to delete.
        ctl_.MenuEnabled(MenuItem::mnuDeleteCurrentPhoto, !sSelectedKey.empty());
        ctl_.MenuEnabled(MenuItem::mnuAddFromFile, true);
        ctl_.MenuEnabled(MenuItem::mnuAddFromClipBoard, clipboardHoldsPicture());
    } else if (bAddMode) {
        ctl_.MenuEnabled(MenuItem::mnuAddFromClipBoard, true);
        ctl_.MenuEnabled(MenuItem::mnuAddFromFile, true);
        ctl_.MenuEnabled(MenuItem::mnuDeleteCurrentPhoto, false);
    } else {
        ctl_.MenuEnabled(MenuItem::mnuAddFromClipBoard, clipboardHoldsPicture());
        ctl_.MenuEnabled(MenuItem::mnuAddFromFile, true);
        ctl_.MenuEnabled(MenuItem::mnuDeleteCurrentPhoto, false);
    }
    MenuItem chosen =
        ctl_.PopupMenu(ctl_.Left(chkAction), ctl_.Top(chkAction) + ctl_.Height(chkAction),
                       MenuItem::mnuAddFromFile);
    switch (chosen) {
        case MenuItem::mnuAddFromFile:
            mnuAddFromFile_Click();
            break;
        case MenuItem::mnuAddFromClipBoard:
            mnuAddFromClipBoard_Click();
            break;
        case MenuItem::mnuCopyToClipboard:
            mnuCopyToClipboard_Click();
            break;
        case MenuItem::mnuDeleteCurrentPhoto:
            mnuDeleteCurrentPhoto_Click();
            break;
        case MenuItem::None:
            break;
    }
}

bool frmPhoto::offerToSaveChanges() {
    if (bChanged && ctl_.Enabled(cmdSave)) {
        int answer = MsgBox("Save changes?", vbYesNoCancel | vbQuestion, "Changes Not Saved");
        if (answer == vbCancel) return false;
        if (answer == vbYes) cmdSave_Click();
    }
    return true;
}

void frmPhoto::mnuAddFromFile_Click() {
    if (!offerToSaveChanges()) return;
    SetAddMode();
    LoadPhotoFromFile();
}

void frmPhoto::mnuAddFromClipBoard_Click() {
    if (!offerToSaveChanges()) return;
    SetAddMode();
    PastePhoto();
}

void frmPhoto::LoadPhotoFromFile() {
    try {
        OpenFileResult chosen = ctl_.ShowOpen(
            cdlOFNFileMustExist | cdlOFNNoChangeDir | cdlOFNHideReadOnly, kPhotoFileFilter);
        if (!chosen.FileName.empty()) {
            ResetPhotoArea();
            PictureService* pictures = store().services().pictures;
            if (!pictures) throw Error("no picture service is available");
            ctl_.Picture(imgMainPhoto, pictures->LoadPicture(chosen.FileName));
            setText(txtDescription, chosen.FileTitle);
            MeasurePhoto();
            LayoutPhoto();
        }
    } catch (const std::exception& e) {
        MsgBox(e.what(), vbExclamation);
    }
}

void frmPhoto::PastePhoto() {
    try {
        Clipboard& clipboard = clipboardOf(store());
        if (!clipboard.GetData()->IsEmpty()) {
            ctl_.Enabled(cmdSave, true);
            bChanged = true;
            ctl_.Picture(imgMainPhoto, clipboard.GetData());
            ResetPhotoArea();
            MeasurePhoto();
            LayoutPhoto();
        }
    } catch (const std::exception& e) {
        MsgBox(e.what(), vbExclamation);
    }
}

void frmPhoto::mnuCopyToClipboard_Click() {
    try {
        Clipboard& clipboard = clipboardOf(store());
        clipboard.Clear();
        clipboard.SetData(*ctl_.Picture(imgMainPhoto));
    } catch (const std::exception& e) {
        MsgBox(e.what(), vbCritical, "Error Loading Photo");
    }
}

}  // namespace kelvo
