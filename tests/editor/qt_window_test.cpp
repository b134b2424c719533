// The editor window on Qt, offscreen, over a real store on each back end, driven through its
// widgets with QTest; each state a user sees is left as a screenshot in the artifacts folder.
#include <gtest/gtest.h>
#include <QTest>
#include <QtWidgets>

#include <deque>
#include <functional>
#include <tuple>

#include "app/sample_pictures.h"
#include "editor/frmPhoto.h"
#include "editor/qt/photo_editor_launcher.h"
#include "editor/qt/photo_window.h"
#include "platform/files/files.h"
#include "platform/pictures/qt_picture.h"
#include "support/photo_env.h"
#include "support/test_images.h"

namespace kelvo::test {
namespace {

using enum Ctl;
using enum MenuItem;

class QtApplicationEnvironment : public testing::Environment {
    void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }
    int argc_ = 1;
    char name_[16] = "test_editor", *argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] testing::Environment* const kQtEnvironment =
    testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

// Leaves editor-NAME.png: the window, with a pop-up or message box drawn where it stands
// (a message box over the window's middle, as desktops place it).
void SaveShot(QWidget& window, const char* name, QWidget* above = nullptr) {
    QPixmap shot = window.grab();
    if (above) {
        QPoint at = qobject_cast<QMessageBox*>(above)
                        ? window.rect().center() - above->rect().center()
                        : above->mapToGlobal(QPoint()) - window.mapToGlobal(QPoint());
        QRect both = window.rect() | QRect(at, above->size());
        QPixmap canvas(both.size() * shot.devicePixelRatio());
        canvas.setDevicePixelRatio(shot.devicePixelRatio());
        canvas.fill(Qt::darkGray);
        QPainter(&canvas).drawPixmap(-both.topLeft(), shot);
        QPainter(&canvas).drawPixmap(at - both.topLeft(), above->grab());
        shot = canvas;
    }
    const char* env = std::getenv("KELVO_TEST_ARTIFACTS");
    std::string folder = env && *env ? env : TempFolder() + "artifacts";
    QDir().mkpath(QString::fromStdString(folder));
    EXPECT_TRUE(shot.save(QString::fromStdString(folder + "/editor-" + name + ".png"))) << name;
}

// Answers the next real message box with `button`; its text is added to `shown`.
void AnswerMessageBox(QMessageBox::StandardButton button, QStringList* shown,
                      QWidget* window = nullptr, const char* shot = nullptr) {
    QTimer::singleShot(0, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr) << "no message box is shown";
        *shown << box->text();
        if (shot) SaveShot(*window, shot, box);
        box->button(button)->click();
    });
}

// The photo lies centred across its frame; when fitted (`width` given), also down it, inside
// the frame, its aspect kept.
void ExpectCentred(QtPhotoWindow& window, int width = 0, int height = 0) {
    QRect photo = window.widget(imgMainPhoto)->geometry();
    QRect frame = window.widget(picPhotoFrame)->rect();
    EXPECT_LE(std::abs(photo.center().x() - frame.center().x()), 2);
    if (!width) return;
    EXPECT_TRUE(frame.contains(photo)) << photo.width() << "x" << photo.height();
    EXPECT_NEAR(photo.width() * height, photo.height() * width, width + height);
    EXPECT_LE(std::abs(photo.center().y() - frame.center().y()), 2);
}

void ClickRow(QtPhotoWindow& window, int row) {
    auto* list = static_cast<QTreeWidget*>(window.widget(lvwPicDescription));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->topLevelItem(row)).center());
}

