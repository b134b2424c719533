// The photo editor window's widgets: built and placed once, set from the logic with their
// signals blocked, and wired so that only a person's actions reach frmPhoto's handlers.
#include "editor/qt/photo_window.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStringList>
#include <QTreeWidget>
#include <cmath>

#include "editor/frmPhoto.h"
#include "editor/qt/photo_view.h"
#include "platform/error.h"

namespace kelvo {

namespace {

constexpr double kTwipsPerInch = 1440.0;

double twipsPerPixel(bool horizontal) {
    QScreen* screen = QGuiApplication::primaryScreen();
    double dpi = screen
                     ? (horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY())
                     : 96.0;
    return kTwipsPerInch / (dpi > 0 ? dpi : 96.0);
}

QString toQString(const std::string& text) {
    return QString::fromStdString(text);
}

std::string fromQString(const QString& text) {
    return text.toStdString();
}

// Carlito has Calibri's metrics, so the layout fits where Calibri itself is missing.
QFont calibriFont(bool bold = false) {
    QFont font;
    font.setFamilies({QStringLiteral("Calibri"), QStringLiteral("Carlito"),
                      QStringLiteral("DejaVu Sans Condensed")});
    font.setPointSizeF(9.75);
    font.setBold(bold);
    return font;
}

// A small sans serif like the classic dialog font, for the controls without Calibri.
QFont windowFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans Condensed")});
    font.setPointSizeF(8.25);
    return font;
}

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

const char* controlName(Ctl c) {
    switch (c) {
        case Ctl::frmPhoto:
            return "frmPhoto";
        case Ctl::fraDetails:
            return "fraDetails";
        case Ctl::txtDescription:
            return "txtDescription";
        case Ctl::txtComments:
            return "txtComments";
        case Ctl::lvwPicDescription:
            return "lvwPicDescription";
        case Ctl::picPhotoFrame:
            return "picPhotoFrame";
        case Ctl::imgMainPhoto:
            return "imgMainPhoto";
        case Ctl::HScLeftSet:
            return "HScLeftSet";
        case Ctl::VSctopSet:
            return "VSctopSet";
        case Ctl::fraHideBackGround0:
            return "fraHideBackGround0";
        case Ctl::fraHideBackGround1:
            return "fraHideBackGround1";
        case Ctl::chkDefault:
            return "chkDefault";
        case Ctl::optActualsize:
            return "optActualsize";
        case Ctl::optFit:
            return "optFit";
        case Ctl::chkAction:
            return "chkAction";
        case Ctl::cmdSave:
            return "cmdSave";
        case Ctl::cmdClose:
            return "cmdClose";
    }
    return "";
}

[[noreturn]] void NotThatControl(const char* what) {
    throw Error(std::string("Object doesn't support this property or method: ") + what);
}

}  // namespace

