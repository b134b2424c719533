// The editor window's logic on scripted controls and message boxes, over a real store on
// SQLite and PostgreSQL: start-up, modes, saving, deleting, closing, adding and copying.
#include <gtest/gtest.h>

#include <memory>

#include "editor/frmPhoto.h"
#include "platform/files/files.h"
#include "support/fault_services.h"
#include "support/photo_env.h"
#include "support/scripted_controls.h"
#include "support/test_images.h"

namespace kelvo::test {
namespace {

using enum Ctl;

class FrmPhotoTest : public PhotoTest {
  protected:
    void Open(double maxSize = 0, double backColor = 0) {
        form.reset();
        controls = std::make_unique<ScriptedControls>();
        store = newStore();
        store->PhotosMaxSize = maxSize;
        store->BackColor = backColor;
        store->Init("A1", "CUST", "Alice", nullptr, db->connection());
        form = std::make_unique<kelvo::frmPhoto>(*controls);
        form->objcPhoto(store.get());
        form->Form_Load();
    }

    std::vector<std::string> ListTexts() {
        std::vector<std::string> texts;
        for (auto& item : controls->items) texts.push_back(item.text);
        return texts;
    }

    std::string Caption() { return controls->Caption(frmPhoto); }
    bool SaveEnabled() { return controls->Enabled(cmdSave); }
    void ExpectAsked(const std::string& prompt, const std::string& title, int style) {
        EXPECT_EQ(lastMessage().prompt, prompt);
        EXPECT_EQ(lastMessage().title, title);
        EXPECT_EQ(lastMessage().style, style);
    }
    // The photo lies centred in its frame's outer size.
    void ExpectCentred() {
        EXPECT_NEAR(2 * controls->Left(imgMainPhoto) + controls->Width(imgMainPhoto),
                    controls->Width(picPhotoFrame), 1);
    }