// Most cases show the window without its modal loop, as the launcher does but for exec.
class FrmPhotoTest : public PhotoTest {
  protected:
    void Open(double maxSize = 0, double backColor = 0) {
        form.reset();
        window = std::make_unique<QtPhotoWindow>();
        window->openFileHook = [this](long flags, const std::string& filter) {
            dialogs.push_back({flags, filter});
            std::string path = files.empty() ? "" : files.front();
            if (!files.empty()) files.pop_front();
            return OpenFileResult{path, path.substr(path.rfind('/') + 1)};
        };
        store = newStore();
        store->PhotosMaxSize = maxSize;
        store->BackColor = backColor;
        store->Init("A1", "CUST", "Alice", nullptr, db->connection());
        form = std::make_unique<kelvo::frmPhoto>(*window);
        window->attach(form.get());
        form->objcPhoto(store.get());
        form->Form_Load();
        window->show();
    }
    // Replaces what a text box holds by typing `text` key by key, letters beyond ASCII too.
    void Type(Ctl box, const char* text) {
        QWidget* widget = window->widget(box);
        QTest::keySequence(widget, QKeySequence::SelectAll);
        if (!*text) QTest::keyClick(widget, Qt::Key_Delete);
        for (QChar ch : QString::fromUtf8(text))
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, ch, {});
    }
    void Click(Ctl c) { QTest::mouseClick(window->widget(c), Qt::LeftButton); }
    Lines ListTexts() {
        Lines texts;
        for (int i = 1; i <= window->ListCount(); ++i) texts.push_back(window->ListText(i));
        return texts;
    }
    // Opens the action menu by mouse, lets `look` at it and chooses `item` (None closes it), the
    // next question answered `answer`.
    void Pick(MenuItem item, int answer = 0, std::function<void(QMenu&)> look = nullptr) {
        if (answer) interaction.answers = {answer};
        QTimer::singleShot(0, [this, item, look] {
            QMenu* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_EQ(menu, window->photoActionMenu());
            if (look) look(*menu);
            if (item == None || !window->action(item)->isEnabled()) {
                EXPECT_EQ(item, None) << "the item is disabled";
                menu->close();
                return;
            }
            menu->setActiveAction(window->action(item));
            QTest::keyClick(menu, Qt::Key_Return);
        });
        Click(chkAction);
    }
    void Save(const char* description) { Type(txtDescription, description), Click(cmdSave); }
    // Which of add from file, add from clipboard, copy and delete the menu offers, as 1 or 0.
    std::string Offered() {
        std::string offered;
        for (int m = 1; m <= 4; ++m) offered += "01"[window->action(MenuItem(m))->isEnabled()];
        return offered;
    }
    bool SaveEnabled() { return window->widget(cmdSave)->isEnabled(); }
    // The mode, the selected key, the caption, both texts, and "save" when Save is enabled.
    std::string State() {
        std::string mode = form->bAddMode ? "add " : form->bEditMode ? "edit " : "- ";
        return mode + form->sSelectedKey + " | " + window->Caption(frmPhoto) + " | " +
               window->Text(txtDescription) + " | " + window->Text(txtComments) +
               (SaveEnabled() ? " | save" : "");
    }
    // The stored descriptions in order, the default marked "*".
    std::string Rows() {
        std::string rows;
        for (const StoredPhoto& r : stored()) rows += (r.isDefault ? " *" : " ") + r.description;
        return rows;
    }
    void ExpectAsked(const std::string& prompt, const std::string& title, int style) {
        ShownMessage m = lastMessage();
        EXPECT_EQ(std::tie(m.prompt, m.title, m.style), std::tie(prompt, title, style));
    }
    // A PNG file of fine noise, which shows at once whether it was drawn blurred, or of a sample.
    std::string PhotoFile(int width, int height, const char* caption = nullptr) {
        QImage image(width, height, QImage::Format_RGB32);
        QRandomGenerator(19).fillRange(reinterpret_cast<quint32*>(image.bits()), width * height);
        if (caption) image = ImageOf(*MakeSamplePicture(width, height, caption));
        std::string path = scratch + (caption ? caption : "noise") + ".png";
        EXPECT_TRUE(image.save(QString::fromStdString(path)));
        return path;
    }

    std::unique_ptr<CPicture> store;
    std::unique_ptr<QtPhotoWindow> window;
    std::unique_ptr<kelvo::frmPhoto> form;
    std::deque<std::string> files;  // the open-file dialog's next answers; cancelled when none
    std::vector<std::pair<long, std::string>> dialogs;  // flags and filter of each shown
};