QtPhotoWindow::QtPhotoWindow(QWidget* parent)
    : QDialog(parent), geometry_(twipsPerPixel(true), twipsPerPixel(false)) {
    setObjectName(QStringLiteral("frmPhoto"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(toPixelsX(kFormWidth), toPixelsY(kFormHeight));
    setFont(windowFont());
    buildWidgets();
    buildMenu();
    connectHandlers();
    setTabOrder();
}

QtPhotoWindow::~QtPhotoWindow() = default;

int QtPhotoWindow::toPixelsX(double twips) const {
    return static_cast<int>(std::lround(twips / geometry_.TwipsPerPixelX()));
}

int QtPhotoWindow::toPixelsY(double twips) const {
    return static_cast<int>(std::lround(twips / geometry_.TwipsPerPixelY()));
}

void QtPhotoWindow::place(QWidget* w, const TwipsRect& r, int insetPixels) {
    w->setGeometry(toPixelsX(r.Left) + insetPixels, toPixelsY(r.Top) + insetPixels,
                   std::max(0, toPixelsX(r.Width)), std::max(0, toPixelsY(r.Height)));
}

void QtPhotoWindow::buildWidgets() {
    auto label = [&](QWidget* parent, const char* text, TwipsRect r, bool calibri) {
        auto* l = new QLabel(QString::fromUtf8(text), parent);
        if (calibri) l->setFont(calibriFont());
        place(l, r);
        // A font a pixel wider than the designer's must not cut the last letter off.
        l->resize(std::max(l->width(), l->sizeHint().width()), l->height());
        return l;
    };

    shape1_ = new QFrame(this);
    shape1_->setFrameStyle(QFrame::Box | QFrame::Plain);
    place(shape1_, {60, 60, 7515, 5175});

    fraDetails_ = new QGroupBox(this);
    fraDatactrls_ = new QGroupBox(fraDetails_);
    place(fraDatactrls_, {120, 270, 2985, 4515});

    lblDescription_ = label(fraDatactrls_, "Description:", {75, 180, 1005, 225}, true);
    txtDescription_ = new QLineEdit(fraDatactrls_);
    txtDescription_->setToolTip(
        QStringLiteral("The descrption of the photo. Double click to edit."));
    lblComments_ = label(fraDatactrls_, "Comments:", {90, 810, 900, 225}, true);
    txtComments_ = new QPlainTextEdit(fraDatactrls_);
    txtComments_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtComments_->setToolTip(QStringLiteral("Comments about the photo. Double click to edit."));
    lblExisting_ = label(fraDatactrls_, "Existing:", {90, 2040, 690, 225}, true);
    lvwPicDescription_ = new QTreeWidget(fraDatactrls_);
    lvwPicDescription_->setToolTip(QStringLiteral("Existing photos. Double click to edit."));
    lvwPicDescription_->setRootIsDecorated(false);
    lvwPicDescription_->setColumnCount(0);
    lvwPicDescription_->setSelectionMode(QAbstractItemView::SingleSelection);

    lblPhoto_ = label(fraDetails_, "Photo", {3180, 130, 420, 195}, false);
    picPhotoFrame_ = new QFrame(fraDetails_);
    picPhotoFrame_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picPhotoFrame_->setLineWidth(kPhotoFrameBorderPixels);
    picPhotoFrame_->setAutoFillBackground(true);
    // Stacking: the photo beneath the masks, the masks beneath the scroll bars.
    imgMainPhoto_ = new PhotoView(picPhotoFrame_);
    fraHideBackGround0_ = new QFrame(picPhotoFrame_);
    fraHideBackGround1_ = new QFrame(picPhotoFrame_);
    for (QFrame* mask : {fraHideBackGround0_, fraHideBackGround1_}) {
        mask->setFrameStyle(QFrame::NoFrame);
        mask->setAutoFillBackground(true);
    }
    HScLeftSet_ = new QScrollBar(Qt::Horizontal, picPhotoFrame_);
    VSctopSet_ = new QScrollBar(Qt::Vertical, picPhotoFrame_);
    for (QScrollBar* bar : {HScLeftSet_, VSctopSet_}) bar->setRange(0, 32767);
    fraHideBackGround0_->raise();
    fraHideBackGround1_->raise();
    HScLeftSet_->raise();
    VSctopSet_->raise();

    fraPhotoSize_ = new QGroupBox(fraDetails_);
    place(fraPhotoSize_, {3180, 4320, 4000, 465});
    chkDefault_ = new QCheckBox(QStringLiteral("Default"), fraPhotoSize_);
    chkDefault_->setToolTip(QStringLiteral("Will set te current photo as a default photo"));
    optActualsize_ = new QRadioButton(QStringLiteral("Actual size"), fraPhotoSize_);
    optActualsize_->setToolTip(QStringLiteral("View the actual size of the photo"));
    optFit_ = new QRadioButton(QStringLiteral("Fit Space"), fraPhotoSize_);
    optFit_->setToolTip(QStringLiteral("Fit photo in the photo area"));
    optFit_->setChecked(true);

    chkAction_ = new QPushButton(QStringLiteral("&Action"), this);
    chkAction_->setCheckable(true);
    chkAction_->setAutoDefault(false);
    chkAction_->setToolTip(QStringLiteral("Click to view available actions"));
    label1_ = label(this, "Kelvo Photo Version 3.3.", {2340, 5400, 1950, 225}, true);
    cmdSave_ = new QPushButton(QStringLiteral("&Save"), this);
    cmdClose_ = new QPushButton(QStringLiteral("&Close"), this);
    for (QPushButton* b : {cmdSave_, cmdClose_}) b->setAutoDefault(false);

    cmdSave_->setFont(calibriFont(true));
    for (QWidget* w : std::initializer_list<QWidget*>{cmdClose_, chkDefault_, optFit_,
                                                      optActualsize_, chkAction_})
        w->setFont(calibriFont());

    widgets_ = {{Ctl::frmPhoto, this},
                {Ctl::fraDetails, fraDetails_},
                {Ctl::txtDescription, txtDescription_},
                {Ctl::txtComments, txtComments_},
                {Ctl::lvwPicDescription, lvwPicDescription_},
                {Ctl::picPhotoFrame, picPhotoFrame_},
                {Ctl::imgMainPhoto, imgMainPhoto_},
                {Ctl::HScLeftSet, HScLeftSet_},
                {Ctl::VSctopSet, VSctopSet_},
                {Ctl::fraHideBackGround0, fraHideBackGround0_},
                {Ctl::fraHideBackGround1, fraHideBackGround1_},
                {Ctl::chkDefault, chkDefault_},
                {Ctl::optActualsize, optActualsize_},
                {Ctl::optFit, optFit_},
                {Ctl::chkAction, chkAction_},
                {Ctl::cmdSave, cmdSave_},
                {Ctl::cmdClose, cmdClose_}};
    for (const auto& [c, w] : widgets_) {
        if (c == Ctl::frmPhoto) continue;
        w->setObjectName(QString::fromLatin1(controlName(c)));
        applyGeometry(c);
    }
}

void QtPhotoWindow::buildMenu() {
    menu_ = new QMenu(QStringLiteral("Photo Action"), this);
    menu_->setObjectName(QStringLiteral("mnuPhotoAction"));
    actions_[MenuItem::mnuAddFromFile] = menu_->addAction(QStringLiteral("Add Photo From File"));
    actions_[MenuItem::mnuAddFromClipBoard] =
        menu_->addAction(QStringLiteral("Add Photo From Clipboard"));
    menu_->addSeparator();  // mnuNill0
    actions_[MenuItem::mnuCopyToClipboard] =
        menu_->addAction(QStringLiteral("Copy Photo To Clipboard"));
    actions_[MenuItem::mnuDeleteCurrentPhoto] =
        menu_->addAction(QStringLiteral("Delete Current Photo"));
}

void QtPhotoWindow::connectHandlers() {
    connect(txtDescription_, &QLineEdit::textEdited, this,
            [this] { run([](frmPhoto& f) { f.txtDescription_Change(); }); });
    connect(txtComments_, &QPlainTextEdit::textChanged, this,
            [this] { run([](frmPhoto& f) { f.txtComments_Change(); }); });
    // Every change of the current item shows that photo, whether by mouse, arrow keys, Home,
    // End, the page keys or type-ahead; a click on the current item shows it afresh.
    lvwPicDescription_->viewport()->installEventFilter(this);
    connect(lvwPicDescription_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) {
                currentShownSincePress_ = true;
                showListItem(current);
            });
    connect(lvwPicDescription_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        if (!currentShownSincePress_) showListItem(item);
        currentShownSincePress_ = false;
    });
    connect(chkDefault_, &QCheckBox::clicked, this,
            [this] { run([](frmPhoto& f) { f.chkDefault_Click(); }); });
    connect(optFit_, &QRadioButton::clicked, this,
            [this] { run([](frmPhoto& f) { f.optFit_Click(); }); });
    connect(optActualsize_, &QRadioButton::clicked, this,
            [this] { run([](frmPhoto& f) { f.optActualsize_Click(); }); });
    connect(HScLeftSet_, &QScrollBar::valueChanged, this,
            [this] { run([](frmPhoto& f) { f.HScLeftSet_Change(); }); });
    connect(VSctopSet_, &QScrollBar::valueChanged, this,
            [this] { run([](frmPhoto& f) { f.VSctopSet_Change(); }); });
    connect(chkAction_, &QPushButton::clicked, this,
            [this] { run([](frmPhoto& f) { f.chkAction_Click(); }); });
    connect(cmdSave_, &QPushButton::clicked, this,
            [this] { run([](frmPhoto& f) { f.cmdSave_Click(); }); });
    connect(cmdClose_, &QPushButton::clicked, this,
            [this] { run([](frmPhoto& f) { f.cmdClose_Click(); }); });
}

