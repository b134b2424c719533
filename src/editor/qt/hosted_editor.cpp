// The editor window for hosts that run no Qt application: C programs, Python scripts.
#include <QApplication>
#include <cstdlib>

#include "editor/qt/photo_editor_launcher.h"
#include "platform/error.h"

namespace kelvo {
namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

CPicture* showInAnyHost(CPicture& store) {
    if (QCoreApplication::instance()) return ShowQtPhotoEditor(store);
    // Without a display QApplication would end the host's process.
    if (!isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY") && !isSet("QT_QPA_PLATFORM"))
        throw Error("the photo editor window needs a display");
    static int argc = 1;
    static char name[] = "kelvophotos";
    static char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    return ShowQtPhotoEditor(store);
}

}  // namespace

void InstallQtPhotoEditorForAnyHost() {
    CPicture::SetPhotoEditorLauncher(&showInAnyHost);
}

}  // namespace kelvo