// EditPhoto gives back the owner's photo as its window left it.
TEST_P(FrmPhotoTest, EditPhotoShowsAFreshWindowOnTheCallingStore) {
    InstallQtPhotoEditor();
    seed("Front", true);
    seed("Side", false, 120, 90);
    auto store = newStore();
    for (int width : {40, 120}) {
        bool opened = false;
        QTimer::singleShot(0, [&] {  // runs in the window's modal loop
            auto* window = dynamic_cast<QtPhotoWindow*>(QApplication::activeModalWidget());
            ASSERT_TRUE(window && !window->unloaded());
            opened = window->form()->objcPhoto() == store.get();
            if (width == 120) {  // Side becomes the default
                ClickRow(*window, 1);
                QTest::mouseClick(window->widget(chkDefault), Qt::LeftButton);
                QTest::mouseClick(window->widget(cmdSave), Qt::LeftButton);
            }
            QTest::keyClick(window, Qt::Key_Escape);  // nothing pending: it closes
            EXPECT_TRUE(window->unloaded());
            window->done(QDialog::Rejected);
        });
        EXPECT_EQ(store->EditPhoto("CUST", "A1", "Alice", db->connection())->PixelWidth(), width);
        EXPECT_TRUE(opened) << "no window on the calling store";
    }
    EXPECT_TRUE(interaction.shown.empty());
}

// An owner without photos opens in add mode, its fields locked; else the default photo or the
// first shows.
TEST_P(FrmPhotoTest, OpensInAddModeWhenEmptyElseOnTheDefaultPhotoOrTheFirst) {
    Open();
    auto* list = static_cast<QTreeWidget*>(window->widget(lvwPicDescription));
    EXPECT_EQ(std::tuple(window->ListCount(), list->columnCount(), list->headerItem()->text(0)),
              std::tuple(0, 1, "Description"));
    Type(txtDescription, "typed");
    EXPECT_EQ(State(), "add  | CUST - [A1  Alice] |  | ");
    EXPECT_FALSE(window->widget(chkDefault)->isEnabled());
    EXPECT_FALSE(window->widget(HScLeftSet)->isVisible() || window->widget(VSctopSet)->isVisible());
    EXPECT_TRUE(static_cast<QPlainTextEdit*>(window->widget(txtComments))->isReadOnly());
    EXPECT_TRUE(window->Picture(imgMainPhoto)->IsEmpty());
    // No store colour: the form is button face too.
    EXPECT_EQ(std::tuple(window->BackColor(txtComments), window->BackColor(frmPhoto)),
              std::tuple(kColorButtonFace, kColorButtonFace));
    SaveShot(*window, "empty-owner");
    Pick(mnuAddFromFile);
    EXPECT_FALSE(window->Locked(txtDescription) || !window->widget(chkDefault)->isEnabled());
    EXPECT_EQ(window->BackColor(txtDescription), kColorWindowBackground);

    // A failing handler (here: no store) shows its error in a message box and writes nothing to
    // stderr; the offscreen plugin's own notes are kept out.
    form->objcPhoto(nullptr);
    QtMessageHandler notes = qInstallMessageHandler([](QtMsgType, auto&, auto&) {});
    QStringList shown;
    testing::internal::CaptureStderr();
    Pick(mnuAddFromFile, 0, [&](QMenu&) { AnswerMessageBox(QMessageBox::Ok, &shown); });
    QCoreApplication::processEvents();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    qInstallMessageHandler(notes);
    EXPECT_EQ(shown.join(", ").toStdString(), "the photo window has no photo store");

    seed("Front", false, 40, 30, 0x112233);
    seed("Side", false, 40, 30, 0x445566);
    seed("Top", true, 40, 30, 0x778899);
    seed("Zoom", true, 40, 30, 0xAABBCC);
    CountingPictures counted(*DefaultServices().pictures);
    services.pictures = &counted;
    Open(0, 255.5);  // halves round to even
    EXPECT_EQ(window->BackColor(frmPhoto), 256u);
    EXPECT_EQ(counted.loads, 1) << "only the photo shown is decoded";
    EXPECT_EQ(ListTexts(), (Lines{"Front", "Side", "Top", "Zoom"}));
    EXPECT_EQ(window->ListSelectedKey(), "ItemKeyTop2");
    // Start-up writes the caption last, without the mode.
    EXPECT_EQ(State(), "edit ItemKeyTop2 | CUST - [A1  Alice] | Top | seeded");
    EXPECT_EQ(window->Value(chkDefault), 1);
    EXPECT_EQ(PixelAt(*window->Picture(imgMainPhoto), 20, 15), 0x778899u);
    EXPECT_EQ(window->widget(imgMainPhoto)->size(), QSize(40, 30));  // a small photo as it is
    ExpectCentred(*window);

    // Without a default the first photo is shown (PostgreSQL may list rewritten rows anew).
    db->connection()->Execute("UPDATE PHOTOS SET DEF = ?", {Variant(false)});
    Open();
    ASSERT_EQ(window->ListCount(), 4);
    EXPECT_EQ(std::tuple(form->sSelectedKey, window->Text(txtDescription)),
              std::tuple(window->ListKey(1), window->ListText(1)));
}