    std::unique_ptr<CPicture> store;
    std::unique_ptr<ScriptedControls> controls;
    std::unique_ptr<kelvo::frmPhoto> form;
};

TEST_P(FrmPhotoTest, EmptyOwnerOpensInAddModeWithLockedFields) {
    Open();
    EXPECT_EQ(controls->ListCount(), 0);
    EXPECT_TRUE(form->bAddMode);
    EXPECT_EQ(Caption(), "CUST - [A1  Alice]");
    EXPECT_FALSE(SaveEnabled());
    EXPECT_FALSE(controls->Enabled(chkDefault));
    EXPECT_EQ(controls->BackColor(txtComments), kColorButtonFace);
    EXPECT_FALSE(controls->Type(*form, txtDescription, "typed"));
    EXPECT_TRUE(controls->Picture(imgMainPhoto)->IsEmpty());
    // The design colour stays with no store colour; the list is a report with one column.
    EXPECT_EQ(controls->BackColor(frmPhoto), kColorButtonFace);
    EXPECT_TRUE(controls->reportView);
    ASSERT_EQ(controls->columns.size(), 1u);
    EXPECT_EQ(controls->columns[0], "Description");

    // The first add unlocks the fields.
    controls->ChooseAction(*form, MenuItem::mnuAddFromFile);
    EXPECT_FALSE(controls->Locked(txtDescription));
    EXPECT_EQ(controls->BackColor(txtDescription), kColorWindowBackground);
    EXPECT_TRUE(controls->Enabled(chkDefault));

    Open(0, 255.5);  // halves round to even
    EXPECT_EQ(controls->BackColor(frmPhoto), 256u);
}

TEST_P(FrmPhotoTest, OpensOnTheDefaultPhotoOrTheFirst) {
    seed("Front", false, 40, 30, 0x112233);
    seed("Side", false, 40, 30, 0x445566);
    seed("Top", true, 40, 30, 0x778899);
    seed("Zoom", true, 40, 30, 0xAABBCC);
    CountingPictures counted(*DefaultServices().pictures);
    services.pictures = &counted;
    Open();
    EXPECT_EQ(counted.loads, 1) << "only the photo shown is decoded";
    EXPECT_EQ(ListTexts(), (std::vector<std::string>{"Front", "Side", "Top", "Zoom"}));
    EXPECT_EQ(form->sSelectedKey, "ItemKeyTop2");
    EXPECT_EQ(controls->ListSelectedKey(), "ItemKeyTop2");
    EXPECT_TRUE(controls->ensuredVisible.empty());
    EXPECT_TRUE(form->bEditMode);
    EXPECT_FALSE(SaveEnabled());
    EXPECT_EQ(Caption(), "CUST - [A1  Alice]");  // start-up writes the caption last
    EXPECT_EQ(controls->Text(txtDescription), "Top");
    EXPECT_EQ(controls->Text(txtComments), "seeded");
    EXPECT_EQ(controls->Value(chkDefault), 1);
    EXPECT_EQ(PixelAt(*controls->Picture(imgMainPhoto), 20, 15), 0x778899u);
    // A small photo is shown at its natural size.
    EXPECT_EQ(controls->Width(imgMainPhoto), 40 * 15);
    ExpectCentred();
    EXPECT_EQ(controls->Caption(fraDetails).rfind("Photo - 40 x 30 Pixels (", 0), 0u);

    // Saving the default photo unchanged reports no duplicate and keeps it the default.
    controls->Click(*form, optFit);
    ASSERT_TRUE(SaveEnabled());
    controls->Click(*form, cmdSave);
    EXPECT_TRUE(interaction.shown.empty());
    std::vector<StoredPhoto> rows = stored();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_TRUE(rows[2].isDefault);
    EXPECT_FALSE(rows[3].isDefault);  // only the saved photo keeps a default mark
    EXPECT_EQ(rows[2].centre, 0x778899u);

    // Without a default the first photo is shown and scrolled into view. (Rewritten rows
    // may come back in another order on PostgreSQL, which keeps no order of its own.)
    db->connection()->Execute("UPDATE PHOTOS SET DEF = ?", {Variant(false)});
    Open();
    ASSERT_EQ(controls->items.size(), 4u);
    const std::string first = controls->items[0].key;
    EXPECT_EQ(form->sSelectedKey, first);
    EXPECT_EQ(controls->ensuredVisible, std::vector<std::string>{first});
    EXPECT_EQ(controls->Text(txtDescription), ListTexts()[0]);
}

TEST_P(FrmPhotoTest, FieldChangesFollowTheMode) {
    seed("Front", false);
    seed("Side", false);
    Open();
    // Edit mode: comments and the default box enable Save; only texts mark a change.
    controls->Click(*form, chkDefault);
    EXPECT_TRUE(SaveEnabled());
    EXPECT_FALSE(form->bChanged);
    controls->Type(*form, txtComments, "new words");
    EXPECT_TRUE(form->bChanged);

    // The menu in edit mode with an empty clipboard; adding asks to save first, and Cancel
    // stays on the photo.
    interaction.answers = {vbCancel};
    controls->ChooseAction(*form, MenuItem::mnuAddFromFile);
    EXPECT_TRUE(form->bEditMode);
    EXPECT_TRUE(controls->shownDialogs.empty());
    EXPECT_EQ(controls->Text(txtComments), "new words");
    interaction.answers = {vbNo};
    controls->ChooseAction(*form, MenuItem::mnuAddFromFile);
    ASSERT_EQ(controls->shownMenus.size(), 2u);
    const ShownMenu& menu = controls->shownMenus[0];
    EXPECT_EQ(menu.defaultItem, MenuItem::mnuAddFromFile);
    EXPECT_TRUE(menu.enabled.at(MenuItem::mnuDeleteCurrentPhoto));
    EXPECT_TRUE(menu.enabled.at(MenuItem::mnuCopyToClipboard));
    EXPECT_FALSE(menu.enabled.at(MenuItem::mnuAddFromClipBoard));
    ExpectAsked("Save changes?", "Changes Not Saved", 35);
    EXPECT_EQ(controls->Value(chkAction), 0);
    EXPECT_FALSE(form->bMenuShowing);

    // The dialog was cancelled: add mode with empty fields; only a description enables Save.
    EXPECT_TRUE(form->bAddMode);
    EXPECT_EQ(controls->Text(txtDescription), "");
    EXPECT_EQ(form->sSelectedKey, "");
    EXPECT_EQ(Caption(), "[Add Photo] - CUST - [A1  Alice]");
    EXPECT_EQ(controls->focus, txtDescription);
    controls->Type(*form, txtComments, "only comments");
    EXPECT_FALSE(SaveEnabled());
    controls->Type(*form, txtDescription, "named");
    EXPECT_TRUE(SaveEnabled());
    controls->Click(*form, cmdSave);
    ExpectAsked("No photo to save!", "No photo", 48);

    // The menu in add mode.
    controls->ChooseAction(*form, MenuItem::None);
    const ShownMenu& addMenu = controls->shownMenus.back();
    EXPECT_TRUE(addMenu.enabled.at(MenuItem::mnuAddFromClipBoard));
    EXPECT_FALSE(addMenu.enabled.at(MenuItem::mnuDeleteCurrentPhoto));
    EXPECT_FALSE(addMenu.enabled.at(MenuItem::mnuCopyToClipboard));

    // A list click drops the pending add without a question and enters edit mode.
    std::size_t asked = interaction.shown.size();
    controls->ClickItem(*form, "ItemKeySide1");
    EXPECT_EQ(interaction.shown.size(), asked);
    EXPECT_TRUE(form->bEditMode);
    EXPECT_EQ(controls->Text(txtDescription), "Side");
    EXPECT_EQ(Caption(), "[Edit Photo] - CUST - [A1  Alice]");
    EXPECT_FALSE(SaveEnabled());
    EXPECT_EQ(storedDescriptions(), (std::vector<std::string>{"Front", "Side"}));
}

TEST_P(FrmPhotoTest, SavingANewPhotoChecksItsDescription) {
    seed("Front", true);
    Open();
    clipboard.SetData(*MakePicture(64, 48, 0x00AA00));
    controls->ChooseAction(*form, MenuItem::mnuAddFromClipBoard);
    ASSERT_TRUE(form->bAddMode);
    EXPECT_EQ(controls->Picture(imgMainPhoto)->PixelWidth(), 64);
    EXPECT_TRUE(SaveEnabled());
    controls->Click(*form, cmdSave);
    ExpectAsked("Enter a description for the photo!", "Decription Not Entered", 48);
    controls->Type(*form, txtDescription, "front");  // the store compares without case
    controls->Click(*form, cmdSave);
    ExpectAsked("Descrition exists. Please enter a unique description", "Description Exist", 48);
    EXPECT_EQ(storedDescriptions(), std::vector<std::string>{"Front"});
    EXPECT_TRUE(SaveEnabled());

    std::size_t shown = interaction.shown.size();
    controls->Type(*form, txtDescription, "Garden it's");
    controls->Type(*form, txtComments, "from the clipboard");
    controls->Click(*form, chkDefault);
    controls->Click(*form, cmdSave);
    EXPECT_EQ(interaction.shown.size(), shown);
    std::vector<StoredPhoto> rows = stored();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_FALSE(rows[0].isDefault);
    EXPECT_EQ(rows[1].description, "Garden it's");
    EXPECT_EQ(rows[1].comments, "from the clipboard");
    EXPECT_TRUE(rows[1].isDefault);
    EXPECT_EQ(rows[1].centre, 0x00AA00u);

    // The new item is on top and selected; the window is in the saved-new state.
    EXPECT_EQ(ListTexts(), (std::vector<std::string>{"Garden it's", "Front"}));
    EXPECT_EQ(controls->ListSelectedKey(), "ItemKey2");
    EXPECT_EQ(form->sSelectedKey, "ItemKey2");
    EXPECT_EQ(Caption(), "CUST - [A1  Alice]");
    EXPECT_FALSE(form->bAddMode || form->bEditMode);
    controls->Type(*form, txtDescription, "again");
    EXPECT_FALSE(SaveEnabled());
}

TEST_P(FrmPhotoTest, EditSavesReplaceTheShownPhotoOnly) {
    seed("Front", false, 40, 30, 0x111111);
    seed("Side", false, 40, 30, 0x222222);
    Open();
    controls->ClickItem(*form, "ItemKeySide1");
    controls->Type(*form, txtDescription, "FRONT");
    controls->Click(*form, cmdSave);
    ExpectAsked("Description already exists. Enter a unique one!", "Decription Already Exists", 48);

    controls->Type(*form, txtDescription, "Profile");
    controls->Click(*form, cmdSave);
    EXPECT_EQ(ListTexts(), (std::vector<std::string>{"Front", "Profile"}));
    EXPECT_FALSE(SaveEnabled());
    // A second save without showing the photo again still replaces the same row.
    controls->Type(*form, txtComments, "second save");
    controls->Click(*form, cmdSave);
    std::vector<StoredPhoto> rows = stored();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].description, "Front");
    EXPECT_EQ(rows[0].centre, 0x111111u);
    EXPECT_EQ(rows[1].description, "Profile");
    EXPECT_EQ(rows[1].comments, "second save");
    EXPECT_EQ(rows[1].centre, 0x222222u);

