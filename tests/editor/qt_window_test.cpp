// The Qt editor window, offscreen, opened through EditPhoto on a seeded database and driven
// through its real widgets with QTest's keys and clicks; each state a user sees is left as a
// screenshot in the artifacts folder.
#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <cstdlib>
#include <functional>

#include "editor/frmPhoto.h"
#include "editor/qt/photo_editor_launcher.h"
#include "editor/qt/photo_window.h"
#include "platform/pictures/qt_picture.h"
#include "platform/pictures/sample_pictures.h"
#include "support/photo_env.h"
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

template <typename W = QWidget>
W* Widget(QtPhotoWindow& window, Ctl c) {
    return static_cast<W*>(window.widget(c));
}

// Replaces what a text box holds by typing `text` key by key, letters beyond ASCII too.
void TypeInto(QWidget* widget, const QString& text) {
    QTest::keySequence(widget, QKeySequence::SelectAll);
    for (QChar ch : text) QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, ch, {});
}

std::string ArtifactsFolder() {
    const char* env = std::getenv("KELVO_TEST_ARTIFACTS");
    std::string folder = env && *env ? env : TempFolder() + "artifacts";
    QDir().mkpath(QString::fromStdString(folder));
    return folder;
}

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
        QPainter painter(&canvas);
        painter.drawPixmap(-both.topLeft(), shot);
        painter.drawPixmap(at - both.topLeft(), above->grab());
        painter.end();
        shot = canvas;
    }
    std::string path = ArtifactsFolder() + "/editor-" + name + ".png";
    EXPECT_TRUE(shot.save(QString::fromStdString(path))) << path;
}

// Once the pop-up menu is open: `look` at it, then choose `item` (None closes it unchosen).
void ChooseFromPopup(QtPhotoWindow& window, MenuItem item,
                     std::function<void(QMenu&)> look = nullptr) {
    QTimer::singleShot(0, [&window, item, look] {
        QMenu* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_EQ(menu, window.photoActionMenu());
        if (look) look(*menu);
        if (item == MenuItem::None || !window.action(item)->isEnabled()) {
            EXPECT_EQ(item, MenuItem::None) << "the item is disabled";
            menu->close();
            return;
        }
        menu->setActiveAction(window.action(item));
        QTest::keyClick(menu, Qt::Key_Return);
    });
}

// Opens the action menu with the mouse and chooses `item` in it.
void Choose(QtPhotoWindow& window, MenuItem item, std::function<void(QMenu&)> look = nullptr) {
    ChooseFromPopup(window, item, std::move(look));
    QTest::mouseClick(window.widget(Ctl::chkAction), Qt::LeftButton);
}

// Answers the next real message box with `button`; its text goes to `shown`.
void AnswerMessageBox(QMessageBox::StandardButton button, QString* shown, QWidget* window = nullptr,
                      const char* shot = nullptr) {
    QTimer::singleShot(0, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr) << "no message box is shown";
        *shown = box->text();
        if (shot) SaveShot(*window, shot, box);
        box->button(button)->click();
    });
}

// Runs `act` on the editor window once it is shown modally (the store's yield to pending
// events may come first); closes any window left open.
void WhenWindowOpens(const std::function<void(QtPhotoWindow&)>& act, int triesLeft = 500) {
    QTimer::singleShot(triesLeft == 500 ? 0 : 10, [act, triesLeft] {
        auto* window = dynamic_cast<QtPhotoWindow*>(QApplication::activeModalWidget());
        if (!window) {
            if (triesLeft > 0) return WhenWindowOpens(act, triesLeft - 1);
            ADD_FAILURE() << "no editor window was shown";
            return;
        }
        act(*window);
        if (window->isVisible()) {
            ADD_FAILURE() << "the window was left open";
            window->done(QDialog::Rejected);
        }
    });
}

class QtWindowTest : public PhotoTest {
  protected:
    void SetUp() override {
        PhotoTest::SetUp();
        InstallQtPhotoEditor();
    }

    PicturePtr Edit(const std::function<void(QtPhotoWindow&)>& act) {
        auto store = newStore();
        bool acted = false;
        WhenWindowOpens([&](QtPhotoWindow& window) {
            acted = true;
            act(window);
        });
        PicturePtr result = store->EditPhoto("CUST", "A1", "Alice", db->connection());
        EXPECT_TRUE(acted);
        return result;
    }