// Edits replace the shown photo's row only; deleting the last photo leaves add mode.
TEST_P(FrmPhotoTest, FieldChangesEditsAndDeletesFollowTheModeAndTheShownPhoto) {
    seed("Front", false, 40, 30, 0x111111);
    seed("Side", false, 40, 30, 0x222222);
    Open();
    // Edit mode: comments and the default box enable Save; only texts mark a change.
    Click(chkDefault);
    EXPECT_TRUE(SaveEnabled() && !form->bChanged);
    Type(txtComments, "new words");
    EXPECT_TRUE(form->bChanged);

    // Adding asks to save first, and Cancel stays on the photo.
    Pick(mnuAddFromFile, vbCancel, [&](QMenu& menu) {
        EXPECT_EQ(menu.defaultAction(), window->action(mnuAddFromFile));
        EXPECT_EQ(Offered(), "1011");  // no clipboard
    });
    ExpectAsked("Save changes?", "Changes Not Saved", 35);
    EXPECT_EQ(State(), "edit ItemKeyFront0 | CUST - [A1  Alice] | Front | new words | save");
    Pick(mnuAddFromFile, vbNo);
    EXPECT_FALSE(window->Value(chkAction) || form->bMenuShowing);

    // Dialog cancelled: add mode, empty fields, no item highlighted; a description enables Save.
    EXPECT_EQ(static_cast<QTreeWidget*>(window->widget(lvwPicDescription))->currentItem(), nullptr);
    EXPECT_EQ(window->focusWidget(), window->widget(txtDescription));
    Type(txtComments, "only comments");
    EXPECT_EQ(State(), "add  | [Add Photo] - CUST - [A1  Alice] |  | only comments");
    Save("named");
    ExpectAsked("No photo to save!", "No photo", 48);
    Pick(None, 0, [&](QMenu&) { EXPECT_EQ(Offered(), "1100"); });

    // A list click drops the pending add without a question and enters edit mode.
    ClickRow(*window, 1);
    ExpectAsked("No photo to save!", "No photo", 48);
    EXPECT_EQ(State(), "edit ItemKeySide1 | [Edit Photo] - CUST - [A1  Alice] | Side | seeded");

    Save("FRONT");
    ExpectAsked("Description already exists. Enter a unique one!", "Decription Already Exists", 48);
    Save("Profile");
    EXPECT_EQ(std::tuple(ListTexts(), SaveEnabled()), std::tuple(Lines{"Front", "Profile"}, false));
    // A second save without showing the photo again still replaces the same row.
    Type(txtComments, "second save");
    Click(cmdSave);
    EXPECT_EQ(Rows(), " Front Profile");
    EXPECT_EQ(std::tuple(stored()[0].centre, stored()[1].centre, stored()[1].comments),
              std::tuple(0x111111u, 0x222222u, "second save"));

    for (int answer : {vbNo, vbCancel, vbYes}) {
        Pick(mnuDeleteCurrentPhoto, answer);
        ExpectAsked("Delete Photo and it's details?", "Photo Delete Confirm", 35);
    }
    EXPECT_EQ(std::tuple(Rows(), ListTexts()), std::tuple(" Front", Lines{"Front"}));
    ClickRow(*window, 0);
    Pick(mnuDeleteCurrentPhoto, vbYes);
    EXPECT_EQ(std::tuple(Rows(), window->ListCount()), std::tuple("", 0));
    EXPECT_EQ(State(), "add  | CUST - [A1  Alice] |  | ");
    EXPECT_TRUE(window->Picture(imgMainPhoto)->IsEmpty());
    form->mnuDeleteCurrentPhoto_Click();
    ExpectAsked("There are no Photos to delete", "No Photos", 48);
}

