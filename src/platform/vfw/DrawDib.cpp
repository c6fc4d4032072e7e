#include "platform/vfw/DrawDib.h"

#include "platform/vfw/DibDecoder.h"
#include "platform/win/DibLayout.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <span>
#include <unordered_map>
#include <vector>

namespace win {
namespace {

// Pictures larger than this are refused (a DIB header comes from the caller's data).
constexpr std::int64_t maxPixels = std::int64_t(1) << 28;
constexpr int maxSide = 1 << 16;
// The largest header there is (the version 5 header); anything larger is no header.
constexpr DWORD maxHeaderSize = 124;

// A DIB format that can be drawn, with the BITMAPINFO of the DIB section that holds its picture.
struct Format {
    int width = 0;
    int height = 0; // rows, positive
    bool rle = false;
    std::size_t tableBytes = 0; // colour table or masks after the header, copied into the section
    std::size_t pixelSkip = 0;  // bytes from the end of the header to the pixels
    bool masksInHeader = false;
    std::vector<std::uint8_t> info; // header and colour table of the section
};

bool describe(const BITMAPINFOHEADER& h, Format& f) {
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > maxHeaderSize || h.biWidth <= 0 ||
        h.biHeight == 0 || h.biWidth > maxSide || h.biHeight < -maxSide || h.biHeight > maxSide)
        return false;
    f.width = h.biWidth;
    f.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    if (std::int64_t(f.width) * f.height > maxPixels) return false;
    const int bpp = h.biBitCount;
    std::size_t colors = 0;
    switch (h.biCompression) {
    case BI_RGB:
        if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
        break;
    case BI_BITFIELDS:
        if (bpp != 16 && bpp != 32) return false;
        break;
    case BI_RLE8:
        if (bpp != 8 || h.biHeight < 0 || h.biSizeImage == 0) return false;
        f.rle = true;
        break;
    default:
        return false;
    }
    // Where the colour table, the masks and the pixels lie comes from the parsed layout (the caller's
    // block holds the header and what follows it).
    const auto layout = ParseDibLayout({reinterpret_cast<const std::uint8_t*>(&h),
                                        h.biSize + (h.biSize == sizeof(BITMAPINFOHEADER) ? 12u : 0u)});
    if (!layout) return false;
    f.pixelSkip = layout->pixelOffset - layout->headerSize;
    if (bpp <= 8) {
        colors = layout->colours;
        f.tableBytes = colors * sizeof(RGBQUAD);
    } else if (h.biCompression == BI_BITFIELDS) {
        if (layout->maskBytes)
            f.tableBytes = 3 * sizeof(DWORD);
        else
            f.masksInHeader = true;
    }
    BITMAPINFOHEADER section = h;
    section.biSize = sizeof(BITMAPINFOHEADER);
    section.biSizeImage = 0;
    section.biClrUsed = DWORD(colors);
    if (f.rle) {
        section.biCompression = BI_RGB;
        section.biHeight = -f.height; // the decoder's picture is stored from the top
    }
    f.info.resize(sizeof section + (bpp <= 8 ? f.tableBytes : 3 * sizeof(DWORD)));
    std::memcpy(f.info.data(), &section, sizeof section);
    return true;
}

class DrawDib {
  public:
    DrawDib() : m_dc(CreateCompatibleDC(nullptr)) {}
    ~DrawDib() {
        release();
        DeleteDC(m_dc);
    }
    DrawDib(const DrawDib&) = delete;
    DrawDib& operator=(const DrawDib&) = delete;

    bool load(const BITMAPINFOHEADER& h, const void* bits);
    bool draw(HDC hdc, int x, int y, int dx, int dy, int xs, int ys, int dxs, int dys, UINT flags);
    void setDestination(int dx, int dy) {
        m_dstWidth = dx;
        m_dstHeight = dy;
    }
    void release();
    // Lets go of the picture and of the run-length picture that the next frame would draw over.
    void reset() {
        release();
        m_indices.clear();
        m_rle = false;
    }

  private:
    bool makeImage(const Format& f, void** pixels);

    HDC m_dc;
    HBITMAP m_image = nullptr;
    HGDIOBJ m_old = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_dstWidth = 0;
    int m_dstHeight = 0;
    RECT m_source{0, 0, 0, 0};
    std::vector<std::uint8_t> m_indices; // the run-length picture, one index per pixel, top row first
    bool m_rle = false;
};

void DrawDib::release() {
    if (m_old) SelectObject(m_dc, m_old);
    if (m_image) DeleteObject(m_image);
    m_old = nullptr;
    m_image = nullptr;
}

bool DrawDib::makeImage(const Format& f, void** pixels) {
    HBITMAP image = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(f.info.data()),
                                     DIB_RGB_COLORS, pixels, nullptr, 0);
    if (!image || !*pixels) return false;
    release();
    m_old = SelectObject(m_dc, image);
    m_image = image;
    return true;
}