    // A PNG photo file: fine noise, which shows at once whether it was drawn blurred, or a
    // captioned sample photo.
    std::string PhotoFile(int width, int height, const char* caption = nullptr) {
        QImage image(width, height, QImage::Format_RGB32);
        if (caption) {
            image = ImageOf(*MakeSamplePicture(width, height, caption));
        } else {
            QRandomGenerator noise(19);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    image.setPixel(x, y, noise.generate() | 0xFF000000u);
        }
        std::string path = scratch + (caption ? caption : "noise") + ".png";
        EXPECT_TRUE(image.save(QString::fromStdString(path)));
        return path;
    }

    // Adds the photo file `path` through the action menu and the open-file dialog.
    static void AddFromFile(QtPhotoWindow& window, const std::string& path) {
        window.openFileHook = [path](long, const std::string&) {
            return path.empty()
                       ? OpenFileResult{}
                       : OpenFileResult{
                             path,
                             QFileInfo(QString::fromStdString(path)).fileName().toStdString()};
        };
        Choose(window, MenuItem::mnuAddFromFile);
    }
};

TEST_P(QtWindowTest, EditsThroughTheRealWidgets) {
    seed("Front", false, 40, 30, 0x2244AA);
    seed("Garden", true, 300, 200, 0x33AA55);
    std::string added = WriteImageFile(scratch, "harbour.png", "png", 120, 90, 0xAA3322);

    PicturePtr result = Edit([&](QtPhotoWindow& window) {
        auto* list = Widget<QTreeWidget>(window, Ctl::lvwPicDescription);
        auto* description = Widget<QLineEdit>(window, Ctl::txtDescription);
        auto* save = Widget<QPushButton>(window, Ctl::cmdSave);
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
        SaveShot(window, "fitted");

        // Typing and Save rename the shown photo.
        TypeInto(description, QStringLiteral("Garden path"));
        EXPECT_TRUE(save->isEnabled());
        QTest::mouseClick(save, Qt::LeftButton);
        EXPECT_FALSE(save->isEnabled());
        EXPECT_EQ(list->topLevelItem(1)->text(0).toStdString(), "Garden path");

        // The action menu adds a photo from the file the dialog gives back.
        window.openFileHook = [&](long flags, const std::string& filter) {
            EXPECT_EQ(flags, 4108);
            EXPECT_EQ(filter, frmPhoto::kPhotoFileFilter);
            return OpenFileResult{added, "harbour.png"};
        };
        Choose(window, MenuItem::mnuAddFromFile);
        EXPECT_FALSE(Widget<QPushButton>(window, Ctl::chkAction)->isChecked());
        EXPECT_EQ(description->text().toStdString(), "harbour.png");
        EXPECT_EQ(window.windowTitle().toStdString(), "[Add Photo] - CUST - [A1  Alice]");
        // The photo being added is in no item yet: none is highlighted.
        EXPECT_TRUE(list->selectedItems().isEmpty());
        EXPECT_EQ(list->currentItem(), nullptr);
        SaveShot(window, "add-mode");
        TypeInto(window.widget(Ctl::txtComments), QStringLiteral("by the sea"));
        QTest::mouseClick(window.widget(Ctl::chkDefault), Qt::LeftButton);
        QTest::mouseClick(save, Qt::LeftButton);
        ASSERT_EQ(list->topLevelItemCount(), 3);
        EXPECT_EQ(list->topLevelItem(0)->text(0).toStdString(), "harbour.png");

        QTest::mouseClick(window.widget(Ctl::cmdClose), Qt::LeftButton);
        EXPECT_TRUE(window.unloaded());
    });
    EXPECT_EQ(result->PixelWidth(), 120);

    std::vector<StoredPhoto> rows = stored();
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
    auto store = newStore();
    int opened = 0;
    for (int call = 0; call < 2; ++call) {
        WhenWindowOpens([&](QtPhotoWindow& window) {
            EXPECT_EQ(window.form()->objcPhoto(), store.get());
            EXPECT_FALSE(window.unloaded());
            ++opened;
            // An owner without photos: add mode, the fields read-only, Save disabled, no bars.
            EXPECT_TRUE(window.form()->bAddMode);
            EXPECT_TRUE(Widget<QLineEdit>(window, Ctl::txtDescription)->isReadOnly());
            EXPECT_TRUE(Widget<QPlainTextEdit>(window, Ctl::txtComments)->isReadOnly());
            EXPECT_FALSE(window.widget(Ctl::chkDefault)->isEnabled());
            EXPECT_FALSE(window.widget(Ctl::cmdSave)->isEnabled());
            EXPECT_FALSE(window.widget(Ctl::HScLeftSet)->isVisible());
            EXPECT_FALSE(window.widget(Ctl::VSctopSet)->isVisible());
            EXPECT_EQ(window.windowTitle().toStdString(), "CUST - [A1  Alice]");
            SaveShot(window, "empty-owner");
            // Nothing pending: one Escape closes the window.
            QTest::keyClick(&window, Qt::Key_Escape);
            EXPECT_TRUE(window.unloaded());
        });
        PicturePtr result = store->EditPhoto("CUST", "A1", "Alice", db->connection());
        EXPECT_TRUE(result->IsEmpty());
    }
    EXPECT_EQ(opened, 2);
    EXPECT_TRUE(interaction.shown.empty());
    EXPECT_TRUE(stored().empty());
}

