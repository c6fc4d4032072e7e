// The bitmap's canvas and its size: a memory DC over the image's own pixels, and new images of another
// size in the same pixel format.
#include "platform/gdi/PixelRows.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/GraphicsImage.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace host {
namespace {

// Every bitmap canvas that has a DC, so that one needing a bitmap handle can take it from another (a
// bitmap is selected into one DC at a time, and copies of a bitmap share one handle).
class CanvasList {
  public:
    static CanvasList& Get() {
        static CanvasList list;
        return list;
    }
    void Add(TBitmap::BitmapCanvas* canvas) {
        std::lock_guard lock(m_mutex);
        m_canvases.push_back(canvas);
    }
    void Remove(TBitmap::BitmapCanvas* canvas) {
        std::lock_guard lock(m_mutex);
        std::erase(m_canvases, canvas);
    }
    // The canvases other than self whose DC holds the bitmap.
    std::vector<TBitmap::BitmapCanvas*> Holding(win::HBITMAP bitmap, const TBitmap::BitmapCanvas* self) {
        std::lock_guard lock(m_mutex);
        std::vector<TBitmap::BitmapCanvas*> found;
        for (auto* c : m_canvases)
            if (c != self && c->Selected() == bitmap) found.push_back(c);
        return found;
    }

  private:
    std::mutex m_mutex;
    std::vector<TBitmap::BitmapCanvas*> m_canvases;
};

void releaseFromCanvases(win::HBITMAP bitmap, const TBitmap::BitmapCanvas* self = nullptr) {
    if (!bitmap) return;
    for (auto* c : CanvasList::Get().Holding(bitmap, self))
        c->FreeContext();
}

// A memory DC holding a bitmap (taken from any bitmap canvas that holds it) while it lives.
class SelectedDC {
  public:
    explicit SelectedDC(win::HBITMAP bitmap) : m_dc(win::CreateCompatibleDC(nullptr)) {
        releaseFromCanvases(bitmap);
        if (m_dc) m_old = win::SelectObject(m_dc, bitmap);
    }
    ~SelectedDC() {
        if (m_old) win::SelectObject(m_dc, m_old);
        if (m_dc) win::DeleteDC(m_dc);
    }
    SelectedDC(const SelectedDC&) = delete;
    SelectedDC& operator=(const SelectedDC&) = delete;
    bool Valid() const { return m_old != nullptr; }
    win::HDC Get() const { return m_dc; }

  private:
    win::HDC m_dc;
    win::HGDIOBJ m_old = nullptr;
};

// A DIB section of another size with the format (depth, masks, colours, row order) of d.
win::HBITMAP sectionLike(const win::gdi::BitmapData& d, int width, int height) {
    struct {
        win::BITMAPINFOHEADER header;
        win::RGBQUAD colours[256];
    } info{};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = width;
    info.header.biHeight = d.topDown ? -height : height;
    info.header.biPlanes = 1;
    info.header.biBitCount = win::WORD(d.bpp);
    info.header.biCompression = d.compression;
    if (d.compression == win::BI_BITFIELDS) {
        std::memcpy(info.colours, d.masks, sizeof d.masks);
    } else {
        const std::size_t n = std::min<std::size_t>(d.colors.size(), 256);
        std::copy_n(d.colors.begin(), n, info.colours);
        info.header.biClrUsed = win::DWORD(n);
    }
    void* bits = nullptr;
    return win::CreateDIBSection(nullptr, reinterpret_cast<win::BITMAPINFO*>(&info), win::DIB_RGB_COLORS,
                                 &bits, nullptr, 0);
}

win::HBITMAP screenBitmap(int width, int height) {
    win::HDC screen = win::GetDC(nullptr);
    win::HBITMAP bitmap = win::CreateCompatibleBitmap(screen, width, height);
    win::ReleaseDC(nullptr, screen);
    return bitmap;
}

} // namespace

// ---- canvas ----

void TBitmap::BitmapCanvas::CreateHandle() {
    Image* image = m_bitmap.m_image;
    win::HBITMAP bitmap = image ? image->handle : nullptr;
    releaseFromCanvases(bitmap, this);
    win::HDC dc = win::CreateCompatibleDC(nullptr);
    if (!dc) return;
    if (bitmap) {
        m_oldBitmap = win::SelectObject(dc, bitmap);
        if (!m_oldBitmap) {
            win::DeleteDC(dc);
            return;
        }
        m_selected = bitmap;
    }
    if (image && image->palette) {
        m_oldPalette = win::SelectPalette(dc, image->palette, win::TRUE);
        win::RealizePalette(dc);
    }
    CanvasList::Get().Add(this);
    SetHandle(dc);
}

