// The Qt editor window, offscreen, opened through EditPhoto on a seeded database and driven
// through its real widgets: typing, Save, the action menu, Close; plus a screenshot.
#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <cstdlib>
#include <functional>

#include "editor/frmPhoto.h"
#include "editor/qt/photo_editor_launcher.h"
#include "editor/qt/photo_window.h"
#include "editor_fixture.h"
#include "support/test_images.h"

namespace kelvo::test {
namespace {

// One widgets application for the whole test program.
class QtApplicationEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        if (!QCoreApplication::instance()) app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

  private:
    int argc_ = 1;
    char name_[16] = "test_editor";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] testing::Environment* const kQtEnvironment =
    testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

// Types `text` into a widget key by key, replacing what a line edit held.
void TypeInto(QWidget* widget, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(widget)) line->selectAll();
    for (QChar ch : text) {
        int key = ch.toUpper().unicode();  // Qt's key codes for Latin-1 are the characters
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(ch));
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(ch));
        QCoreApplication::sendEvent(widget, &press);
        QCoreApplication::sendEvent(widget, &release);
    }
}

// Chooses `item` in the pop-up menu as soon as it is open.
void ChooseFromPopup(QtPhotoWindow& window, MenuItem item) {
    QTimer::singleShot(0, [&window, item] {
        QMenu* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_EQ(menu, window.photoActionMenu());
        menu->setActiveAction(window.action(item));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(menu, &enter);
    });
}

// Runs `act` on the editor window once it is shown modally; closes any window left open.
void WhenWindowOpens(const std::function<void(QtPhotoWindow&)>& act) {
    QTimer::singleShot(0, [act] {
        auto* window = dynamic_cast<QtPhotoWindow*>(QApplication::activeModalWidget());
        if (window) act(*window);
        if (window && window->isVisible()) {
            ADD_FAILURE() << "the window was left open";
            window->reject();
        }
        if (!window) ADD_FAILURE() << "no editor window was shown";
    });
}

std::string ArtifactsFolder() {
    const char* env = std::getenv("KELVO_TEST_ARTIFACTS");
    std::string folder = env && *env ? env : TempFolder() + "artifacts";
    QDir().mkpath(QString::fromStdString(folder));
    return folder;
}

class QtWindowTest : public EditorFixture {
  protected:
    void SetUp() override {
        EditorFixture::SetUp();
        InstallQtPhotoEditor();
    }
};

TEST_P(QtWindowTest, EditsThroughTheRealWidgets) {
    Seed("Front", false, 40, 30, 0x2244AA);
    Seed("Garden", true, 300, 200, 0x33AA55);
    std::string added = WriteImageFile(folder, "harbour.png", "png", 120, 90, 0xAA3322);
    auto store = NewStore();
    bool acted = false;

    WhenWindowOpens([&](QtPhotoWindow& window) {
        acted = true;
        auto* list = static_cast<QTreeWidget*>(window.widget(Ctl::lvwPicDescription));
        auto* description = static_cast<QLineEdit*>(window.widget(Ctl::txtDescription));
        auto* save = static_cast<QPushButton*>(window.widget(Ctl::cmdSave));
        EXPECT_EQ(window.windowTitle().toStdString(), "CUST - [A1  Alice]");
        ASSERT_EQ(list->topLevelItemCount(), 2);
        EXPECT_EQ(list->headerItem()->text(0).toStdString(), "Description");
        EXPECT_TRUE(list->topLevelItem(1)->isSelected());
        EXPECT_EQ(description->text().toStdString(), "Garden");
        EXPECT_FALSE(save->isEnabled());

        // Widgets sit where the twips layout puts them, at the screen's resolution.
        EXPECT_EQ(save->geometry(), QRect(window.toPixelsX(5070), window.toPixelsY(5340),
                                          window.toPixelsX(1200), window.toPixelsY(315)));
        EXPECT_EQ(window.size(), QSize(window.toPixelsX(7635), window.toPixelsY(5730)));
        // The photo is fitted by its width and centred in the viewing area.
        QWidget* photo = window.widget(Ctl::imgMainPhoto);
        EXPECT_EQ(photo->width(), window.toPixelsX(window.Width(Ctl::imgMainPhoto)));
        EXPECT_NEAR(window.Width(Ctl::imgMainPhoto), window.ScaleWidth(Ctl::picPhotoFrame) - 200,
                    0.01);
        QWidget* frame = window.widget(Ctl::picPhotoFrame);
        EXPECT_LE(std::abs(photo->geometry().center().x() - frame->width() / 2), 2);
        EXPECT_LE(std::abs(photo->geometry().center().y() - frame->height() / 2), 2);
        EXPECT_EQ(window.Caption(Ctl::fraDetails).rfind("Photo - 300 x 200 Pixels (", 0), 0u);

        std::string shot = ArtifactsFolder() + "/editor-window.png";
        EXPECT_TRUE(window.grab().save(QString::fromStdString(shot)));

        // Typing and Save rename the shown photo.
        TypeInto(description, "Garden path");
        EXPECT_TRUE(save->isEnabled());
        save->click();
        EXPECT_FALSE(save->isEnabled());
        EXPECT_EQ(list->topLevelItem(1)->text(0).toStdString(), "Garden path");

        // The action menu adds a photo from the file the dialog gives back.
        window.openFileHook = [&](long flags, const std::string& filter) {
            EXPECT_EQ(flags, 4108);
            EXPECT_EQ(filter, frmPhoto::kPhotoFileFilter);
            return OpenFileResult{added, "harbour.png"};
        };
        ChooseFromPopup(window, MenuItem::mnuAddFromFile);
        static_cast<QPushButton*>(window.widget(Ctl::chkAction))->click();
        EXPECT_FALSE(static_cast<QPushButton*>(window.widget(Ctl::chkAction))->isChecked());
        EXPECT_EQ(description->text().toStdString(), "harbour.png");
        EXPECT_EQ(window.windowTitle().toStdString(), "[Add Photo] - CUST - [A1  Alice]");
        TypeInto(window.widget(Ctl::txtComments), "by the sea");
        static_cast<QCheckBox*>(window.widget(Ctl::chkDefault))->click();
        save->click();
        ASSERT_EQ(list->topLevelItemCount(), 3);
        EXPECT_EQ(list->topLevelItem(0)->text(0).toStdString(), "harbour.png");

        static_cast<QPushButton*>(window.widget(Ctl::cmdClose))->click();
        EXPECT_TRUE(window.unloaded());
    });
    PicturePtr result = store->EditPhoto("CUST", "A1", "Alice", db->connection());
    EXPECT_TRUE(acted);
    EXPECT_EQ(result->PixelWidth(), 120);

    std::vector<StoredPhoto> rows = Stored();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].description, "Front");
    EXPECT_EQ(rows[1].description, "Garden path");
    EXPECT_EQ(rows[1].width, 300);
    EXPECT_EQ(rows[1].centre, 0x33AA55u);
    EXPECT_FALSE(rows[1].isDefault);
    EXPECT_EQ(rows[2].description, "harbour.png");
    EXPECT_EQ(rows[2].comments, "by the sea");
    EXPECT_TRUE(rows[2].isDefault);
    EXPECT_EQ(rows[2].centre, 0xAA3322u);
}