TEST_P(QtWindowTest, KeyboardShowsTheCurrentItemAndADeleteLeavesNoneSelected) {
    const char* names[] = {"Alpha", "Bravo", "Charlie", "Delta", "Echo"};
    for (int i = 0; i < 5; ++i)
        seed(names[i], false, 40 + 10 * i, 30, 0x102030u * (i + 1),
             std::string("about ") + names[i]);
    Edit([&](QtPhotoWindow& window) {
        auto* list = Widget<QTreeWidget>(window, Ctl::lvwPicDescription);
        auto shows = [&](const std::string& name) {
            EXPECT_EQ(window.Text(Ctl::txtDescription), name);
            EXPECT_EQ(window.Text(Ctl::txtComments), "about " + name);
            int index = static_cast<int>(std::find(std::begin(names), std::end(names), name) -
                                         std::begin(names));
            EXPECT_EQ(window.Picture(Ctl::imgMainPhoto)->PixelWidth(), 40 + 10 * index);
            ASSERT_NE(list->currentItem(), nullptr);
            EXPECT_EQ(list->currentItem()->text(0).toStdString(), name);
            EXPECT_EQ(window.form()->sSelectedKey, window.ListSelectedKey());
            EXPECT_FALSE(window.widget(Ctl::cmdSave)->isEnabled());
        };
        list->setFocus();
        struct Move {
            Qt::Key key;
            const char* typed;
            std::string shown;
        };
        for (const Move& move :
             {Move{Qt::Key_Down, "", "Bravo"}, Move{Qt::Key_End, "", "Echo"},
              Move{Qt::Key_Home, "", "Alpha"}, Move{Qt::Key_PageDown, "", "Echo"},
              Move{Qt::Key_PageUp, "", "Alpha"}, Move{Qt::Key_unknown, "d", "Delta"},
              Move{Qt::Key_Up, "", "Charlie"}}) {
            SCOPED_TRACE(move.shown);
            if (*move.typed)
                QTest::keyClicks(list, move.typed);
            else
                QTest::keyClick(list, move.key);
            shows(move.shown);
        }
        // Save acts on the photo the keyboard showed.
        TypeInto(window.widget(Ctl::txtComments), QStringLiteral("über den Dächern"));
        QTest::mouseClick(window.widget(Ctl::cmdSave), Qt::LeftButton);
        // A click shows an item as the keys do.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->topLevelItem(1)).center());
        shows("Bravo");

        interaction.answers = {vbYes};
        Choose(window, MenuItem::mnuDeleteCurrentPhoto, [&](QMenu& menu) {
            EXPECT_TRUE(window.action(MenuItem::mnuDeleteCurrentPhoto)->isEnabled());
            SaveShot(window, "action-menu", &menu);
        });
        EXPECT_EQ(lastMessage().prompt, "Delete Photo and it's details?");
        EXPECT_EQ(list->topLevelItemCount(), 4);
        EXPECT_TRUE(list->selectedItems().isEmpty());
        EXPECT_EQ(list->currentItem(), nullptr);
        EXPECT_TRUE(window.Picture(Ctl::imgMainPhoto)->IsEmpty());
        // With no photo shown nothing offers to act on one.
        Choose(window, MenuItem::None, [&](QMenu&) {
            EXPECT_FALSE(window.action(MenuItem::mnuDeleteCurrentPhoto)->isEnabled());
            EXPECT_FALSE(window.action(MenuItem::mnuCopyToClipboard)->isEnabled());
        });
        QTest::keyClick(list, Qt::Key_Down);
        shows("Alpha");
        QTest::mouseClick(window.widget(Ctl::cmdClose), Qt::LeftButton);
    });
    std::vector<StoredPhoto> rows = stored();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1].description, "Charlie");
    EXPECT_EQ(rows[1].comments, "über den Dächern");
    for (const StoredPhoto& row : rows) EXPECT_NE(row.description, "Bravo");
}

