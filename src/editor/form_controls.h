// The controls of the photo editor window as the window's logic sees them: exactly the
// operations frmPhoto uses, so the logic runs on Qt widgets or on a scripted double alike.
#pragma once

#include <cstdint>
#include <string>

#include "platform/pictures/picture.h"

namespace kelvo {

// The window's controls, named as on the window. frmPhoto is the window itself.
enum class Ctl {
    frmPhoto,
    fraDetails,
    txtDescription,
    txtComments,
    lvwPicDescription,
    picPhotoFrame,
    imgMainPhoto,
    HScLeftSet,
    VSctopSet,
    fraHideBackGround0,
    fraHideBackGround1,
    chkDefault,
    optActualsize,
    optFit,
    chkAction,
    cmdSave,
    cmdClose,
};

// Items of the pop-up menu mnuPhotoAction. None is the answer of a menu closed unchosen.
enum class MenuItem {
    None,
    mnuAddFromFile,
    mnuAddFromClipBoard,
    mnuCopyToClipboard,
    mnuDeleteCurrentPhoto,
};

enum class Dim { Left, Top, Width, Height };

// Scale modes of a container: positions of its children are read and written in this unit.
enum ScaleModeConstants { vbTwips = 1, vbPixels = 3 };

// Colours as the window stores them: 0x00BBGGRR, or a system colour (high bit set).
inline constexpr std::uint32_t kColorWindowBackground = 0x80000005u;
inline constexpr std::uint32_t kColorButtonFace = 0x8000000Fu;

// Open-file dialog options (they combine).
inline constexpr long cdlOFNHideReadOnly = 4;
inline constexpr long cdlOFNNoChangeDir = 8;
inline constexpr long cdlOFNFileMustExist = 4096;

struct OpenFileResult {
    std::string FileName;   // the chosen path; "" when nothing was chosen
    std::string FileTitle;  // the chosen file's name without its folder
};

// Setting a text or value here changes only the control: the window's logic raises the
// matching change or click handler itself. User actions reach the logic's handlers directly.
class FormControls {
  public:
    virtual ~FormControls() = default;

    // The window caption (frmPhoto) or a frame's caption (fraDetails).
    virtual std::string Caption(Ctl c) = 0;
    virtual void Caption(Ctl c, const std::string& text) = 0;

    // Text boxes.
    virtual std::string Text(Ctl c) = 0;
    virtual void Text(Ctl c, const std::string& text) = 0;
    virtual bool Locked(Ctl c) = 0;
    virtual void Locked(Ctl c, bool locked) = 0;

    virtual bool Enabled(Ctl c) = 0;
    virtual void Enabled(Ctl c, bool enabled) = 0;
    virtual bool Visible(Ctl c) = 0;
    virtual void Visible(Ctl c, bool visible) = 0;
    virtual std::uint32_t BackColor(Ctl c) = 0;
    virtual void BackColor(Ctl c, std::uint32_t color) = 0;

    // Position and size in the scale mode of the control's container (twips unless changed).
    virtual double Get(Ctl c, Dim d) = 0;
    virtual void Set(Ctl c, Dim d, double value) = 0;
    // The interior of a container, in its own scale mode.
    virtual double ScaleWidth(Ctl c) = 0;
    virtual double ScaleHeight(Ctl c) = 0;
    virtual void ScaleMode(Ctl c, int mode) = 0;

    // Check boxes (0 or 1), option buttons (0 or 1) and scroll bars (their value).
    virtual int Value(Ctl c) = 0;
    virtual void Value(Ctl c, int value) = 0;

    // Scroll bars. Lowering Max below Value moves Value to Max.
    virtual int Max(Ctl c) = 0;
    virtual void Max(Ctl c, int value) = 0;
    virtual void SmallChange(Ctl c, int value) = 0;
    virtual void LargeChange(Ctl c, int value) = 0;

    // The image control. With Stretch false the control takes its picture's natural size
    // whenever the picture or Stretch is set; with Stretch true it draws the picture scaled.
    virtual PicturePtr Picture(Ctl c) = 0;  // never null: the empty picture when none
    virtual void Picture(Ctl c, PicturePtr picture) = 0;
    virtual bool Stretch(Ctl c) = 0;
    virtual void Stretch(Ctl c, bool stretch) = 0;
    virtual void BorderStyle(Ctl c, int style) = 0;

    // The list view: report view with column headers, items found by key, positions from 1.
    virtual void ListSetup(bool reportView, bool hideSelection, bool hideColumnHeaders) = 0;
    virtual void ListAddColumn(const std::string& text, double widthTwips) = 0;
    virtual void ListClear() = 0;
    virtual void ListAdd(const std::string& key, const std::string& text) = 0;  // at the end
    virtual void ListInsert(int position, const std::string& key, const std::string& text) = 0;
    // Removing the selected item leaves no item selected or current.
    virtual void ListRemove(const std::string& key) = 0;
    virtual int ListCount() = 0;
    virtual std::string ListKey(int position) = 0;
    virtual std::string ListText(int position) = 0;
    virtual void ListSetText(const std::string& key, const std::string& text) = 0;
    virtual void ListSelect(const std::string& key) = 0;
    virtual std::string ListSelectedKey() = 0;  // "" when nothing is selected
    // Leaves no item selected or current.
    virtual void ListSelectNone() = 0;
    virtual void ListEnsureVisible(const std::string& key) = 0;

    // The pop-up menu mnuPhotoAction.
    virtual bool MenuEnabled(MenuItem item) = 0;
    virtual void MenuEnabled(MenuItem item, bool enabled) = 0;
    // Shows the menu with its top-left corner at (x, y), window twips; waits until it closes
    // and returns the chosen item.
    virtual MenuItem PopupMenu(double x, double y, MenuItem defaultItem) = 0;

    // The open-file dialog cdlLoadPhotos. The filter is "description|patterns|..." pairs.
    virtual OpenFileResult ShowOpen(long flags, const std::string& filter) = 0;

    virtual void SetFocus(Ctl c) = 0;
    // Closes the window.
    virtual void Unload() = 0;

    // Named shorthands for the geometry.
    double Left(Ctl c) { return Get(c, Dim::Left); }
    double Top(Ctl c) { return Get(c, Dim::Top); }
    double Width(Ctl c) { return Get(c, Dim::Width); }
    double Height(Ctl c) { return Get(c, Dim::Height); }
    void Left(Ctl c, double v) { Set(c, Dim::Left, v); }
    void Top(Ctl c, double v) { Set(c, Dim::Top, v); }
    void Width(Ctl c, double v) { Set(c, Dim::Width, v); }
    void Height(Ctl c, double v) { Set(c, Dim::Height, v); }
};

}  // namespace kelvo
