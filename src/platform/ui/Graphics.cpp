#include "platform/ui/Graphics.h"
#include "platform/gdi/Gdi.h"
#include "platform/ui/GraphicsImage.h"
#include "platform/win/DibLayout.h"

#include <cstring>
#include <memory>
#include <utility>

namespace host {
namespace {

// A screen DC with a palette selected and realised for as long as it lives.
class PaletteDC {
  public:
    explicit PaletteDC(win::HPALETTE palette) : m_dc(win::GetDC(nullptr)) {
        if (m_dc && palette) {
            m_old = win::SelectPalette(m_dc, palette, win::FALSE);
            win::RealizePalette(m_dc);
        }
    }
    ~PaletteDC() {
        if (m_old) win::SelectPalette(m_dc, m_old, win::FALSE);
        if (m_dc) win::ReleaseDC(nullptr, m_dc);
    }
    PaletteDC(const PaletteDC&) = delete;
    PaletteDC& operator=(const PaletteDC&) = delete;
    win::HDC Get() const { return m_dc; }

  private:
    win::HDC m_dc;
    win::HPALETTE m_old = nullptr;
};

win::BITMAPINFOHEADER infoHeader(int width, int height, int bpp) {
    win::BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = win::WORD(bpp);
    h.biCompression = win::BI_RGB;
    return h;
}

// Room for a header and a full colour table or three masks.
struct InfoBuffer {
    win::BITMAPINFOHEADER header;
    win::RGBQUAD colours[256];
    win::BITMAPINFO* Get() { return reinterpret_cast<win::BITMAPINFO*>(this); }
};

// Copies the pixels of a bitmap into a new DIB section of the given format. For 8 bits and less the
// section's colour table comes from the palette.
win::HBITMAP toSection(const win::gdi::BitmapData& d, win::HBITMAP source, win::HPALETTE palette, int bpp,
                       bool rgb565) {
    PaletteDC dc(palette);
    if (!dc.Get()) return nullptr;
    auto info = std::make_unique<InfoBuffer>();
    info->header = infoHeader(d.width, d.height, bpp);
    if (rgb565) {
        info->header.biCompression = win::BI_BITFIELDS;
        const win::DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
        std::memcpy(info->colours, masks, sizeof masks);
    }
    void* bits = nullptr;
    win::HBITMAP section = nullptr;
    const auto lines = win::UINT(d.height);
    if (bpp <= 8) {
        // The colour table comes out of GetDIBits, so the pixels go through a buffer first.
        std::size_t size = std::size_t(win::DibStride(std::uint64_t(d.width), bpp)) * std::size_t(d.height);
        auto pixels = std::make_unique<std::uint8_t[]>(size);
        if (win::GetDIBits(dc.Get(), source, 0, lines, pixels.get(), info->Get(), win::DIB_RGB_COLORS) !=
            d.height)
            return nullptr;
        info->header.biClrUsed = 1u << bpp;
        section = win::CreateDIBSection(dc.Get(), info->Get(), win::DIB_RGB_COLORS, &bits, nullptr, 0);
        if (section) std::memcpy(bits, pixels.get(), size);
        return section;
    }
    section = win::CreateDIBSection(dc.Get(), info->Get(), win::DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section) return nullptr;
    if (win::GetDIBits(dc.Get(), source, 0, lines, bits, info->Get(), win::DIB_RGB_COLORS) != d.height) {
        win::DeleteObject(section);
        return nullptr;
    }
    return section;
}

// Redraws a bitmap as a device bitmap through a DC with the palette selected and realised.
win::HBITMAP toDevice(const win::gdi::BitmapData& d, win::HBITMAP source, win::HPALETTE palette) {
    // The colours are read before the palette is realised, which may change the system palette.
    auto info = std::make_unique<InfoBuffer>();
    info->header = infoHeader(d.width, d.height, 24);
    auto pixels = std::make_unique<std::uint8_t[]>(std::size_t(d.height) *
                                                   std::size_t(win::DibStride(std::uint64_t(d.width), 24)));
    {
        PaletteDC plain(nullptr);
        if (win::GetDIBits(plain.Get(), source, 0, win::UINT(d.height), pixels.get(), info->Get(),
                           win::DIB_RGB_COLORS) != d.height)
            return nullptr;
    }
    PaletteDC dc(palette);
    return win::CreateDIBitmap(dc.Get(), &info->header, win::CBM_INIT, pixels.get(), info->Get(),
                               win::DIB_RGB_COLORS);
}

} // namespace

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
    // The canvas's DC lets go of the bitmap before the image may be deleted.
    m_canvas.reset();
    release(m_image);
}

TBitmap::Image* TBitmap::newImage(win::HBITMAP handle, win::HPALETTE palette) {
    auto image = std::make_unique<Image>();
    if (handle && !win::gdi::GetBitmapData(handle, image->data))
        throw EInvalidGraphicOperation("Invalid bitmap handle");
    image->handle = handle;
    image->palette = palette;
    return image.release();
}

