// The real interaction services on Qt: message boxes, the yield to pending events and the
// clipboard. Without an application object they fall back to harmless behaviour.
#include "platform/ui/interaction.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <iostream>

#include "platform/files/files.h"
#include "platform/pictures/qt_picture.h"

namespace kelvo {

namespace {

constexpr const char* kApplicationTitle = "KelvoPhotos";

bool hasWidgetsApplication() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

QClipboard* guiClipboard() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance())
               ? QGuiApplication::clipboard()
               : nullptr;
}

QMessageBox::Icon iconOf(int style) {
    switch (style & 0x70) {
        case vbCritical:
            return QMessageBox::Critical;
        case vbQuestion:
            return QMessageBox::Question;
        case vbExclamation:
            return QMessageBox::Warning;
        case 64:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

int answerOf(int button) {
    switch (button) {
        case QMessageBox::Yes:
            return vbYes;
        case QMessageBox::No:
            return vbNo;
        case QMessageBox::Cancel:
            return vbCancel;
        default:
            return vbOK;
    }
}

class QtInteractionService : public Interaction {
  public:
    int MsgBox(const std::string& prompt, int style, const std::string& title) override {
        bool yesNoCancel = (style & 7) == vbYesNoCancel;
        std::string shownTitle = title.empty() ? kApplicationTitle : title;
        if (!hasWidgetsApplication()) {
            std::cerr << shownTitle << ": " << prompt << std::endl;
            return yesNoCancel ? vbCancel : vbOK;
        }
        QMessageBox box(iconOf(style), QString::fromStdString(shownTitle),
                        QString::fromStdString(prompt));
        if (yesNoCancel) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
        } else {
            box.setStandardButtons(QMessageBox::Ok);
        }
        box.exec();
        return answerOf(box.standardButton(box.clickedButton()));
    }

    void DoEvents() override {
        if (QCoreApplication::instance()) QCoreApplication::processEvents();
    }
};

class QtClipboardService : public Clipboard {
  public:
    PicturePtr GetData() override {
        QClipboard* clipboard = guiClipboard();
        return clipboard ? PictureFromImage(clipboard->image()) : EmptyPicture();
    }

    void Clear() override {
        if (QClipboard* clipboard = guiClipboard()) clipboard->clear();
    }

    void SetData(const Picture& picture) override {
        if (QClipboard* clipboard = guiClipboard()) clipboard->setImage(ImageOf(picture));
    }
};

}  // namespace

const Services& DefaultServices() {
    static QtInteractionService interaction;
    static QtClipboardService clipboard;
    static const Services services{&LocalFileSystem(), &QtPictures(), &interaction, &clipboard};
    return services;
}

}  // namespace kelvo
