// Record-by-record checks of metafile bytes with libuemf, so the renderers only ever see
// files whose records all lie inside the file and end with the end-of-file record.
#pragma once

#include "platform/bytes.h"

namespace kelvo {

// Each throws Error ("the file is truncated" / "the file is corrupt") on a fault.
void CheckWindowsRecords(const Bytes& bytes);   // plain or placeable
void CheckEnhancedRecords(const Bytes& bytes);  // REQUIRES: at least the 88-byte header

}  // namespace kelvo