    // And a delete after it removes that row.
    interaction.answers = {vbYes};
    controls->ChooseAction(*form, MenuItem::mnuDeleteCurrentPhoto);
    EXPECT_EQ(storedDescriptions(), std::vector<std::string>{"Front"});
    EXPECT_EQ(ListTexts(), std::vector<std::string>{"Front"});
}

TEST_P(FrmPhotoTest, OversizedPhotoIsRefused) {
    seed("Front", false);
    std::string path = WriteImageFile(scratch, "large.bmp", "bmp", 100, 100);
    Open(1.5);
    controls->openFiles.push_back({path, "large.bmp"});
    controls->ChooseAction(*form, MenuItem::mnuAddFromFile);
    EXPECT_EQ(lastMessage().prompt.rfind(
                  "This Photo is bigger than the maximum photo size: 1.5KB, Photo size: ", 0),
              0u)
        << lastMessage().prompt;
    EXPECT_TRUE(form->bPhotoTooBig);
    EXPECT_FALSE(SaveEnabled());

    controls->Type(*form, txtDescription, "too big");
    controls->Click(*form, cmdSave);
    ExpectAsked("Photo too big!!! Maximum size allowed: 1.5 KB in bitmap format", "", 48);
    EXPECT_EQ(storedDescriptions(), std::vector<std::string>{"Front"});
}

