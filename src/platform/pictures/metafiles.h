// Windows metafiles (plain and placeable) and enhanced metafiles: told apart by content and
// rendered to images at their own size on a 96 dpi screen.
#pragma once

#include <QImage>

#include "platform/bytes.h"

namespace kelvo {

enum class MetafileKind { None, Windows, Enhanced };

MetafileKind MetafileKindOf(const Bytes& bytes);

// Checks every record before a library sees it; throws Error with the reason (truncated,
// corrupt, absurd size, renderer failure).
QImage RenderMetafile(MetafileKind kind, const Bytes& bytes);

}  // namespace kelvo
