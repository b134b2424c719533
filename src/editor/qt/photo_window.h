// The photo editor window on Qt Widgets: a modal dialog that owns its widgets, places them
// from the twips layout at the screen's logical resolution, and forwards user actions to
// frmPhoto's handlers.
#pragma once

#include <QDialog>
#include <QPalette>
#include <functional>
#include <map>

#include "editor/control_geometry.h"
#include "editor/form_controls.h"

class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace kelvo {

class frmPhoto;
class PhotoView;

class QtPhotoWindow : public QDialog, public FormControls {
    Q_OBJECT
  public:
    explicit QtPhotoWindow(QWidget* parent = nullptr);
    ~QtPhotoWindow() override;

    // The logic whose handlers receive the user's actions.
    void attach(frmPhoto* form) { form_ = form; }
    frmPhoto* form() const { return form_; }
    bool unloaded() const { return unloaded_; }

    // Replaces the open-file dialog (tests script the person's choice).
    std::function<OpenFileResult(long flags, const std::string& filter)> openFileHook;

    // The widget standing for a control.
    QWidget* widget(Ctl c) const;
    QMenu* photoActionMenu() const { return menu_; }
    QAction* action(MenuItem item) const;

    // --- FormControls ---
    std::string Caption(Ctl c) override;
    void Caption(Ctl c, const std::string& text) override;
    std::string Text(Ctl c) override;
    void Text(Ctl c, const std::string& text) override;
    bool Locked(Ctl c) override;
    void Locked(Ctl c, bool locked) override;
    bool Enabled(Ctl c) override;
    void Enabled(Ctl c, bool enabled) override;
    bool Visible(Ctl c) override;
    void Visible(Ctl c, bool visible) override;
    std::uint32_t BackColor(Ctl c) override;
    void BackColor(Ctl c, std::uint32_t color) override;
    double Get(Ctl c, Dim d) override { return geometry_.Get(c, d); }
    void Set(Ctl c, Dim d, double value) override;
    double ScaleWidth(Ctl c) override { return geometry_.ScaleWidth(c); }
    double ScaleHeight(Ctl c) override { return geometry_.ScaleHeight(c); }
    void ScaleMode(Ctl c, int mode) override { geometry_.ScaleMode(c, mode); }
    int Value(Ctl c) override;
    void Value(Ctl c, int value) override;
    int Max(Ctl c) override;
    void Max(Ctl c, int value) override;
    void SmallChange(Ctl c, int value) override;
    void LargeChange(Ctl c, int value) override;
    PicturePtr Picture(Ctl c) override;
    void Picture(Ctl c, PicturePtr picture) override;
    bool Stretch(Ctl c) override;
    void Stretch(Ctl c, bool stretch) override;
    void BorderStyle(Ctl c, int style) override;
    void ListSetup(bool reportView, bool hideSelection, bool hideColumnHeaders) override;
    void ListAddColumn(const std::string& text, double widthTwips) override;
    void ListClear() override;
    void ListAdd(const std::string& key, const std::string& text) override;
    void ListInsert(int position, const std::string& key, const std::string& text) override;
    void ListRemove(const std::string& key) override;
    int ListCount() override;
    std::string ListKey(int position) override;
    std::string ListText(int position) override;
    void ListSetText(const std::string& key, const std::string& text) override;
    void ListSelect(const std::string& key) override;
    std::string ListSelectedKey() override;
    void ListSelectNone() override;
    void ListEnsureVisible(const std::string& key) override;
    bool MenuEnabled(MenuItem item) override;
    void MenuEnabled(MenuItem item, bool enabled) override;
    MenuItem PopupMenu(double x, double y, MenuItem defaultItem) override;
    OpenFileResult ShowOpen(long flags, const std::string& filter) override;
    void SetFocus(Ctl c) override;
    void Unload() override;

    int toPixelsX(double twips) const;
    int toPixelsY(double twips) const;

    // Escape and the title-bar close box take the Close button's road.
    void reject() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildWidgets();
    void buildMenu();
    void connectHandlers();
    void setTabOrder();
    void place(QWidget* w, const TwipsRect& r, int insetPixels = 0);
    void applyGeometry(Ctl c);
    void fitToPicture();
    QTreeWidgetItem* itemByKey(const std::string& key) const;
    QTreeWidgetItem* itemAt(int position) const;
    QColor colorOf(std::uint32_t ole, QPalette::ColorRole role) const;
    // Runs a handler of the logic; an error escaping it is reported, never thrown into Qt.
    void run(const std::function<void(frmPhoto&)>& handler);
    void showListItem(QTreeWidgetItem* item);

    ControlGeometry geometry_;
    frmPhoto* form_ = nullptr;
    bool unloaded_ = false;
    // The list's current item changed, and was shown, since the last mouse press on the list.
    bool currentShownSincePress_ = false;
    std::map<Ctl, std::uint32_t> backColors_;
    std::map<Ctl, QWidget*> widgets_;
    std::map<MenuItem, QAction*> actions_;

    QFrame* shape1_ = nullptr;
    QGroupBox* fraDetails_ = nullptr;
    QGroupBox* fraDatactrls_ = nullptr;
    QGroupBox* fraPhotoSize_ = nullptr;
    QLabel *lblDescription_ = nullptr, *lblComments_ = nullptr, *lblExisting_ = nullptr,
           *lblPhoto_ = nullptr, *label1_ = nullptr;
    QLineEdit* txtDescription_ = nullptr;
    QPlainTextEdit* txtComments_ = nullptr;
    QTreeWidget* lvwPicDescription_ = nullptr;
    QFrame* picPhotoFrame_ = nullptr;
    PhotoView* imgMainPhoto_ = nullptr;
    QScrollBar *HScLeftSet_ = nullptr, *VSctopSet_ = nullptr;
    QFrame *fraHideBackGround0_ = nullptr, *fraHideBackGround1_ = nullptr;
    QCheckBox* chkDefault_ = nullptr;
    QRadioButton *optActualsize_ = nullptr, *optFit_ = nullptr;
    QPushButton* chkAction_ = nullptr;
    QPushButton *cmdSave_ = nullptr, *cmdClose_ = nullptr;
    QMenu* menu_ = nullptr;
};

}  // namespace kelvo
