// Opening the Qt photo editor window from the store's EditPhoto.
#pragma once

#include "store/CPicture.h"

namespace kelvo {

// Shows the editor window modally on `store` and returns the window's store once the window
// has closed. Throws Error when no Qt Widgets application is running.
CPicture* ShowQtPhotoEditor(CPicture& store);

// Makes CPicture::EditPhoto open the Qt editor window. Hosts call this once at start-up.
void InstallQtPhotoEditor();

}  // namespace kelvo
