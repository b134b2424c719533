// Opening the Qt photo editor window from the store's EditPhoto.
#pragma once

#include "platform/api.h"
#include "store/CPicture.h"

namespace kelvo {

// Shows the editor window modally on `store` and returns the window's store once the window
// has closed. Throws Error when no Qt Widgets application is running.
KELVO_API CPicture* ShowQtPhotoEditor(CPicture& store);

// Makes CPicture::EditPhoto open the Qt editor window. Hosts call this once at start-up.
KELVO_API void InstallQtPhotoEditor();

// Makes EditPhoto open the Qt editor window in any host, also one without a Qt application
// of its own (C, Python): one is then started for the time the window is open. EditPhoto
// throws Error when there is no display (DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM).
KELVO_API void InstallQtPhotoEditorForAnyHost();

}  // namespace kelvo