// Unreadable and oversized files are refused; copying puts the shown photo on the clipboard.
TEST_P(FrmPhotoTest, AddingANewPhoto) {
    seed("Front", true);
    std::string broken = scratch + "broken.jpg";
    LocalFileSystem().WriteAll(broken, Bytes{0xFF, 0xD8, 0xFF, 0x00, 0x01});
    files = {broken, WriteImageFile(scratch, "large.bmp", "bmp", 100, 100),
             WriteImageFile(scratch, "sunset.png", "png", 64, 48, 0xCC6633)};
    Open(10);
    clipboard.SetData(*MakePicture(64, 48, 0x00AA00));
    Pick(mnuAddFromClipBoard);
    ASSERT_EQ(std::tuple(form->bAddMode, window->Picture(imgMainPhoto)->PixelWidth()),
              std::tuple(true, 64));
    Click(cmdSave);
    ExpectAsked("Enter a description for the photo!", "Decription Not Entered", 48);
    Save("front");  // the store compares without case
    ExpectAsked("Descrition exists. Please enter a unique description", "Description Exist", 48);
    EXPECT_EQ(std::tuple(Rows(), SaveEnabled()), std::tuple(" *Front", true));

    Pick(mnuAddFromFile, vbNo);
    EXPECT_EQ(lastMessage().style, 48);
    EXPECT_EQ(State(), "add  | [Add Photo] - CUST - [A1  Alice] |  | ");
    EXPECT_TRUE(window->Picture(imgMainPhoto)->IsEmpty());
    Pick(mnuAddFromFile);
    EXPECT_TRUE(lastMessage().prompt.starts_with(
        "This Photo is bigger than the maximum photo size: 10KB, Photo size: "));
    EXPECT_TRUE(form->bPhotoTooBig && !SaveEnabled());
    Save("too big");
    ExpectAsked("Photo too big!!! Maximum size allowed: 10 KB in bitmap format", "", 48);

    Pick(mnuAddFromFile, vbNo);
    EXPECT_EQ(dialogs, decltype(dialogs)(3, {4096L + 8 + 4, kelvo::frmPhoto::kPhotoFileFilter}));
    EXPECT_TRUE(window->Text(txtDescription) == "sunset.png" && form->bChanged);
    EXPECT_TRUE(window->Caption(fraDetails).starts_with("Photo - 64 x 48 Pixels ("));
    SaveShot(*window, "add-mode");
    Type(txtDescription, "Garden it's");
    Type(txtComments, "from a file");
    Click(chkDefault);
    Click(cmdSave);
    ExpectAsked("Save changes?", "Changes Not Saved", 35);  // still the last: saving asks nothing
    EXPECT_EQ(Rows(), " Front *Garden it's");
    StoredPhoto added = stored()[1];
    EXPECT_EQ(std::tuple(added.comments, added.height, added.centre),
              std::tuple("from a file", 48, 0xCC6633u));

    EXPECT_EQ(ListTexts(), (Lines{"Garden it's", "Front"}));
    EXPECT_EQ(window->ListSelectedKey(), "ItemKey2");
    Type(txtDescription, "again");
    EXPECT_EQ(State(), "- ItemKey2 | CUST - [A1  Alice] | again | from a file");

    Pick(mnuCopyToClipboard);
    ASSERT_TRUE(clipboard.held);
    EXPECT_EQ(clipboard.held->Handle(), window->Picture(imgMainPhoto)->Handle());
}

