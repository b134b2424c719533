// The photo editor window's widgets: built and placed once, and wired so that only a person's
// actions reach frmPhoto's handlers.
#include "editor/qt/photo_window.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStringList>
#include <QTreeWidget>
#include <cmath>

#include "editor/frmPhoto.h"
#include "editor/qt/photo_view.h"
#include "editor/qt/qt_text.h"
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

}  // namespace kelvo
