// The shared image behind TBitmap copies (private to the bitmap's sources).
#pragma once

#include "platform/gdi/GdiAccess.h"
#include "platform/ui/Graphics.h"

#include <atomic>

namespace host {

struct TBitmap::Image {
    std::atomic<int> refs{1};
    win::HBITMAP handle = nullptr;
    win::HPALETTE palette = nullptr;
    win::gdi::BitmapData data; // describes handle; shares its pixel memory

    Image() = default;
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    ~Image() {
        if (handle) win::DeleteObject(handle);
        if (palette) win::DeleteObject(palette);
    }
};

} // namespace host
