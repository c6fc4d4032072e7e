// Reads arbitrary bytes as a BMP file (through a memory file descriptor, as the reader reads real
// files), then converts the DIB read into a device bitmap, on a true-colour screen.
#include "dib/KvDIB.h"
#include "platform/gdi/Gdi.h"
#include "platform/win/Display.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool display = (win::SetDisplayBitsPerPixelForTesting(24), true);
    (void)display;
    const int fd = memfd_create("bmpfile", MFD_CLOEXEC);
    if (fd < 0) return 0;
    if (size && ::write(fd, data, size) != ssize_t(size)) {
        ::close(fd);
        return 0;
    }
    ::lseek(fd, 0, SEEK_SET);
    kv::BmpFileRead read = kv::ReadBmpFile(fd, true);
    ::close(fd);
    if (!read.dib) return 0;
    // Run-length pictures may expand far beyond their file; keep each run's pictures small.
    const std::int64_t pixels = std::int64_t(read.dib->biWidth) * std::abs(read.dib->biHeight);
    if (pixels <= (1 << 22)) {
        win::HBITMAP bitmap = nullptr;
        win::HPALETTE palette = nullptr;
        kv::DIB_DIBToBitmap(read.dib, bitmap, palette);
        if (bitmap) win::DeleteObject(bitmap);
        if (palette) win::DeleteObject(palette);
    }
    kv::DIB_Free(read.dib);
    return 0;
}