TEST_P(FrmPhotoTest, DeletingAsksAndTheLastPhotoLeavesAddMode) {
    seed("Only", true);
    Open();
    for (int answer : {vbNo, vbCancel}) {
        interaction.answers = {answer};
        controls->ChooseAction(*form, MenuItem::mnuDeleteCurrentPhoto);
        ExpectAsked("Delete Photo and it's details?", "Photo Delete Confirm", 35);
        EXPECT_EQ(storedDescriptions(), std::vector<std::string>{"Only"});
        EXPECT_EQ(controls->Text(txtDescription), "Only");
    }
    interaction.answers = {vbYes};
    controls->ChooseAction(*form, MenuItem::mnuDeleteCurrentPhoto);
    EXPECT_TRUE(stored().empty());
    EXPECT_EQ(controls->ListCount(), 0);
    EXPECT_TRUE(form->bAddMode);
    EXPECT_EQ(form->sSelectedKey, "");
    EXPECT_EQ(controls->Text(txtDescription), "");
    EXPECT_TRUE(controls->Picture(imgMainPhoto)->IsEmpty());

    form->mnuDeleteCurrentPhoto_Click();
    ExpectAsked("There are no Photos to delete", "No Photos", 48);
}

// Closing asks only about typed text; Cancel keeps the window, Yes saves what is typed.
TEST_P(FrmPhotoTest, ClosingOffersToSaveChanges) {
    seed("Front", false);
    const struct {
        const char* typed;  // null: only the default box is clicked
        int answer;
        const char* asked;
        bool unloaded;
        const char* stored;
    } cases[] = {
        {nullptr, vbCancel, "", true, "Front"},
        {"Renamed", vbCancel, "Save changes?", false, "Front"},
        {"Renamed", vbNo, "Save changes?", true, "Front"},
        {"", vbYes, "Enter a description for the photo!", true, "Front"},
        {"Renamed", vbYes, "Save changes?", true, "Renamed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.typed ? c.typed : "(default box)") + " " + c.asked);
        Open();
        interaction.shown.clear();
        interaction.answers = {c.answer};
        if (c.typed)
            controls->Type(*form, txtDescription, c.typed);
        else
            controls->Click(*form, chkDefault);
        controls->Click(*form, cmdClose);
        EXPECT_EQ(lastMessage().prompt, c.asked);
        EXPECT_EQ(controls->unloaded, c.unloaded);
        EXPECT_EQ(storedDescriptions(), std::vector<std::string>{c.stored});
    }
    EXPECT_EQ(store->OwnerPhoto()->PixelWidth(), 40);
}

TEST_P(FrmPhotoTest, AddsFromAFileAndCopiesToTheClipboard) {
    std::string path = WriteImageFile(scratch, "sunset.png", "png", 64, 48, 0xCC6633);
    std::string broken = scratch + "broken.jpg";
    LocalFileSystem().WriteAll(broken, Bytes{0xFF, 0xD8, 0xFF, 0x00, 0x01});
    Open();
    controls->openFiles = {{broken, "broken.jpg"}, {path, "sunset.png"}};
    controls->ChooseAction(*form, MenuItem::mnuAddFromFile);
    EXPECT_EQ(lastMessage().style, 48);
    EXPECT_TRUE(form->bAddMode);
    EXPECT_EQ(controls->Text(txtDescription), "");
    EXPECT_TRUE(controls->Picture(imgMainPhoto)->IsEmpty());

    controls->ChooseAction(*form, MenuItem::mnuAddFromFile);
    ASSERT_EQ(controls->shownDialogs.size(), 2u);
    EXPECT_EQ(controls->shownDialogs[1].flags, 4096 + 8 + 4);
    EXPECT_EQ(controls->shownDialogs[1].filter, frmPhoto::kPhotoFileFilter);
    EXPECT_EQ(controls->Text(txtDescription), "sunset.png");
    EXPECT_TRUE(form->bChanged);
    EXPECT_EQ(controls->Caption(fraDetails).rfind("Photo - 64 x 48 Pixels (", 0), 0u);

    controls->Click(*form, cmdSave);
    std::vector<StoredPhoto> rows = stored();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].description, "sunset.png");
    EXPECT_EQ(rows[0].height, 48);
    EXPECT_EQ(rows[0].centre, 0xCC6633u);

    // Copy puts the shown photo on the clipboard; the menu then offers pasting.
    controls->ChooseAction(*form, MenuItem::mnuCopyToClipboard);
    ASSERT_TRUE(clipboard.held);
    EXPECT_EQ(clipboard.held->Handle(), controls->Picture(imgMainPhoto)->Handle());
    controls->ChooseAction(*form, MenuItem::None);
    EXPECT_TRUE(controls->shownMenus.back().enabled.at(MenuItem::mnuAddFromClipBoard));
}