// Closing asks only about typed text, and No or Yes without a description closes unsaved;
// with real message boxes, Escape and the close box ask too, Cancel staying and Yes saving.
TEST_P(FrmPhotoTest, ClosingOffersToSaveChanges) {
    seed("Front", true);
    const std::tuple<const char*, int, const char*> cases[] = {
        {nullptr, vbCancel, ""},
        {"Renamed", vbNo, "Save changes?"},
        {"", vbYes, "Enter a description for the photo!"}};
    for (const auto& [typed, answer, asked] : cases) {
        SCOPED_TRACE(std::string(typed ? typed : "(default box)") + " " + asked);
        Open();
        interaction.shown.clear();
        interaction.answers = {answer};
        typed ? Type(txtDescription, typed) : Click(chkDefault);  // no text: the default box
        Click(cmdClose);
        EXPECT_EQ(std::tuple(lastMessage().prompt, window->unloaded(), Rows()),
                  std::tuple(asked, true, " *Front"));
    }
    EXPECT_EQ(store->OwnerPhoto()->PixelWidth(), 40);

    files = {WriteImageFile(scratch, "harbour.jpg", "jpg", 120, 90, 0xAA3322)};
    services.interaction = DefaultServices().interaction;  // real message boxes
    Open();
    Pick(mnuAddFromFile);
    Type(txtDescription, "Hafen bei Dämmerung");
    QStringList asked;
    AnswerMessageBox(QMessageBox::Cancel, &asked, window.get(), "message-box");
    QTest::keyClick(window->widget(txtDescription), Qt::Key_Escape);
    AnswerMessageBox(QMessageBox::Cancel, &asked);
    window->close();  // as the title-bar close box does
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(window->Text(txtDescription), "Hafen bei Dämmerung");
    AnswerMessageBox(QMessageBox::Yes, &asked);
    window->close();
    EXPECT_EQ(asked.join(", ").toStdString(), "Save changes?, Save changes?, Save changes?");
    EXPECT_TRUE(window->unloaded());
    EXPECT_EQ(Rows(), " Front Hafen bei Dämmerung");  // every save clears the default first
}

