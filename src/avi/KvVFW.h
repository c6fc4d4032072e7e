// The library's binding of the video interfaces: the records under the library's names and the helper
// macros of the video SDK header as ordinary functions over the AVIFile, installable-compressor,
// DrawDib, MCI window and capture window calls. Boolean results are -1 (all bits set) for true, 0 for
// false.
#pragma once

#include "platform/vfw/AviSave.h"
#include "platform/vfw/Vfw.h"

namespace kv {

// ---- records ----

// ---- FOURCC and chunk ids ----

// ---- stream positions and times ----

// ---- installable compressors ----

// ---- DrawDib ----

// ---- MCI window ----

// ---- capture window ----

} // namespace kv
