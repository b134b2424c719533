// Starting Qt for kelvophotos: widgets for the editor window, offscreen for everything else.
#include "toolkit.h"

#include <QApplication>
#include <QGuiApplication>
#include <QString>
#include <cstdlib>

namespace kelvo::cli {
namespace {

template <typename App>
class QtToolkit : public Toolkit {
  public:
    QtToolkit(int& argc, char** argv) : app_(argc, argv) {}

  private:
    App app_;
};

QtMessageHandler qtDefaultHandler = nullptr;

// Run as root, from cron or over ssh there is no XDG_RUNTIME_DIR; Qt then uses a folder of
// its own and says so on every run, which would bury the command's own messages.
void withoutRuntimeFolderNotice(QtMsgType type, const QMessageLogContext& context,
                                const QString& message) {
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
    qtDefaultHandler(type, context, message);
}

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

}  // namespace

bool HasDisplay() {
    return isSet("DISPLAY") || isSet("WAYLAND_DISPLAY") || isSet("QT_QPA_PLATFORM");
}

std::unique_ptr<Toolkit> StartToolkit(int& argc, char** argv, bool windows) {
    qtDefaultHandler = qInstallMessageHandler(withoutRuntimeFolderNotice);
    if (windows) return std::make_unique<QtToolkit<QApplication>>(argc, argv);
    // Command-line work never shows a window; keep Qt off any display.
    if (!isSet("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return std::make_unique<QtToolkit<QGuiApplication>>(argc, argv);
}

}  // namespace kelvo::cli
