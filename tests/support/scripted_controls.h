// A scripted stand-in for the editor window's widgets: every control kept in memory, the
// pop-up menu and the open-file dialog answered from queues, and user actions that respect
// what a person could do (no typing into locked boxes, no clicks on disabled buttons).
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "editor/control_geometry.h"
#include "editor/form_controls.h"

namespace kelvo {
class frmPhoto;
}

namespace kelvo::test {

struct ShownMenu {
    MenuItem defaultItem;
    std::map<MenuItem, bool> enabled;
};

struct ShownOpenDialog {
    long flags;
    std::string filter;
};

class ScriptedControls : public FormControls {
  public:
    // 15 twips a pixel, as on a 96 dpi display.
    ScriptedControls();

    std::string Caption(Ctl c) override { return state(c).caption; }
    void Caption(Ctl c, const std::string& text) override { state(c).caption = text; }
    std::string Text(Ctl c) override { return state(c).text; }
    void Text(Ctl c, const std::string& text) override { state(c).text = text; }
    bool Locked(Ctl c) override { return state(c).locked; }
    void Locked(Ctl c, bool locked) override { state(c).locked = locked; }
    bool Enabled(Ctl c) override { return state(c).enabled; }
    void Enabled(Ctl c, bool enabled) override { state(c).enabled = enabled; }
    bool Visible(Ctl c) override { return state(c).visible; }
    void Visible(Ctl c, bool visible) override { state(c).visible = visible; }
    std::uint32_t BackColor(Ctl c) override { return state(c).backColor; }
    void BackColor(Ctl c, std::uint32_t color) override { state(c).backColor = color; }

    double Get(Ctl c, Dim d) override { return geometry.Get(c, d); }
    void Set(Ctl c, Dim d, double value) override { geometry.Set(c, d, value); }
    double ScaleWidth(Ctl c) override { return geometry.ScaleWidth(c); }
    double ScaleHeight(Ctl c) override { return geometry.ScaleHeight(c); }
    void ScaleMode(Ctl c, int mode) override { geometry.ScaleMode(c, mode); }

    int Value(Ctl c) override { return state(c).value; }
    void Value(Ctl c, int value) override;
    int Max(Ctl c) override { return state(c).max; }
    void Max(Ctl c, int value) override;
    void SmallChange(Ctl, int) override {}
    void LargeChange(Ctl, int) override {}

    PicturePtr Picture(Ctl c) override;
    void Picture(Ctl c, PicturePtr picture) override;
    bool Stretch(Ctl c) override { return state(c).stretch; }
    void Stretch(Ctl c, bool stretch) override;
    void BorderStyle(Ctl, int) override {}

    void ListSetup(bool report, bool, bool) override { reportView = report; }
    void ListAddColumn(const std::string& text, double) override { columns.push_back(text); }
    void ListClear() override {
        items.clear();
        selectedKey.clear();
    }
    void ListAdd(const std::string& key, const std::string& text) override;
    void ListInsert(int position, const std::string& key, const std::string& text) override;
    void ListRemove(const std::string& key) override;
    int ListCount() override { return static_cast<int>(items.size()); }
    std::string ListKey(int position) override { return item(position).key; }
    std::string ListText(int position) override { return item(position).text; }
    void ListSetText(const std::string& key, const std::string& text) override;
    void ListSelect(const std::string& key) override;
    std::string ListSelectedKey() override { return selectedKey; }
    void ListSelectNone() override { selectedKey.clear(); }
    void ListEnsureVisible(const std::string& key) override { ensuredVisible.push_back(key); }

    bool MenuEnabled(MenuItem item) override { return menuEnabled[item]; }
    void MenuEnabled(MenuItem item, bool enabled) override { menuEnabled[item] = enabled; }
    MenuItem PopupMenu(double x, double y, MenuItem defaultItem) override;
    OpenFileResult ShowOpen(long flags, const std::string& filter) override;

    void SetFocus(Ctl c) override { focus = c; }
    void Unload() override { unloaded = true; }

    // --- What a person does; each returns false when the control would not let them. ---
    bool Type(frmPhoto& form, Ctl box, const std::string& text);
    bool Click(frmPhoto& form, Ctl control);
    bool ClickItem(frmPhoto& form, const std::string& key);
    // Opens the action menu and chooses `item` (None closes it unchosen).
    void ChooseAction(frmPhoto& form, MenuItem item);

    struct ListItem {
        std::string key, text;
    };
    struct ControlState {
        std::string caption, text;
        bool locked = false, enabled = true, visible = true, stretch = false;
        std::uint32_t backColor = kColorWindowBackground;
        int value = 0, max = 32767;
        PicturePtr picture;
    };

    ControlGeometry geometry;
    std::map<Ctl, ControlState> controls;
    std::vector<ListItem> items;
    std::string selectedKey;
    std::vector<std::string> ensuredVisible;
    bool reportView = false;
    std::vector<std::string> columns;
    std::map<MenuItem, bool> menuEnabled;
    std::deque<MenuItem> menuChoices;  // next choices; None when empty
    std::vector<ShownMenu> shownMenus;
    std::deque<OpenFileResult> openFiles;  // next dialog answers; cancelled when empty
    std::vector<ShownOpenDialog> shownDialogs;
    Ctl focus = Ctl::frmPhoto;
    bool unloaded = false;

    ControlState& state(Ctl c) { return controls[c]; }

  private:
    const ListItem& item(int position);
    int positionOf(const std::string& key);
    void fitToPicture(Ctl c);
};

}  // namespace kelvo::test