TEST_P(FrmPhotoTest, ViewerFitsOrScrollsALargePhoto) {
    seed("Wide", false, 400, 300);
    seed("Tall", false, 100, 265);
    seed("Long", false, 2500, 20);
    Open();
    auto* horizontal = static_cast<QScrollBar*>(window->widget(HScLeftSet));
    auto* vertical = static_cast<QScrollBar*>(window->widget(VSctopSet));
    auto expectFitted = [&] {
        EXPECT_TRUE(window->Stretch(imgMainPhoto));
        ExpectCentred(*window, 4, 3);
        EXPECT_FALSE(horizontal->isVisible() || vertical->isVisible());
    };
    expectFitted();
    SaveShot(*window, "fitted");

    Click(optActualsize);
    EXPECT_EQ(std::tuple(window->Stretch(imgMainPhoto), window->Width(imgMainPhoto),
                         horizontal->isVisible() && vertical->isVisible(),
                         window->Visible(fraHideBackGround0), SaveEnabled()),
              std::tuple(false, 400 * 15, true, true, true));  // a view choice enables Save
    const int wideMax = window->Max(HScLeftSet);

    // A photo exactly as high as the area overflows; a range past 32767 keeps the old one.
    ClickRow(*window, 1);
    EXPECT_TRUE(vertical->isVisible() && !horizontal->isVisible() && window->Max(VSctopSet) > 0);
    ExpectCentred(*window);
    ClickRow(*window, 2);
    EXPECT_TRUE(horizontal->isVisible() && window->Max(HScLeftSet) == wideMax);

    // The keys move the bars; at their ends the photo's far edges come into the frame.
    files = {PhotoFile(900, 700, "Harbour at noon")};
    Pick(mnuAddFromFile);
    QTest::keyClick(horizontal, Qt::Key_End);
    QTest::keyClick(vertical, Qt::Key_End);
    EXPECT_EQ(std::tuple(window->Left(imgMainPhoto), window->Top(imgMainPhoto)),
              std::tuple(-horizontal->value(), -vertical->value()));
    QRect photo = window->widget(imgMainPhoto)->geometry();
    EXPECT_GT(photo.right(), window->widget(picPhotoFrame)->width() / 2);
    EXPECT_TRUE(window->widget(picPhotoFrame)->rect().contains(photo.bottomRight()));
    for (int page = 0; page < 25; ++page) QTest::keyClick(horizontal, Qt::Key_PageUp);
    QTest::keyClick(vertical, Qt::Key_Home);
    for (int page = 0; page < 18; ++page) QTest::keyClick(vertical, Qt::Key_PageDown);
    EXPECT_EQ(window->Top(imgMainPhoto), -3600);  // a page is 200 twips
    SaveShot(*window, "actual-size-scrolled");

    Pick(mnuAddFromFile, vbNo);
    EXPECT_FALSE(horizontal->isVisible() || vertical->isVisible());
    ClickRow(*window, 0);
    Click(optFit);
    expectFitted();
}

TEST_P(FrmPhotoTest, KeyboardShowsTheCurrentItemAndADeleteLeavesNoneSelected) {
    const std::string names[] = {"Alpha", "Bravo", "Charlie", "Delta", "Echo"};
    for (int i = 0; i < 5; ++i)
        seed(names[i], false, 40 + 10 * i, 30, 0x3366CC, "about " + names[i]);
    Open();
    auto* list = static_cast<QTreeWidget*>(window->widget(lvwPicDescription));
    auto shows = [&](int i) {
        std::string item = list->currentItem() ? list->currentItem()->text(0).toStdString() : "";
        EXPECT_EQ(std::tuple(window->Text(txtDescription), window->Text(txtComments), item,
                             window->Picture(imgMainPhoto)->PixelWidth(), SaveEnabled()),
                  std::tuple(names[i], "about " + names[i], names[i], 40 + 10 * i, false));
    };
    const std::pair<Qt::Key, int> moves[] = {
        {Qt::Key_Down, 1},   {Qt::Key_End, 4}, {Qt::Key_Home, 0}, {Qt::Key_PageDown, 4},
        {Qt::Key_PageUp, 0}, {Qt::Key_D, 3},   {Qt::Key_Up, 2}};
    for (auto [key, index] : moves) QTest::keyClick(list, key), shows(index);
    // Save acts on the photo the keyboard showed; a click shows an item as the keys do.
    Type(txtComments, "über den Dächern");
    Click(cmdSave);
    ClickRow(*window, 1);
    shows(1);

    Pick(mnuDeleteCurrentPhoto, vbYes,
         [&](QMenu& menu) { SaveShot(*window, "action-menu", &menu); });
    EXPECT_TRUE(list->selectedItems().isEmpty() && !list->currentItem());
    EXPECT_TRUE(window->Picture(imgMainPhoto)->IsEmpty());
    Pick(None, 0, [&](QMenu&) { EXPECT_EQ(Offered().substr(2), "00"); });
    QTest::keyClick(list, Qt::Key_Down);
    shows(0);
    ASSERT_EQ(Rows(), " Alpha Charlie Delta Echo");
    EXPECT_EQ(stored()[1].comments, "über den Dächern");
}