TEST_P(QtWindowTest, EachCallGetsAFreshWindowOnTheCallingStore) {
    auto store = NewStore();
    int opened = 0;
    for (int call = 0; call < 2; ++call) {
        WhenWindowOpens([&](QtPhotoWindow& window) {
            EXPECT_EQ(window.form()->objcPhoto(), store.get());
            EXPECT_FALSE(window.unloaded());
            ++opened;
            // An owner without photos: add mode, the fields read-only, Save disabled.
            EXPECT_TRUE(window.form()->bAddMode);
            EXPECT_TRUE(static_cast<QLineEdit*>(window.widget(Ctl::txtDescription))->isReadOnly());
            EXPECT_TRUE(
                static_cast<QPlainTextEdit*>(window.widget(Ctl::txtComments))->isReadOnly());
            EXPECT_FALSE(window.widget(Ctl::chkDefault)->isEnabled());
            EXPECT_FALSE(window.widget(Ctl::cmdSave)->isEnabled());
            EXPECT_EQ(window.windowTitle().toStdString(), "CUST - [A1  Alice]");
            static_cast<QPushButton*>(window.widget(Ctl::cmdClose))->click();
        });
        PicturePtr result = store->EditPhoto("CUST", "A1", "Alice", db->connection());
        EXPECT_TRUE(result->IsEmpty());
    }
    EXPECT_EQ(opened, 2);
    EXPECT_TRUE(Stored().empty());
}

TEST(QtPhotoWindowWidgets, OpenFileDialogAndMenuAreTheWindowsOwn) {
    QtPhotoWindow window;
    std::string folder = TempFolder();
    std::string path = WriteImageFile(folder, "pier.jpg", "jpg", 20, 20);
    QStringList offered;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        offered = dialog->nameFilters();
        dialog->selectFile(QString::fromStdString(path));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    OpenFileResult chosen = window.ShowOpen(4108, frmPhoto::kPhotoFileFilter);
    EXPECT_EQ(chosen.FileName, path);
    EXPECT_EQ(chosen.FileTitle, "pier.jpg");
    ASSERT_EQ(offered.size(), 10);
    // Qt folds the blank after "All Photos" into the one before the patterns.
    EXPECT_EQ(offered[0].toStdString(),
              "All Photos (*.bmp *.ico *.cur *.rle *.wmf *.emf *.gif *.rle *.jpg)");
    EXPECT_EQ(offered[9].toStdString(), "All Files (*.*) (*.*)");

    // The pop-up menu, its items in order, the default item shown bold; closing it unchosen.
    QStringList captions;
    for (QAction* a : window.photoActionMenu()->actions())
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(captions.join(QLatin1Char('|')).toStdString(),
              "Add Photo From File|Add Photo From Clipboard|-|Copy Photo To Clipboard|"
              "Delete Current Photo");
    QTimer::singleShot(0, [&] {
        QMenu* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->defaultAction(), window.action(MenuItem::mnuAddFromFile));
        menu->close();
    });
    EXPECT_EQ(window.PopupMenu(90, 5640, MenuItem::mnuAddFromFile), MenuItem::None);
    EXPECT_EQ(window.widget(Ctl::chkDefault)->toolTip().toStdString(),
              "Will set te current photo as a default photo");
}

INSTANTIATE_TEST_SUITE_P(Sqlite, QtWindowTest, testing::Values(std::string("sqlite")), BackendName);

}  // namespace
}  // namespace kelvo::test
