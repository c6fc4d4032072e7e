// The binding's DrawDib helper.
#include "avi/KvVFW.h"

namespace kv {

win::BOOL DrawDibUpdate(win::HDRAWDIB hdd, win::HDC dc, int x, int y) {
    return win::DrawDibDraw(hdd, dc, x, y, 0, 0, nullptr, nullptr, 0, 0, 0, 0, win::DDF_UPDATE) ? -1 : 0;
}

} // namespace kv