// Every control stays inside the window, its text fitting; the photo is drawn from screen pixels.
TEST_P(FrmPhotoTest, KeepsItsLayoutAndASharpPhotoAtTwiceTheResolution) {
    if (qApp->devicePixelRatio() < 2) {  // the case runs again in a process at twice the scale
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        std::string run = "QT_SCALE_FACTOR=2 '" + qApp->applicationFilePath().toStdString() +
                          "' '--gtest_filter=*." + test->name() + "'";
        EXPECT_EQ(std::system(run.c_str()), 0);
        return;
    }
    std::string noisy = PhotoFile(600, 400);
    files = {noisy, PhotoFile(640, 480, "Quay at dusk")};
    Open();
    Pick(mnuAddFromFile);
    ExpectCentred(*window, 600, 400);
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisible() || w->parentWidget() != window.get()) continue;
        EXPECT_TRUE(window->rect().contains(w->geometry())) << w->metaObject()->className();
        if (!qobject_cast<QLabel*>(w) && !qobject_cast<QAbstractButton*>(w)) continue;
        EXPECT_LE(w->sizeHint().width(), w->width()) << w->metaObject()->className();
        EXPECT_LE(w->fontMetrics().height(), w->height()) << w->metaObject()->className();
    }
    // A blown-up copy repeats each pixel across a 2 x 2 block; a sharp one seldom does.
    QImage drawn = window->widget(imgMainPhoto)->grab().toImage();
    ASSERT_EQ(drawn.width(), 2 * window->widget(imgMainPhoto)->width());
    int blocks = 0, repeated = 0;
    for (int y = 0; y + 1 < drawn.height(); y += 2)
        for (int x = 0; x + 1 < drawn.width(); x += 2, ++blocks)
            repeated += drawn.pixel(x, y) == drawn.pixel(x + 1, y + 1);
    EXPECT_LT(repeated, blocks / 10);

    // At actual size each photo pixel covers 2 x 2 screen pixels, unblurred.
    Click(optActualsize);
    drawn = window->widget(imgMainPhoto)->grab().toImage();
    QImage photo(QString::fromStdString(noisy));
    for (QPoint p : {QPoint(0, 0), QPoint(101, 57), QPoint(220, 199)})
        EXPECT_EQ(drawn.pixel(2 * p.x() + 1, 2 * p.y() + 1), photo.pixel(p)) << p.x();
    Click(optFit);
    Pick(mnuAddFromFile, vbNo);
    SaveShot(*window, "hidpi-2x");
}

TEST(QtPhotoWindowWidgets, OpenFileDialogOffersThePhotoKinds) {
    QtPhotoWindow window;
    std::string path = WriteImageFile(TempFolder(), "pier.jpg", "jpg", 20, 20);
    QStringList offered;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        offered = dialog->nameFilters();
        dialog->selectFile(QString::fromStdString(path));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    OpenFileResult chosen = window.ShowOpen(4108, kelvo::frmPhoto::kPhotoFileFilter);
    EXPECT_EQ(std::tuple(chosen.FileName, chosen.FileTitle), std::tuple(path, "pier.jpg"));
    ASSERT_EQ(offered.size(), 10);
    // Qt folds the blank after "All Photos" into the one before the patterns.
    EXPECT_EQ(offered[0].toStdString(),
              "All Photos (*.bmp *.ico *.cur *.rle *.wmf *.emf *.gif *.rle *.jpg)");
    EXPECT_EQ(offered[9].toStdString(), "All Files (*.*) (*.*)");
}

INSTANTIATE_TEST_SUITE_P(Backends, FrmPhotoTest, testing::ValuesIn(TestBackends()), BackendName);

}  // namespace
}  // namespace kelvo::test