void TBitmap::release(Image* image) {
    if (image && image->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete image;
}

void TBitmap::replace(Image* image) {
    FreeContext();
    release(m_image);
    m_image = image;
}

win::HBITMAP TBitmap::GetHandle() const {
    return m_image ? m_image->handle : nullptr;
}
win::HPALETTE TBitmap::GetPalette() const {
    return m_image ? m_image->palette : nullptr;
}
int TBitmap::GetWidth() const {
    return m_image && m_image->handle ? m_image->data.width : m_width;
}
int TBitmap::GetHeight() const {
    return m_image && m_image->handle ? m_image->data.height : m_height;
}
bool TBitmap::Empty() const {
    return GetHandle() == nullptr;
}

void TBitmap::SetHandle(win::HBITMAP handle) {
    if (handle == GetHandle()) return;
    replace(handle ? newImage(handle, nullptr) : nullptr);
    m_width = m_height = 0;
}

void TBitmap::SetPalette(win::HPALETTE palette) {
    if (palette == GetPalette()) return;
    if (palette && win::GetObject(palette, 0, nullptr) == 0)
        throw EInvalidGraphicOperation("Invalid palette");
    FreeContext();
    const bool shared = m_image && m_image->refs.load(std::memory_order_acquire) > 1;
    win::HBITMAP handle = m_image ? m_image->handle : nullptr;
    if (handle) {
        const auto& d = m_image->data;
        // Only device bitmaps of a palette screen hold palette-dependent values; other pixels stay.
        if (d.device && d.bpp <= 8)
            handle = toDevice(d, handle, palette);
        else if (shared)
            handle = win::gdi::DuplicateBitmap(handle);
        if (!handle) throw EInvalidGraphicOperation("Out of system resources");
    }
    if (m_image && !shared && handle == m_image->handle) {
        if (m_image->palette) win::DeleteObject(m_image->palette);
        m_image->palette = palette;
        return;
    }
    Image* image = newImage(handle, palette);
    replace(image);
}

TPixelFormat TBitmap::GetPixelFormat() const {
    if (!m_image || !m_image->handle) return m_format;
    if (m_image->data.device) return TPixelFormat::pfDevice;
    const auto& d = m_image->data;
    switch (d.bpp) {
    case 1:
        return TPixelFormat::pf1bit;
    case 4:
        return TPixelFormat::pf4bit;
    case 8:
        return TPixelFormat::pf8bit;
    case 16:
        return d.compression == win::BI_BITFIELDS && d.masks[1] == 0x07E0 ? TPixelFormat::pf16bit
                                                                          : TPixelFormat::pf15bit;
    case 24:
        return TPixelFormat::pf24bit;
    case 32:
        return TPixelFormat::pf32bit;
    default:
        return TPixelFormat::pfCustom;
    }
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
    if (format == GetPixelFormat()) return;
    if (format == TPixelFormat::pfCustom) throw EInvalidGraphicOperation("Unsupported pixel format");
    if (!m_image || !m_image->handle) {
        // Kept for the image a later size gives.
        m_format = format;
        m_monochrome = false;
        return;
    }
    const auto& d = m_image->data;
    win::HBITMAP converted = nullptr;
    switch (format) {
    case TPixelFormat::pfDevice:
        converted = toDevice(d, m_image->handle, m_image->palette);
        break;
    case TPixelFormat::pf1bit:
        converted = toSection(d, m_image->handle, m_image->palette, 1, false);
        break;
    case TPixelFormat::pf4bit:
        converted = toSection(d, m_image->handle, m_image->palette, 4, false);
        break;
    case TPixelFormat::pf8bit:
        converted = toSection(d, m_image->handle, m_image->palette, 8, false);
        break;
    case TPixelFormat::pf15bit:
        converted = toSection(d, m_image->handle, m_image->palette, 16, false);
        break;
    case TPixelFormat::pf16bit:
        converted = toSection(d, m_image->handle, m_image->palette, 16, true);
        break;
    case TPixelFormat::pf24bit:
        converted = toSection(d, m_image->handle, m_image->palette, 24, false);
        break;
    case TPixelFormat::pf32bit:
        converted = toSection(d, m_image->handle, m_image->palette, 32, false);
        break;
    case TPixelFormat::pfCustom:
        throw EInvalidGraphicOperation("Unsupported pixel format");
    }
    if (!converted) throw EInvalidGraphicOperation("Cannot convert the bitmap's pixel format");
    // The converted image keeps the palette: moved when this bitmap is its only user, else copied.
    win::HPALETTE palette = m_image->palette;
    if (m_image->refs.load(std::memory_order_acquire) == 1)
        m_image->palette = nullptr;
    else if (palette)
        palette = win::gdi::DuplicatePalette(palette);
    replace(newImage(converted, palette));
}

void TBitmap::Assign(const TPersistent* source) {
    if (source == this) return;
    if (!source) {
        replace(nullptr);
        m_width = m_height = 0;
        return;
    }
    if (auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
        Image* image = bitmap->m_image;
        if (image) image->refs.fetch_add(1, std::memory_order_relaxed);
        replace(image);
        m_width = bitmap->m_width;
        m_height = bitmap->m_height;
        m_format = bitmap->m_format;
        m_monochrome = bitmap->m_monochrome;
        return;
    }
    TPersistent::Assign(source);
}

bool TBitmap::GetMonochrome() const {
    if (!m_image || !m_image->handle) return m_monochrome;
    return m_image->data.device && m_image->data.bpp == 1;
}

void TBitmap::unshare() {
    if (!m_image || m_image->refs.load(std::memory_order_acquire) == 1) return;
    win::HBITMAP handle = m_image->handle ? win::gdi::DuplicateBitmap(m_image->handle) : nullptr;
    if (m_image->handle && !handle) throw EInvalidGraphicOperation("Out of system resources");
    win::HPALETTE palette = m_image->palette ? win::gdi::DuplicatePalette(m_image->palette) : nullptr;
    replace(newImage(handle, palette));
}

void TBitmap::checkRow(int row) const {
    if (!m_image || !m_image->handle || row < 0 || row >= m_image->data.height)
        throw EInvalidGraphicOperation("Scan line index out of range");
}

std::uint8_t* TBitmap::ScanLine(int row) {
    checkRow(row);
    unshare();
    return m_image->data.Row(row);
}

const std::uint8_t* TBitmap::ScanLine(int row) const {
    checkRow(row);
    return m_image->data.Row(row);
}

} // namespace host
