// The photo editor window's controls as frmPhoto sees them: texts, states, colours, geometry,
// values, the image, the list and the menu, set from the logic with the widgets' signals blocked.
#include "editor/qt/photo_window.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStringList>
#include <QTreeWidget>

#include "editor/qt/photo_view.h"
#include "editor/qt/qt_text.h"
#include "platform/error.h"

namespace kelvo {

namespace {

// "desc|patterns|desc|patterns" into Qt's "desc (pattern pattern)" entries.
QStringList nameFilters(const std::string& filter) {
    QStringList parts = toQString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters;
}

[[noreturn]] void NotThatControl(const char* what) {
    throw Error(std::string("Object doesn't support this property or method: ") + what);
}

}  // namespace

// ---------------------------------------------------------------- captions and texts

std::string QtPhotoWindow::Caption(Ctl c) {
    if (c == Ctl::frmPhoto) return fromQString(windowTitle());
    if (c == Ctl::fraDetails) return fromQString(fraDetails_->title());
    NotThatControl("Caption");
}

void QtPhotoWindow::Caption(Ctl c, const std::string& text) {
    if (c == Ctl::frmPhoto)
        setWindowTitle(toQString(text));
    else if (c == Ctl::fraDetails)
        fraDetails_->setTitle(toQString(text));
    else
        NotThatControl("Caption");
}

std::string QtPhotoWindow::Text(Ctl c) {
    if (c == Ctl::txtDescription) return fromQString(txtDescription_->text());
    if (c == Ctl::txtComments) return fromQString(txtComments_->toPlainText());
    NotThatControl("Text");
}

void QtPhotoWindow::Text(Ctl c, const std::string& text) {
    if (c == Ctl::txtDescription) {
        QSignalBlocker blocker(txtDescription_);
        txtDescription_->setText(toQString(text));
    } else if (c == Ctl::txtComments) {
        QSignalBlocker blocker(txtComments_);
        txtComments_->setPlainText(toQString(text));
    } else {
        NotThatControl("Text");
    }
}

bool QtPhotoWindow::Locked(Ctl c) {
    if (c == Ctl::txtDescription) return txtDescription_->isReadOnly();
    if (c == Ctl::txtComments) return txtComments_->isReadOnly();
    NotThatControl("Locked");
}

void QtPhotoWindow::Locked(Ctl c, bool locked) {
    if (c == Ctl::txtDescription)
        txtDescription_->setReadOnly(locked);
    else if (c == Ctl::txtComments)
        txtComments_->setReadOnly(locked);
    else
        NotThatControl("Locked");
}

bool QtPhotoWindow::Enabled(Ctl c) {
    return widget(c)->isEnabled();
}

void QtPhotoWindow::Enabled(Ctl c, bool enabled) {
    widget(c)->setEnabled(enabled);
}

bool QtPhotoWindow::Visible(Ctl c) {
    return !widget(c)->isHidden();
}

void QtPhotoWindow::Visible(Ctl c, bool visible) {
    widget(c)->setVisible(visible);
}

// System colours (high bit set) map to the theme; others are 0x00BBGGRR.
QColor QtPhotoWindow::colorOf(std::uint32_t ole, QPalette::ColorRole role) const {
    if (ole == kColorWindowBackground) return QGuiApplication::palette().color(QPalette::Base);
    if (ole == kColorButtonFace) return QGuiApplication::palette().color(QPalette::Button);
    if (ole & 0x80000000u) return QGuiApplication::palette().color(role);
    return QColor(ole & 0xFF, (ole >> 8) & 0xFF, (ole >> 16) & 0xFF);
}

std::uint32_t QtPhotoWindow::BackColor(Ctl c) {
    auto found = backColors_.find(c);
    if (found != backColors_.end()) return found->second;
    bool textBox = c == Ctl::txtDescription || c == Ctl::txtComments;
    return textBox ? kColorWindowBackground : kColorButtonFace;
}

void QtPhotoWindow::BackColor(Ctl c, std::uint32_t color) {
    backColors_[c] = color;
    QWidget* w = widget(c);
    bool textBox = c == Ctl::txtDescription || c == Ctl::txtComments;
    QPalette::ColorRole role = textBox ? QPalette::Base : QPalette::Window;
    QPalette palette = w->palette();
    palette.setColor(role, colorOf(color, role));
    w->setPalette(palette);
    if (!textBox) w->setAutoFillBackground(true);
}

// ---------------------------------------------------------------- geometry

void QtPhotoWindow::Set(Ctl c, Dim d, double value) {
    geometry_.Set(c, d, value);
    applyGeometry(c);
}

void QtPhotoWindow::applyGeometry(Ctl c) {
    if (c == Ctl::frmPhoto) return;
    int inset = ControlGeometry::ContainerOf(c) == Ctl::picPhotoFrame ? kPhotoFrameBorderPixels : 0;
    place(widget(c), geometry_.Twips(c), inset);
}

// ---------------------------------------------------------------- values and scroll bars

int QtPhotoWindow::Value(Ctl c) {
    switch (c) {
        case Ctl::chkDefault:
            return chkDefault_->isChecked() ? 1 : 0;
        case Ctl::chkAction:
            return chkAction_->isChecked() ? 1 : 0;
        case Ctl::optFit:
            return optFit_->isChecked() ? 1 : 0;
        case Ctl::optActualsize:
            return optActualsize_->isChecked() ? 1 : 0;
        case Ctl::HScLeftSet:
            return HScLeftSet_->value();
        case Ctl::VSctopSet:
            return VSctopSet_->value();
        default:
            NotThatControl("Value");
    }
}

void QtPhotoWindow::Value(Ctl c, int value) {
    QWidget* w = widget(c);
    QSignalBlocker blocker(w);
    switch (c) {
        case Ctl::chkDefault:
            chkDefault_->setChecked(value == 1);
            break;
        case Ctl::chkAction:
            chkAction_->setChecked(value == 1);
            break;
        case Ctl::optFit:
            optFit_->setChecked(value == 1);
            break;
        case Ctl::optActualsize:
            optActualsize_->setChecked(value == 1);
            break;
        case Ctl::HScLeftSet:
        case Ctl::VSctopSet: {
            auto* bar = static_cast<QScrollBar*>(w);
            if (value < bar->minimum() || value > bar->maximum())
                throw Error("Invalid property value");
            bar->setValue(value);
            break;
        }
        default:
            NotThatControl("Value");
    }
}

namespace {

QScrollBar* scrollBarOf(QWidget* w) {
    auto* bar = qobject_cast<QScrollBar*>(w);
    if (!bar) NotThatControl("scroll bar");
    return bar;
}

}  // namespace

int QtPhotoWindow::Max(Ctl c) {
    return scrollBarOf(widget(c))->maximum();
}

void QtPhotoWindow::Max(Ctl c, int value) {
    QScrollBar* bar = scrollBarOf(widget(c));
    QSignalBlocker blocker(bar);
    bar->setMaximum(value);
}

void QtPhotoWindow::SmallChange(Ctl c, int value) {
    scrollBarOf(widget(c))->setSingleStep(value);
}

void QtPhotoWindow::LargeChange(Ctl c, int value) {
    scrollBarOf(widget(c))->setPageStep(value);
}

// ---------------------------------------------------------------- the image

PicturePtr QtPhotoWindow::Picture(Ctl c) {
    if (c != Ctl::imgMainPhoto) NotThatControl("Picture");
    return imgMainPhoto_->picture();
}

void QtPhotoWindow::Picture(Ctl c, PicturePtr picture) {
    if (c != Ctl::imgMainPhoto) NotThatControl("Picture");
    imgMainPhoto_->setPicture(std::move(picture));
    fitToPicture();
}

bool QtPhotoWindow::Stretch(Ctl c) {
    if (c != Ctl::imgMainPhoto) NotThatControl("Stretch");
    return imgMainPhoto_->stretch();
}

void QtPhotoWindow::Stretch(Ctl c, bool stretch) {
    if (c != Ctl::imgMainPhoto) NotThatControl("Stretch");
    imgMainPhoto_->setStretch(stretch);
    fitToPicture();
}

void QtPhotoWindow::BorderStyle(Ctl c, int style) {
    if (c != Ctl::imgMainPhoto) NotThatControl("BorderStyle");
    imgMainPhoto_->setBorderStyle(style);
}

// Without stretching the image control takes its picture's natural size.
void QtPhotoWindow::fitToPicture() {
    PicturePtr picture = imgMainPhoto_->picture();
    if (imgMainPhoto_->stretch() || picture->IsEmpty()) return;
    geometry_.SizeToPixels(Ctl::imgMainPhoto, picture->PixelWidth(), picture->PixelHeight());
    applyGeometry(Ctl::imgMainPhoto);
}

// ---------------------------------------------------------------- the list

void QtPhotoWindow::ListSetup(bool reportView, bool hideSelection, bool hideColumnHeaders) {
    lvwPicDescription_->header()->setVisible(!hideColumnHeaders);
    if (!hideSelection) {
        // Keep the selection as visible without focus as with it.
        QPalette palette = lvwPicDescription_->palette();
        palette.setColor(QPalette::Inactive, QPalette::Highlight,
                         palette.color(QPalette::Active, QPalette::Highlight));
        palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         palette.color(QPalette::Active, QPalette::HighlightedText));
        lvwPicDescription_->setPalette(palette);
    }
    (void)reportView;  // the tree widget is always a report with columns
}