void QtPhotoWindow::setTabOrder() {
    QWidget* order[] = {chkAction_,     txtComments_, txtDescription_, lvwPicDescription_,
                        optActualsize_, optFit_,      chkDefault_,     VSctopSet_,
                        HScLeftSet_,    cmdClose_,    cmdSave_};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

void QtPhotoWindow::run(const std::function<void(frmPhoto&)>& handler) {
    if (!form_) return;
    try {
        handler(*form_);
    } catch (const std::exception& e) {
        form_->ReportError(e.what());
    }
}

void QtPhotoWindow::showListItem(QTreeWidgetItem* item) {
    if (!item) return;
    std::string key = fromQString(item->data(0, Qt::UserRole).toString());
    run([&](frmPhoto& f) { f.lvwPicDescription_ItemClick(key); });
}

bool QtPhotoWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lvwPicDescription_->viewport() && event->type() == QEvent::MouseButtonPress)
        currentShownSincePress_ = false;
    return QDialog::eventFilter(watched, event);
}

void QtPhotoWindow::reject() {
    if (form_ && !unloaded_)
        run([](frmPhoto& f) { f.cmdClose_Click(); });
    else
        QDialog::reject();
}

QWidget* QtPhotoWindow::widget(Ctl c) const {
    auto found = widgets_.find(c);
    return found == widgets_.end() ? nullptr : found->second;
}

QAction* QtPhotoWindow::action(MenuItem item) const {
    auto found = actions_.find(item);
    if (found == actions_.end()) throw Error("no such menu item");
    return found->second;
}

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