TEST_P(QtWindowTest, EscapeAndTheCloseBoxOfferToSave) {
    seed("Front", true);
    std::string added = WriteImageFile(scratch, "harbour.jpg", "jpg", 120, 90, 0xAA3322);
    services.interaction = DefaultServices().interaction;  // real message boxes
    Edit([&](QtPhotoWindow& window) {
        AddFromFile(window, added);
        auto* description = Widget<QLineEdit>(window, Ctl::txtDescription);
        TypeInto(description, QStringLiteral("Hafen bei Dämmerung"));
        QString asked;
        AnswerMessageBox(QMessageBox::Cancel, &asked, &window, "message-box");
        QTest::keyClick(description, Qt::Key_Escape);
        EXPECT_EQ(asked.toStdString(), "Save changes?");
        asked.clear();
        AnswerMessageBox(QMessageBox::Cancel, &asked);
        window.close();  // as the title-bar close box does
        EXPECT_EQ(asked.toStdString(), "Save changes?");
        ASSERT_TRUE(window.isVisible());
        EXPECT_EQ(description->text().toStdString(), "Hafen bei Dämmerung");
        AnswerMessageBox(QMessageBox::Yes, &asked);
        window.close();
        EXPECT_TRUE(window.unloaded());
    });
    EXPECT_EQ(storedDescriptions(), (std::vector<std::string>{"Front", "Hafen bei Dämmerung"}));
}

TEST_P(QtWindowTest, ScrollBarsShowOnlyWithAPhotoToScroll) {
    seed("Front", true);
    std::string large = PhotoFile(900, 700, "Harbour at noon");
    Edit([&](QtPhotoWindow& window) {
        auto* horizontal = Widget<QScrollBar>(window, Ctl::HScLeftSet);
        auto* vertical = Widget<QScrollBar>(window, Ctl::VSctopSet);
        QTest::mouseClick(window.widget(Ctl::optActualsize), Qt::LeftButton);
        EXPECT_FALSE(horizontal->isVisible());  // the 40 x 30 photo fits
        AddFromFile(window, large);
        ASSERT_TRUE(horizontal->isVisible());
        ASSERT_TRUE(vertical->isVisible());
        // Scrolled to the caption in the photo's middle: to the right end and back 25 pages,
        // 18 pages down; a page is 200 twips.
        QTest::keyClick(horizontal, Qt::Key_End);
        EXPECT_EQ(horizontal->value(), 900 * 15 - 3955 + 250 + 100);
        for (int page = 0; page < 25; ++page) QTest::keyClick(horizontal, Qt::Key_PageUp);
        for (int page = 0; page < 18; ++page) QTest::keyClick(vertical, Qt::Key_PageDown);
        EXPECT_EQ(window.Left(Ctl::imgMainPhoto), -(horizontal->maximum() - 5000));
        EXPECT_EQ(window.Top(Ctl::imgMainPhoto), -3600);
        SaveShot(window, "actual-size-scrolled");

        // Add mode again, the dialog cancelled: no photo, no bars.
        interaction.answers = {vbNo};
        AddFromFile(window, "");
        EXPECT_EQ(lastMessage().prompt, "Save changes?");
        EXPECT_TRUE(window.form()->bAddMode);
        EXPECT_FALSE(horizontal->isVisible());
        EXPECT_FALSE(vertical->isVisible());
        QTest::mouseClick(window.widget(Ctl::cmdClose), Qt::LeftButton);
    });
    EXPECT_EQ(storedDescriptions(), std::vector<std::string>{"Front"});
}