void TBitmap::BitmapCanvas::FreeContext() {
    if (!HandleAllocated()) return;
    win::HDC dc = GetHandle();
    SetHandle(nullptr);
    if (m_oldBitmap) win::SelectObject(dc, m_oldBitmap);
    if (m_oldPalette) win::SelectPalette(dc, m_oldPalette, win::TRUE);
    win::DeleteDC(dc);
    m_oldBitmap = nullptr;
    m_oldPalette = nullptr;
    m_selected = nullptr;
    CanvasList::Get().Remove(this);
}

void TBitmap::BitmapCanvas::Changing() {
    // Drawing must not reach pixels another copy shares; unsharing gives a new image and frees the DC,
    // which the drawing call then makes again over the new image.
    m_bitmap.unshare();
    TCanvas::Changing();
}

TCanvas& TBitmap::GetCanvas() {
    if (!m_canvas) m_canvas = std::make_unique<BitmapCanvas>(*this);
    return *m_canvas;
}

void TBitmap::FreeContext() {
    if (m_canvas) m_canvas->FreeContext();
}

// ---- size and monochrome images ----

void TBitmap::SetMonochrome(bool monochrome) {
    if (monochrome == GetMonochrome()) return;
    if (!m_image || !m_image->handle) {
        m_monochrome = monochrome;
        m_format = TPixelFormat::pfDevice;
        return;
    }
    const int width = m_image->data.width, height = m_image->data.height;
    // To monochrome, white pixels (the source DC's background colour) become 1 and all others 0; from
    // monochrome, 0 becomes black (the text colour) and 1 white (the background colour).
    win::HBITMAP converted =
        monochrome ? win::CreateBitmap(width, height, 1, 1, nullptr) : screenBitmap(width, height);
    if (!converted) throw EInvalidGraphicOperation("Out of system resources");
    FreeContext();
    {
        SelectedDC source(m_image->handle), target(converted);
        if (source.Valid() && target.Valid()) {
            win::SetBkColor(source.Get(), win::RGB(255, 255, 255));
            win::BitBlt(target.Get(), 0, 0, width, height, source.Get(), 0, 0, win::SRCCOPY);
        }
    }
    replace(newImage(converted, nullptr));
}

void TBitmap::SetWidth(int width) {
    resize(width, GetHeight());
}

void TBitmap::SetHeight(int height) {
    resize(GetWidth(), height);
}

void TBitmap::SetSize(int width, int height) {
    resize(width, height);
}

void TBitmap::resize(int width, int height) {
    width = std::max(width, 0), height = std::max(height, 0);
    if (width == GetWidth() && height == GetHeight()) return;
    const TPixelFormat format = GetPixelFormat();
    const bool monochrome = GetMonochrome();
    m_format = format, m_monochrome = monochrome;
    if (width == 0 || height == 0) {
        replace(nullptr);
        m_width = width, m_height = height;
        return;
    }
    const bool hasImage = m_image && m_image->handle;
    win::HBITMAP fresh = nullptr;
    if (monochrome)
        fresh = win::CreateBitmap(width, height, 1, 1, nullptr);
    else if (hasImage && !m_image->data.device)
        fresh = sectionLike(m_image->data, width, height);
    else
        fresh = screenBitmap(width, height);
    if (!fresh) throw EInvalidGraphicOperation("Out of system resources");
    {
        SelectedDC target(fresh);
        const win::RECT all{0, 0, width, height};
        win::FillRect(target.Get(), &all, static_cast<win::HBRUSH>(win::GetStockObject(win::WHITE_BRUSH)));
        if (hasImage) {
            SelectedDC source(m_image->handle);
            win::BitBlt(target.Get(), 0, 0, std::min(width, GetWidth()), std::min(height, GetHeight()),
                        source.Get(), 0, 0, win::SRCCOPY);
        }
    }
    // The palette goes with the new image: moved when this bitmap is the image's only user, else copied.
    win::HPALETTE palette = m_image ? m_image->palette : nullptr;
    if (m_image && m_image->refs.load(std::memory_order_acquire) == 1)
        m_image->palette = nullptr;
    else if (palette)
        palette = win::gdi::DuplicatePalette(palette);
    replace(newImage(fresh, palette));
    m_width = m_height = 0;
    // A format chosen before there was an image is reached from a screen bitmap.
    if (!hasImage && !monochrome && format != TPixelFormat::pfDevice) SetPixelFormat(format);
}

} // namespace host
