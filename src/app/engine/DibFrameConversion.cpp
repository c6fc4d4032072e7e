#include "app/engine/DibFrameConversion.h"

#include "dib/KvDIB.h"

namespace app {

void DibFrameConversion::btnExtractClick(win::BITMAPINFOHEADER* dib) { kv::DIB_DIBToBitmap(dib, m_bitmap, m_palette); }

} // namespace app