// At twice the resolution the window keeps its layout in logical pixels, every text fits its
// control, and the fitted photo is drawn from the screen's own pixels, not blown up.
TEST_P(QtWindowTest, KeepsItsLayoutAndASharpPhotoAtTwiceTheResolution) {
    if (qApp->devicePixelRatio() < 2) {
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=%1.%2")
                         .arg(QString::fromUtf8(test->test_suite_name()),
                              QString::fromUtf8(test->name()))});
        ASSERT_TRUE(child.waitForFinished(120000));
        EXPECT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
        return;
    }
    std::string noisy = PhotoFile(600, 400);
    Edit([&](QtPhotoWindow& window) {
        AddFromFile(window, noisy);
        for (Ctl c :
             {Ctl::fraDetails, Ctl::txtDescription, Ctl::txtComments, Ctl::lvwPicDescription,
              Ctl::picPhotoFrame, Ctl::chkDefault, Ctl::optActualsize, Ctl::optFit, Ctl::chkAction,
              Ctl::cmdSave, Ctl::cmdClose}) {
            TwipsRect r = ControlGeometry::DesignRect(c);
            EXPECT_EQ(window.widget(c)->geometry(),
                      QRect(window.toPixelsX(r.Left), window.toPixelsY(r.Top),
                            window.toPixelsX(r.Width), window.toPixelsY(r.Height)))
                << static_cast<int>(c);
        }
        for (QWidget* w : window.findChildren<QWidget*>()) {
            bool text = qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w);
            if (!text || !w->isVisible()) continue;
            EXPECT_LE(w->sizeHint().width(), w->width()) << w->metaObject()->className();
            EXPECT_LE(w->fontMetrics().height(), w->height()) << w->metaObject()->className();
        }
        // A blown-up copy repeats each pixel in a 2 x 2 block; a sharp one seldom does.
        QImage drawn = window.widget(Ctl::imgMainPhoto)->grab().toImage();
        ASSERT_EQ(drawn.width(), 2 * window.widget(Ctl::imgMainPhoto)->width());
        int blocks = 0, repeated = 0;
        for (int y = 0; y + 1 < drawn.height(); y += 2)
            for (int x = 0; x + 1 < drawn.width(); x += 2, ++blocks) {
                QRgb p = drawn.pixel(x, y);
                repeated += p == drawn.pixel(x + 1, y) && p == drawn.pixel(x, y + 1) &&
                            p == drawn.pixel(x + 1, y + 1);
            }
        EXPECT_LT(repeated, blocks / 10);

        // At actual size each photo pixel covers 2 x 2 screen pixels, unblurred.
        QTest::mouseClick(window.widget(Ctl::optActualsize), Qt::LeftButton);
        drawn = window.widget(Ctl::imgMainPhoto)->grab().toImage();
        QImage photo(QString::fromStdString(noisy));
        for (QPoint p : {QPoint(0, 0), QPoint(101, 57), QPoint(220, 199)})
            EXPECT_EQ(drawn.pixel(2 * p.x() + 1, 2 * p.y() + 1), photo.pixel(p)) << p.x();
        QTest::mouseClick(window.widget(Ctl::optFit), Qt::LeftButton);
        interaction.answers = {vbNo};
        AddFromFile(window, PhotoFile(640, 480, "Quay at dusk"));
        SaveShot(window, "hidpi-2x");
        QTest::keyClick(&window, Qt::Key_Escape);
        EXPECT_EQ(lastMessage().prompt, "Save changes?");
        interaction.answers = {vbNo};
        QTest::keyClick(&window, Qt::Key_Escape);
        EXPECT_TRUE(window.unloaded());
    });
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

// A handler that fails (here: a window without its store) tells the user in a message box
// and writes nothing to the log.
TEST(QtPhotoWindowWidgets, HandlerErrorsAreShownNotLogged) {
    QtPhotoWindow window;
    frmPhoto form(window);
    window.attach(&form);
    window.show();
    static QStringList logged;
    logged.clear();
    QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { logged << text; });
    testing::internal::CaptureStderr();
    QString shown;
    Choose(window, MenuItem::mnuAddFromFile,
           [&](QMenu&) { AnswerMessageBox(QMessageBox::Ok, &shown); });
    QCoreApplication::processEvents();
    std::string written = testing::internal::GetCapturedStderr();
    qInstallMessageHandler(previous);
    EXPECT_EQ(shown.toStdString(), "the photo window has no photo store");
    EXPECT_EQ(written, "") << logged.join(QLatin1Char('\n')).toStdString();
    window.attach(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Db, QtWindowTest, testing::ValuesIn(TestBackends()), BackendName);

}  // namespace
}  // namespace kelvo::test