bool DrawDib::load(const BITMAPINFOHEADER& h, const void* bits) {
    Format f;
    if (!m_dc || !describe(h, f)) return false;
    const auto* table = reinterpret_cast<const std::uint8_t*>(&h) + h.biSize;
    std::memcpy(f.info.data() + sizeof(BITMAPINFOHEADER), table, f.tableBytes);
    if (f.masksInHeader)
        std::memcpy(f.info.data() + sizeof(BITMAPINFOHEADER),
                    reinterpret_cast<const std::uint8_t*>(&h) + sizeof(BITMAPINFOHEADER), 3 * sizeof(DWORD));
    const auto* data = bits ? static_cast<const std::uint8_t*>(bits) : table + f.pixelSkip;
    const std::size_t pixelCount = std::size_t(f.width) * std::size_t(f.height);
    // A run-length frame of the same size draws over the picture before it.
    if (f.rle && !(m_rle && m_width == f.width && m_height == f.height && m_indices.size() == pixelCount))
        m_indices.assign(pixelCount, 0);
    void* pixels = nullptr;
    if (!makeImage(f, &pixels)) return false;
    if (f.rle) {
        DecodeDibRle(std::span(data, h.biSizeImage), false, m_indices.data(), f.width, f.height, false);
        const std::size_t stride = (std::size_t(f.width) + 3) & ~std::size_t(3);
        for (int row = 0; row < f.height; ++row)
            std::memcpy(static_cast<std::uint8_t*>(pixels) + stride * std::size_t(row),
                        m_indices.data() + std::size_t(f.width) * std::size_t(row), std::size_t(f.width));
    } else {
        const std::size_t stride = std::size_t(DibStride(std::uint64_t(f.width), h.biBitCount));
        std::memcpy(pixels, data, stride * std::size_t(f.height));
        m_indices.clear();
    }
    m_rle = f.rle;
    m_width = f.width;
    m_height = f.height;
    return true;
}

bool DrawDib::draw(HDC hdc, int x, int y, int dx, int dy, int xs, int ys, int dxs, int dys, UINT flags) {
    if (!m_image) return false;
    if (flags & DDF_UPDATE) {
        xs = m_source.left;
        ys = m_source.top;
        dxs = m_source.right - m_source.left;
        dys = m_source.bottom - m_source.top;
        if (dx <= 0) dx = m_dstWidth;
        if (dy <= 0) dy = m_dstHeight;
    } else {
        if (xs < 0 || ys < 0 || xs >= m_width || ys >= m_height) return false;
        if (dxs <= 0) dxs = m_width - xs;
        if (dys <= 0) dys = m_height - ys;
        if (dxs > m_width - xs || dys > m_height - ys) return false;
        if (dx <= 0) dx = dxs;
        if (dy <= 0) dy = dys;
        m_source = RECT{xs, ys, xs + dxs, ys + dys};
        m_dstWidth = dx;
        m_dstHeight = dy;
    }
    if (flags & DDF_DONTDRAW) return true;
    return StretchBlt(hdc, x, y, dx, dy, m_dc, xs, ys, dxs, dys, SRCCOPY) != FALSE;
}

struct Handles {
    std::mutex mutex;
    std::unordered_map<HDRAWDIB, std::unique_ptr<DrawDib>> open;
};

Handles& handles() {
    static Handles h;
    return h;
}

DrawDib* find(HDRAWDIB hdd) {
    Handles& h = handles();
    std::lock_guard lock(h.mutex);
    auto it = h.open.find(hdd);
    return it == h.open.end() ? nullptr : it->second.get();
}

} // namespace

HDRAWDIB DrawDibOpen() {
    auto object = std::make_unique<DrawDib>();
    auto handle = reinterpret_cast<HDRAWDIB>(object.get());
    Handles& h = handles();
    std::lock_guard lock(h.mutex);
    h.open.emplace(handle, std::move(object));
    return handle;
}

BOOL DrawDibClose(HDRAWDIB hdd) {
    std::unique_ptr<DrawDib> object;
    {
        Handles& h = handles();
        std::lock_guard lock(h.mutex);
        auto it = h.open.find(hdd);
        if (it == h.open.end()) return FALSE;
        object = std::move(it->second);
        h.open.erase(it);
    }
    return TRUE;
}

BOOL DrawDibBegin(HDRAWDIB hdd, HDC, int dxDst, int dyDst, LPBITMAPINFOHEADER lpbi, int dxSrc, int dySrc,
                  UINT) {
    DrawDib* d = find(hdd);
    Format f;
    if (!d || !lpbi || !describe(*lpbi, f)) return FALSE;
    d->setDestination(dxDst > 0   ? dxDst
                      : dxSrc > 0 ? dxSrc
                                  : f.width,
                      dyDst > 0   ? dyDst
                      : dySrc > 0 ? dySrc
                                  : f.height);
    return TRUE;
}

BOOL DrawDibEnd(HDRAWDIB hdd) {
    DrawDib* d = find(hdd);
    if (!d) return FALSE;
    d->reset();
    return TRUE;
}

BOOL DrawDibDraw(HDRAWDIB hdd, HDC hdc, int xDst, int yDst, int dxDst, int dyDst, LPBITMAPINFOHEADER lpbi,
                 LPVOID lpBits, int xSrc, int ySrc, int dxSrc, int dySrc, UINT wFlags) {
    DrawDib* d = find(hdd);
    if (!d) return FALSE;
    if (!(wFlags & DDF_UPDATE) && (!lpbi || !d->load(*lpbi, lpBits))) return FALSE;
    return d->draw(hdc, xDst, yDst, dxDst, dyDst, xSrc, ySrc, dxSrc, dySrc, wFlags) ? TRUE : FALSE;
}

} // namespace win
