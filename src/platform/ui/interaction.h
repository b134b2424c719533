// Clipboard, message boxes and the yield to pending window messages, as interfaces, and the
// services a store or a window works with, so both run headless with scripted doubles in tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/api.h"
#include "platform/pictures/picture.h"
#include "platform/pictures/picture_service.h"

namespace kelvo {

class FileSystem;

// Message box styles and answers, with their usual numbers.
enum MsgBoxStyle {
    vbOKOnly = 0,
    vbYesNoCancel = 3,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48
};
enum MsgBoxResult { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

class KELVO_API Clipboard {
  public:
    virtual ~Clipboard() = default;
    virtual PicturePtr GetData() = 0;  // the empty picture when no picture is there
    virtual void Clear() = 0;
    virtual void SetData(const Picture& picture) = 0;
};

class KELVO_API Interaction {
  public:
    virtual ~Interaction() = default;
    // A modal message box; an empty title shows the application's title ("KelvoPhotos").
    virtual int MsgBox(const std::string& prompt, int style = vbOKOnly,
                       const std::string& title = "") = 0;
    // Lets pending window messages run.
    virtual void DoEvents() = 0;
};

// The services a store or a window works with. Tests replace any of them.
struct KELVO_API Services {
    FileSystem* files;
    PictureService* pictures;
    Interaction* interaction;
    Clipboard* clipboard;
};

// The real services: local files, Qt pictures, Qt clipboard and message boxes.
KELVO_API const Services& DefaultServices();

}  // namespace kelvo