void QtPhotoWindow::ListAddColumn(const std::string& text, double widthTwips) {
    int column = lvwPicDescription_->columnCount();
    lvwPicDescription_->setColumnCount(column + 1);
    lvwPicDescription_->headerItem()->setText(column, toQString(text));
    lvwPicDescription_->setColumnWidth(column, toPixelsX(widthTwips));
}

QTreeWidgetItem* QtPhotoWindow::itemByKey(const std::string& key) const {
    QString wanted = toQString(key);
    for (int i = 0, n = lvwPicDescription_->topLevelItemCount(); i < n; ++i) {
        QTreeWidgetItem* item = lvwPicDescription_->topLevelItem(i);
        if (item->data(0, Qt::UserRole).toString() == wanted) return item;
    }
    return nullptr;
}

QTreeWidgetItem* QtPhotoWindow::itemAt(int position) const {
    QTreeWidgetItem* item = lvwPicDescription_->topLevelItem(position - 1);
    if (!item) throw Error("Index out of bounds");
    return item;
}

void QtPhotoWindow::ListClear() {
    QSignalBlocker blocker(lvwPicDescription_);
    lvwPicDescription_->clear();
}

void QtPhotoWindow::ListAdd(const std::string& key, const std::string& text) {
    ListInsert(ListCount() + 1, key, text);
}

