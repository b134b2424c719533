// The real interaction services on Qt: message boxes, the yield to pending events and the
// clipboard. Without an application object they fall back to harmless behaviour.
#include "platform/interaction.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <iostream>

#include "platform/files.h"
#include "platform/qt_picture.h"

namespace kelvo {

namespace {

class GatheringPictureReader : public PictureReader {
  public:
    GatheringPictureReader(PictureService& pictures, std::string source)
        : pictures_(pictures), source_(std::move(source)) {}

    void Add(const std::uint8_t* data, std::size_t size) override {
        bytes_.insert(bytes_.end(), data, data + size);
    }
    PicturePtr Finish() override { return pictures_.LoadPictureData(bytes_, source_); }

  private:
    PictureService& pictures_;
    std::string source_;
    Bytes bytes_;
};

}  // namespace

std::unique_ptr<PictureReader> PictureService::ReadPicture(const std::string& source) {
    return std::make_unique<GatheringPictureReader>(*this, source);
}

PicturePtr PictureService::LoadPictureFrom(InputFile& file, const std::string& source) {
    constexpr std::int64_t kMaxFileBytes = std::int64_t{1} << 30;
    const auto refuse = [&](const std::string& reason) {
        throw Error("cannot read picture " + source + ": " + reason);
    };
    std::unique_ptr<PictureReader> reader = ReadPicture(source);
    bool tooLarge = false;
    try {
        tooLarge = file.Length() > kMaxFileBytes;
        Bytes piece(65536);
        std::int64_t total = 0;
        while (!tooLarge) {
            const std::size_t got = file.Read(piece.data(), piece.size());
            if (got == 0) break;
            total += static_cast<std::int64_t>(got);
            tooLarge = total > kMaxFileBytes;  // it grew while being read
            if (!tooLarge) reader->Add(piece.data(), got);
        }
    } catch (const Error& error) {
        refuse(error.what());
    }
    if (tooLarge) refuse("the file is too large");
    return reader->Finish();
}

namespace {

constexpr const char* kApplicationTitle = "KelvoPhotos";

bool HasWidgetsApplication() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

QClipboard* GuiClipboard() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance())
               ? QGuiApplication::clipboard()
               : nullptr;
}

QMessageBox::Icon IconOf(int style) {
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

int AnswerOf(int button) {
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
        if (!HasWidgetsApplication()) {
            std::cerr << shownTitle << ": " << prompt << std::endl;
            return yesNoCancel ? vbCancel : vbOK;
        }
        QMessageBox box(IconOf(style), QString::fromStdString(shownTitle),
                        QString::fromStdString(prompt));
        if (yesNoCancel) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
        } else {
            box.setStandardButtons(QMessageBox::Ok);
        }
        box.exec();
        return AnswerOf(box.standardButton(box.clickedButton()));
    }

    void DoEvents() override {
        if (QCoreApplication::instance()) QCoreApplication::processEvents();
    }
};

class QtClipboardService : public Clipboard {
  public:
    PicturePtr GetData() override {
        QClipboard* clipboard = GuiClipboard();
        return clipboard ? PictureFromImage(clipboard->image()) : EmptyPicture();
    }

    void Clear() override {
        if (QClipboard* clipboard = GuiClipboard()) clipboard->clear();
    }

    void SetData(const Picture& picture) override {
        if (QClipboard* clipboard = GuiClipboard()) clipboard->setImage(ImageOf(picture));
    }
};

}  // namespace

Interaction& QtInteraction() {
    static QtInteractionService interaction;
    return interaction;
}

Clipboard& QtClipboard() {
    static QtClipboardService clipboard;
    return clipboard;
}

const Services& DefaultServices() {
    static const Services services{&LocalFileSystem(), &QtPictures(), &QtInteraction(),
                                   &QtClipboard()};
    return services;
}

}  // namespace kelvo
