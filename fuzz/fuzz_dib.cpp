// Hands arbitrary bytes to the DIB conversion as a packed DIB in a global memory block (whose size
// bounds what may be read), on a true-colour and on a palette screen, and to the bitmap object.
#include "dib/KvDIB.h"
#include "platform/gdi/Gdi.h"
#include "platform/ui/Graphics.h"
#include "platform/win/Display.h"
#include "platform/win/GlobalMemory.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    win::SetDisplayBitsPerPixelForTesting(data[0] & 1 ? 8 : 24);
    ++data;
    --size;
    void* block = win::GlobalAllocPtr(win::GMEM_MOVEABLE, size);
    if (!block) return 0;
    std::memcpy(block, data, size);
    win::HBITMAP bitmap = nullptr;
    win::HPALETTE palette = nullptr;
    kv::DIB_DIBToBitmap(static_cast<win::BITMAPINFOHEADER*>(block), bitmap, palette);
    if (bitmap) {
        host::TBitmap image;
        image.SetHandle(bitmap);
        image.SetPalette(palette);
        image.SetPixelFormat(host::TPixelFormat::pf24bit);
        if (image.GetHeight() > 0) image.ScanLine(image.GetHeight() - 1)[0] ^= 1;
    } else if (palette) {
        win::DeleteObject(palette);
    }
    win::GlobalFreePtr(block);
    return 0;
}