TEST_P(FrmPhotoTest, ViewerFitsOrScrollsALargePhoto) {
    seed("Wide", false, 400, 300);
    seed("Tall", false, 100, 265);
    seed("Long", false, 2500, 20);
    Open();
    // Fitted: inside the frame, centred, its aspect kept.
    auto expectFitted = [&] {
        EXPECT_TRUE(controls->Stretch(imgMainPhoto));
        EXPECT_GT(controls->Left(imgMainPhoto), 0);
        EXPECT_LT(controls->Width(imgMainPhoto), controls->ScaleWidth(picPhotoFrame));
        EXPECT_NEAR(controls->Width(imgMainPhoto) * 3, controls->Height(imgMainPhoto) * 4, 1);
        ExpectCentred();
        EXPECT_FALSE(controls->Visible(HScLeftSet));
        EXPECT_FALSE(controls->Visible(VSctopSet));
    };
    expectFitted();

    // At actual size the bars reach the photo's far edges.
    controls->Click(*form, optActualsize);
    EXPECT_FALSE(controls->Stretch(imgMainPhoto));
    EXPECT_EQ(controls->Width(imgMainPhoto), 400 * 15);
    ASSERT_TRUE(controls->Visible(HScLeftSet));
    EXPECT_TRUE(controls->Visible(VSctopSet));
    EXPECT_TRUE(controls->Visible(fraHideBackGround0));
    const int wideMax = controls->Max(HScLeftSet);
    EXPECT_GE(wideMax, controls->Width(imgMainPhoto) - controls->ScaleWidth(picPhotoFrame));
    EXPECT_GE(controls->Max(VSctopSet),
              controls->Height(imgMainPhoto) - controls->ScaleHeight(picPhotoFrame));
    EXPECT_TRUE(SaveEnabled());  // choosing a view enables Save within the limit
    controls->Value(HScLeftSet, 700);
    form->HScLeftSet_Change();
    EXPECT_EQ(controls->Left(imgMainPhoto), -700);

    // A photo exactly as high as the area overflows; a range past 32767 keeps the old one.
    controls->ClickItem(*form, "ItemKeyTall1");
    EXPECT_TRUE(controls->Visible(VSctopSet));
    EXPECT_GT(controls->Max(VSctopSet), 0);
    EXPECT_FALSE(controls->Visible(HScLeftSet));
    ExpectCentred();
    controls->ClickItem(*form, "ItemKeyLong2");
    EXPECT_TRUE(controls->Visible(HScLeftSet));
    EXPECT_EQ(controls->Max(HScLeftSet), wideMax);

    // Back to fitted: the bars go, the photo is fitted again.
    controls->ClickItem(*form, "ItemKeyWide0");
    controls->Click(*form, optFit);
    expectFitted();
}

INSTANTIATE_TEST_SUITE_P(Backends, FrmPhotoTest, testing::ValuesIn(TestBackends()), BackendName);

}  // namespace
}  // namespace kelvo::test
