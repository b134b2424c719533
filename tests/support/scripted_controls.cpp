// The scripted editor controls: state in memory, menus and dialogs from queues.
#include "support/scripted_controls.h"

#include <algorithm>

#include "editor/frmPhoto.h"
#include "platform/error.h"

namespace kelvo::test {

ScriptedControls::ScriptedControls() : geometry(15.0, 15.0) {
    state(Ctl::optFit).value = 1;
    state(Ctl::frmPhoto).backColor = kColorButtonFace;
    for (MenuItem m : {MenuItem::mnuAddFromFile, MenuItem::mnuAddFromClipBoard,
                       MenuItem::mnuCopyToClipboard, MenuItem::mnuDeleteCurrentPhoto})
        menuEnabled[m] = true;
}

void ScriptedControls::Value(Ctl c, int value) {
    ControlState& s = state(c);
    if (c == Ctl::HScLeftSet || c == Ctl::VSctopSet) {
        if (value < 0 || value > s.max) throw Error("Invalid property value");
    }
    s.value = value;
    // Option buttons of one frame exclude each other.
    if (value == 1 && c == Ctl::optFit) state(Ctl::optActualsize).value = 0;
    if (value == 1 && c == Ctl::optActualsize) state(Ctl::optFit).value = 0;
}

void ScriptedControls::Max(Ctl c, int value) {
    ControlState& s = state(c);
    s.max = value;
    if (s.value > value) s.value = value;
}

PicturePtr ScriptedControls::Picture(Ctl c) {
    PicturePtr& p = state(c).picture;
    return p ? p : EmptyPicture();
}

void ScriptedControls::Picture(Ctl c, PicturePtr picture) {
    state(c).picture = std::move(picture);
    fitToPicture(c);
}

void ScriptedControls::Stretch(Ctl c, bool stretch) {
    state(c).stretch = stretch;
    fitToPicture(c);
}

void ScriptedControls::fitToPicture(Ctl c) {
    ControlState& s = state(c);
    if (!s.stretch && s.picture && !s.picture->IsEmpty())
        geometry.SizeToPixels(c, s.picture->PixelWidth(), s.picture->PixelHeight());
}

int ScriptedControls::positionOf(const std::string& key) {
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].key == key) return static_cast<int>(i) + 1;
    return 0;
}

const ScriptedControls::ListItem& ScriptedControls::item(int position) {
    if (position < 1 || position > ListCount()) throw Error("Index out of bounds");
    return items[position - 1];
}

void ScriptedControls::ListAdd(const std::string& key, const std::string& text) {
    ListInsert(ListCount() + 1, key, text);
}

void ScriptedControls::ListInsert(int position, const std::string& key, const std::string& text) {
    if (positionOf(key) != 0) throw Error("Key is not unique in collection");
    if (position < 1 || position > ListCount() + 1) throw Error("Index out of bounds");
    items.insert(items.begin() + (position - 1), {key, text});
}

void ScriptedControls::ListRemove(const std::string& key) {
    int position = positionOf(key);
    if (position == 0) throw Error("Element not found");
    items.erase(items.begin() + (position - 1));
    if (selectedKey == key) selectedKey.clear();
}

void ScriptedControls::ListSetText(const std::string& key, const std::string& text) {
    int position = positionOf(key);
    if (position == 0) throw Error("Element not found");
    items[position - 1].text = text;
}

void ScriptedControls::ListSelect(const std::string& key) {
    if (positionOf(key) == 0) throw Error("Element not found");
    selectedKey = key;
}

MenuItem ScriptedControls::PopupMenu(double, double, MenuItem defaultItem) {
    shownMenus.push_back({defaultItem, menuEnabled});
    if (menuChoices.empty()) return MenuItem::None;
    MenuItem chosen = menuChoices.front();
    menuChoices.pop_front();
    return menuEnabled[chosen] ? chosen : MenuItem::None;
}

OpenFileResult ScriptedControls::ShowOpen(long flags, const std::string& filter) {
    shownDialogs.push_back({flags, filter});
    if (openFiles.empty()) return {};
    OpenFileResult answer = openFiles.front();
    openFiles.pop_front();
    return answer;
}

bool ScriptedControls::Type(frmPhoto& form, Ctl box, const std::string& text) {
    ControlState& s = state(box);
    if (s.locked || !s.enabled) return false;
    s.text = text;
    if (box == Ctl::txtDescription) form.txtDescription_Change();
    if (box == Ctl::txtComments) form.txtComments_Change();
    return true;
}

bool ScriptedControls::Click(frmPhoto& form, Ctl control) {
    ControlState& s = state(control);
    if (!s.enabled) return false;
    switch (control) {
        case Ctl::cmdSave:
            form.cmdSave_Click();
            break;
        case Ctl::cmdClose:
            form.cmdClose_Click();
            break;
        case Ctl::chkDefault:
            s.value = s.value == 1 ? 0 : 1;
            form.chkDefault_Click();
            break;
        case Ctl::chkAction:
            s.value = s.value == 1 ? 0 : 1;
            form.chkAction_Click();
            break;
        case Ctl::optFit:
            Value(Ctl::optFit, 1);
            form.optFit_Click();
            break;
        case Ctl::optActualsize:
            Value(Ctl::optActualsize, 1);
            form.optActualsize_Click();
            break;
        default:
            return false;
    }
    return true;
}

bool ScriptedControls::ClickItem(frmPhoto& form, const std::string& key) {
    if (positionOf(key) == 0) return false;
    selectedKey = key;
    form.lvwPicDescription_ItemClick(key);
    return true;
}

void ScriptedControls::ChooseAction(frmPhoto& form, MenuItem chosen) {
    menuChoices.push_back(chosen);
    Click(form, Ctl::chkAction);
}

}  // namespace kelvo::test