void QtPhotoWindow::ListInsert(int position, const std::string& key, const std::string& text) {
    if (itemByKey(key)) throw Error("Key is not unique in collection");
    if (position < 1 || position > ListCount() + 1) throw Error("Index out of bounds");
    auto* item = new QTreeWidgetItem(QStringList{toQString(text)});
    item->setData(0, Qt::UserRole, toQString(key));
    QSignalBlocker blocker(lvwPicDescription_);
    lvwPicDescription_->insertTopLevelItem(position - 1, item);
}

void QtPhotoWindow::ListRemove(const std::string& key) {
    QTreeWidgetItem* item = itemByKey(key);
    if (!item) throw Error("Element not found");
    bool wasSelected = item->isSelected() || item == lvwPicDescription_->currentItem();
    {
        QSignalBlocker blocker(lvwPicDescription_);
        delete item;
    }
    // Qt would move the highlight to a neighbour whose photo is not shown.
    if (wasSelected) ListSelectNone();
}

int QtPhotoWindow::ListCount() {
    return lvwPicDescription_->topLevelItemCount();
}

std::string QtPhotoWindow::ListKey(int position) {
    return fromQString(itemAt(position)->data(0, Qt::UserRole).toString());
}

std::string QtPhotoWindow::ListText(int position) {
    return fromQString(itemAt(position)->text(0));
}

void QtPhotoWindow::ListSetText(const std::string& key, const std::string& text) {
    QTreeWidgetItem* item = itemByKey(key);
    if (!item) throw Error("Element not found");
    item->setText(0, toQString(text));
}

void QtPhotoWindow::ListSelect(const std::string& key) {
    QTreeWidgetItem* item = itemByKey(key);
    if (!item) throw Error("Element not found");
    QSignalBlocker blocker(lvwPicDescription_);
    lvwPicDescription_->setCurrentItem(item);
    item->setSelected(true);
}

std::string QtPhotoWindow::ListSelectedKey() {
    QList<QTreeWidgetItem*> selected = lvwPicDescription_->selectedItems();
    return selected.isEmpty() ? ""
                              : fromQString(selected.first()->data(0, Qt::UserRole).toString());
}

void QtPhotoWindow::ListSelectNone() {
    QSignalBlocker blocker(lvwPicDescription_);
    lvwPicDescription_->setCurrentItem(nullptr);
    lvwPicDescription_->clearSelection();
}

void QtPhotoWindow::ListEnsureVisible(const std::string& key) {
    if (QTreeWidgetItem* item = itemByKey(key)) lvwPicDescription_->scrollToItem(item);
}

// ---------------------------------------------------------------- menu, dialog, focus

bool QtPhotoWindow::MenuEnabled(MenuItem item) {
    return action(item)->isEnabled();
}

void QtPhotoWindow::MenuEnabled(MenuItem item, bool enabled) {
    action(item)->setEnabled(enabled);
}

MenuItem QtPhotoWindow::PopupMenu(double x, double y, MenuItem defaultItem) {
    menu_->setDefaultAction(defaultItem == MenuItem::None ? nullptr : action(defaultItem));
    QAction* chosen = menu_->exec(mapToGlobal(QPoint(toPixelsX(x), toPixelsY(y))));
    for (const auto& [item, a] : actions_)
        if (a == chosen) return item;
    return MenuItem::None;
}

OpenFileResult QtPhotoWindow::ShowOpen(long flags, const std::string& filter) {
    if (openFileHook) return openFileHook(flags, filter);
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode((flags & cdlOFNFileMustExist) ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilters(nameFilters(filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    QString path = dialog.selectedFiles().first();
    return {fromQString(path), fromQString(QFileInfo(path).fileName())};
}

void QtPhotoWindow::SetFocus(Ctl c) {
    widget(c)->setFocus(Qt::OtherFocusReason);
}

void QtPhotoWindow::Unload() {
    unloaded_ = true;
    done(QDialog::Accepted);
}

}  // namespace kelvo
