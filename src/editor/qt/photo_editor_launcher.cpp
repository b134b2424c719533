// The launcher of the Qt editor window: a fresh window for each call, handed the calling
// store before its start-up runs, shown modally until the user closes it.
#include "editor/qt/photo_editor_launcher.h"

#include <QApplication>

#include "editor/frmPhoto.h"
#include "editor/qt/photo_window.h"
#include "platform/error.h"

namespace kelvo {

CPicture* ShowQtPhotoEditor(CPicture& store) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        throw Error("the photo editor window needs a running Qt Widgets application");
    QtPhotoWindow window;
    frmPhoto form(window);
    window.attach(&form);
    form.objcPhoto(&store);
    form.Form_Load();
    if (!window.unloaded()) window.exec();
    window.attach(nullptr);
    CPicture* result = form.objcPhoto();
    form.objcPhoto(nullptr);
    return result;
}

void InstallQtPhotoEditor() {
    CPicture::SetPhotoEditorLauncher(&ShowQtPhotoEditor);
}

}  // namespace kelvo
