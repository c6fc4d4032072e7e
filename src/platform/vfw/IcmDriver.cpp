#include "platform/vfw/IcmDriver.h"

#include "platform/win/ByteReader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace win::icm {
namespace {

constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
constexpr DWORD kMaxKeyFrameRate = 100000;

template <std::size_t N> void putText(WCHAR (&dst)[N], const std::string& text) {
    std::size_t i = 0;
    for (; i + 1 < N && i < text.size(); ++i)
        dst[i] = WCHAR(static_cast<unsigned char>(text[i]));
    dst[i] = 0;
}

const BITMAPINFOHEADER* header(DWORD_PTR v) {
    return reinterpret_cast<const BITMAPINFOHEADER*>(v);
}
BITMAPINFOHEADER* mutableHeader(DWORD_PTR v) {
    return reinterpret_cast<BITMAPINFOHEADER*>(v);
}

// The extended decompression covers the whole picture only: no cropping and no stretching.
bool wholePicture(const ICDECOMPRESSEX& ex) {
    if (!ex.lpbiSrc) return false;
    const auto covers = [](int x, int y, int dx, int dy, const BITMAPINFOHEADER* h) {
        if (!h) return true;
        const int height = std::abs(h->biHeight);
        return x == 0 && y == 0 && ((dx == 0 && dy == 0) || (dx == h->biWidth && dy == height));
    };
    return covers(ex.xSrc, ex.ySrc, ex.dxSrc, ex.dySrc, ex.lpbiSrc) &&
           covers(ex.xDst, ex.yDst, ex.dxDst, ex.dyDst, ex.lpbiDst);
}

} // namespace

std::vector<std::uint8_t> packState(FOURCC handler, const DriverState& state) {
    ByteWriter w;
    w.u32(handler);
    w.u32(state.quality);
    w.u32(state.keyFrameRate);
    return std::move(w.buffer());
}

std::optional<DriverState> unpackState(FOURCC handler, std::span<const std::uint8_t> block) {
    if (block.size() != kStateBytes) return std::nullopt;
    ByteReader r(block);
    const auto tag = r.u32();
    const auto quality = r.u32();
    const auto rate = r.u32();
    if (!tag || !quality || !rate || !sameFourcc(*tag, handler)) return std::nullopt;
    if (*quality > ICQUALITY_HIGH || *rate > kMaxKeyFrameRate) return std::nullopt;
    return DriverState{*quality, *rate};
}

LRESULT VideoDriver::message(UINT msg, DWORD_PTR dw1, DWORD_PTR dw2) {
    switch (msg) {
    case ICM_GETINFO:
        return getInfo(reinterpret_cast<ICINFO*>(dw1), DWORD(dw2));
    case ICM_GETSTATE:
        return getState(reinterpret_cast<void*>(dw1), DWORD(dw2));
    case ICM_SETSTATE:
        return setState(reinterpret_cast<const void*>(dw1), DWORD(dw2));
    case ICM_GETDEFAULTQUALITY:
        if (!(info().flags & VIDCF_QUALITY) || !dw1) return ICERR_UNSUPPORTED;
        *reinterpret_cast<DWORD*>(dw1) = defaults().quality;
        return ICERR_OK;
    case ICM_GETQUALITY:
        if (!(info().flags & VIDCF_QUALITY) || !dw1) return ICERR_UNSUPPORTED;
        *reinterpret_cast<DWORD*>(dw1) = settings().quality;
        return ICERR_OK;
    case ICM_GETDEFAULTKEYFRAMERATE:
        if (!dw1) return ICERR_BADPARAM;
        // Drivers without temporal compression make every frame a key frame.
        *reinterpret_cast<DWORD*>(dw1) = info().flags & VIDCF_TEMPORAL ? defaults().keyFrameRate : 1;
        return ICERR_OK;
    case ICM_COMPRESS_FRAMES_INFO:
        return framesInfo(reinterpret_cast<const ICCOMPRESSFRAMES*>(dw1), DWORD(dw2));
    case ICM_COMPRESS_QUERY:
        return compressQuery(header(dw1), header(dw2));
    case ICM_COMPRESS_GET_FORMAT: {
        const LRESULT r = compressFormat(header(dw1), mutableHeader(dw2));
        return dw2 && r > 0 ? ICERR_OK : r;
    }
    case ICM_COMPRESS_GET_SIZE:
        return compressMaxSize(header(dw1), header(dw2));
    case ICM_COMPRESS_BEGIN:
        return compressBegin(header(dw1), header(dw2));
    case ICM_COMPRESS:
        if (!dw1 || dw2 < sizeof(ICCOMPRESS)) return ICERR_BADSIZE;
        return compress(*reinterpret_cast<ICCOMPRESS*>(dw1));
    case ICM_COMPRESS_END:
        return compressEnd();
    case ICM_DECOMPRESS_QUERY:
        return decompressQuery(header(dw1), header(dw2));
    case ICM_DECOMPRESS_GET_FORMAT: {
        const LRESULT r = decompressFormat(header(dw1), mutableHeader(dw2));
        return dw2 && r > 0 ? ICERR_OK : r;
    }
    case ICM_DECOMPRESS_BEGIN:
        return decompressBegin(header(dw1), header(dw2));
    case ICM_DECOMPRESS:
        if (!dw1 || dw2 < sizeof(ICDECOMPRESS)) return ICERR_BADSIZE;
        return decompress(*reinterpret_cast<const ICDECOMPRESS*>(dw1));
    case ICM_DECOMPRESS_END:
        return decompressEnd();
    case ICM_DECOMPRESSEX_BEGIN:
    case ICM_DECOMPRESSEX_QUERY:
    case ICM_DECOMPRESSEX:
        return decompressEx(msg, reinterpret_cast<const ICDECOMPRESSEX*>(dw1), DWORD(dw2));
    case ICM_DECOMPRESSEX_END:
        return decompressEnd();
    default:
        // No dialogs, no drawing, no palettes of our own.
        return ICERR_UNSUPPORTED;
    }
}

LRESULT VideoDriver::getInfo(ICINFO* out, DWORD size) const {
    if (!out) return 0;
    const DriverInfo di = info();
    ICINFO ii{};
    ii.dwSize = sizeof(ICINFO);
    ii.fccType = ICTYPE_VIDEO;
    ii.fccHandler = di.fccHandler;
    ii.dwFlags = di.flags;
    ii.dwVersion = 1;
    ii.dwVersionICM = ICVERSION;
    putText(ii.szName, di.name);
    putText(ii.szDescription, di.description);
    putText(ii.szDriver, "quillan-icm");
    const std::size_t n = std::min<std::size_t>(size, sizeof ii);
    std::memcpy(out, &ii, n);
    return LRESULT(n);
}

// The state block's size when block is null, else the bytes written.
LRESULT VideoDriver::getState(void* block, DWORD size) const {
    if (!hasState()) return 0;
    if (!block) return LRESULT(kStateBytes);
    if (size < kStateBytes) return ICERR_BADSIZE;
    const auto bytes = packState(info().fccHandler, settings());
    std::memcpy(block, bytes.data(), bytes.size());
    return LRESULT(bytes.size());
}

// A null block restores the defaults. A block that is not this driver's is refused (0 bytes taken)
// and the settings stay as they were.
LRESULT VideoDriver::setState(const void* block, DWORD size) {
    if (!hasState()) return 0;
    if (!block) {
        m_stateSet = false;
        return 0;
    }
    auto state = unpackState(info().fccHandler, {static_cast<const std::uint8_t*>(block), size});
    if (!state) return 0;
    m_state = *state;
    m_stateSet = true;
    return LRESULT(kStateBytes);
}

// The quality and key-frame rate of a coming sequence become the settings; out-of-range values keep
// the setting they would replace.
LRESULT VideoDriver::framesInfo(const ICCOMPRESSFRAMES* info, DWORD size) {
    if (!hasState()) return ICERR_UNSUPPORTED;
    if (!info || size < sizeof(ICCOMPRESSFRAMES)) return ICERR_BADSIZE;
    DriverState s = settings();
    if (info->lQuality >= 0 && DWORD(info->lQuality) <= ICQUALITY_HIGH) s.quality = DWORD(info->lQuality);
    if (info->lKeyRate >= 0 && DWORD(info->lKeyRate) <= kMaxKeyFrameRate)
        s.keyFrameRate = DWORD(info->lKeyRate);
    m_state = s;
    m_stateSet = true;
    return ICERR_OK;
}

LRESULT VideoDriver::decompressEx(UINT msg, const ICDECOMPRESSEX* ex, DWORD size) {
    if (!ex || size < sizeof(ICDECOMPRESSEX)) return ICERR_BADSIZE;
    if (!wholePicture(*ex)) return ICERR_UNSUPPORTED;
    if (msg == ICM_DECOMPRESSEX_QUERY) return decompressQuery(ex->lpbiSrc, ex->lpbiDst);
    if (msg == ICM_DECOMPRESSEX_BEGIN) return decompressBegin(ex->lpbiSrc, ex->lpbiDst);
    const ICDECOMPRESS d{ex->dwFlags, ex->lpbiSrc, ex->lpSrc, ex->lpbiDst, ex->lpDst, 0};
    return decompress(d);
}

bool sameFourcc(DWORD a, DWORD b) {
    for (int i = 0; i < 4; ++i) {
        const auto ca = static_cast<unsigned char>(a >> (8 * i)),
                   cb = static_cast<unsigned char>(b >> (8 * i));
        const auto la = ca >= 'A' && ca <= 'Z' ? ca + 32 : ca, lb = cb >= 'A' && cb <= 'Z' ? cb + 32 : cb;
        if (la != lb) return false;
    }
    return true;
}

namespace {

bool dibCompression(DWORD c) {
    return c == BI_RGB || c == BI_RLE8 || c == BI_RLE4 || c == BI_BITFIELDS;
}

// The parsed layout of a DIB format; the caller's block is trusted to hold the header its first word
// announces and the masks behind a 40-byte header.
std::optional<DibLayout> dibFormatLayout(const BITMAPINFOHEADER* h) {
    if (!h || h->biSize < sizeof(BITMAPINFOHEADER) || h->biSize > kDibMaxHeaderSize) return std::nullopt;
    const std::size_t bytes = h->biSize + (h->biSize == kDibInfoHeaderSize ? 12 : 0);
    return ParseDibLayout({reinterpret_cast<const std::uint8_t*>(h), bytes});
}

} // namespace

DWORD colourCount(const BITMAPINFOHEADER* h) {
    if (!h || h->biBitCount == 0 || h->biBitCount > 8) return 0;
    if (dibCompression(h->biCompression)) {
        const auto layout = dibFormatLayout(h);
        return layout ? layout->colours : 0;
    }
    return DibColourCount(h->biBitCount, h->biClrUsed);
}

std::size_t formatBytes(const BITMAPINFOHEADER* h) {
    if (!h || h->biSize < sizeof(BITMAPINFOHEADER) || h->biSize > kMaxHeaderBytes) return 0;
    if (dibCompression(h->biCompression)) {
        const auto layout = dibFormatLayout(h);
        return layout ? layout->pixelOffset : 0;
    }
    // Codec formats: the header (with any codec data inside biSize) and a colour table for 8 bits or
    // less.
    if (h->biBitCount <= 8 && h->biClrUsed > 256) return 0;
    return h->biSize + std::size_t(h->biBitCount <= 8 ? DibColourCount(h->biBitCount, h->biClrUsed) : 0) * 4;
}

std::span<const std::uint8_t> formatSpan(const BITMAPINFOHEADER* h) {
    return {reinterpret_cast<const std::uint8_t*>(h), formatBytes(h)};
}

bool plainRgbInput(const BITMAPINFOHEADER* h, std::initializer_list<int> depths) {
    if (!formatBytes(h) || h->biCompression != BI_RGB) return false;
    if (std::find(depths.begin(), depths.end(), int(h->biBitCount)) == depths.end()) return false;
    const std::int64_t height = std::abs(std::int64_t(h->biHeight));
    return h->biWidth > 0 && height > 0 && h->biWidth <= vfw::kMaxFrameSide && height <= vfw::kMaxFrameSide;
}

bool DibWriter::open(const vfw::SourceFormat& source, const BITMAPINFOHEADER* out) {
    std::string error;
    const int display = source.bpp == 8 ? 8 : 24;
    auto format = vfw::chooseOutputFormat(source, out, display, error);
    if (!format) return false;
    // Paletted output only with the source's own colours; the colour cube is for display, not here.
    if (format->layout == vfw::PixelLayout::Indexed8 && format->palette != vfw::OutputPalette::Source)
        return false;
    m_format = *format;
    m_width = source.width;
    m_height = source.height;
    m_stride = std::size_t(DibStride(std::uint64_t(m_width), unsigned(vfw::layoutBits(m_format.layout))));
    m_converter = std::make_unique<vfw::RowConverter>(source.bpp, source.masks, m_format);
    m_converter->setPalette(source.palette);
    return true;
}

std::uint8_t* DibWriter::row(void* bits, int y) const {
    const int stored = m_format.topDown ? y : m_height - 1 - y;
    return static_cast<std::uint8_t*>(bits) + std::size_t(stored) * m_stride;
}

const std::vector<DriverClass>& builtInDrivers() {
    static const std::vector<DriverClass> classes = [] {
        std::vector<DriverClass> list;
        list.push_back({mmioFOURCC('D', 'I', 'B', ' '), {0, mmioFOURCC('R', 'A', 'W', ' ')}, makeDibDriver});
        list.push_back(
            {mmioFOURCC('M', 'R', 'L', 'E'), {BI_RLE8, mmioFOURCC('R', 'L', 'E', '8')}, makeRleDriver});
        for (DriverClass& c : avDriverClasses())
            list.push_back(std::move(c));
        return list;
    }();
    return classes;
}

LRESULT defaultDecompressFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) {
    if (!formatBytes(in) || in->biWidth <= 0 || in->biHeight == 0) return ICERR_BADFORMAT;
    const bool indexed = in->biBitCount == 8 && (in->biCompression == BI_RGB || in->biCompression == BI_RLE8);
    const DWORD colours = indexed ? colourCount(in) : 0;
    const LRESULT bytes = LRESULT(sizeof(BITMAPINFOHEADER) + colours * 4);
    if (!out) return bytes;
    const WORD bits = indexed ? 8 : 24;
    const LONG height = in->biHeight < 0 ? -in->biHeight : in->biHeight;
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = in->biWidth;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bits;
    h.biCompression = BI_RGB;
    h.biSizeImage = DWORD(DibStride(std::uint64_t(in->biWidth), bits) * std::uint64_t(height));
    h.biClrUsed = colours;
    std::memcpy(out, &h, sizeof h);
    if (colours)
        std::memcpy(reinterpret_cast<std::uint8_t*>(out) + sizeof h,
                    reinterpret_cast<const std::uint8_t*>(in) + in->biSize, std::size_t(colours) * 4);
    return bytes;
}

std::optional<vfw::SourceFormat> BuiltInDecompressor::parseSource(const BITMAPINFOHEADER* in) const {
    const auto bytes = formatSpan(in);
    if (bytes.empty()) return std::nullopt;
    std::string error;
    auto source = vfw::parseSourceFormat(bytes, error);
    if (!source || source->kind != sourceKind()) return std::nullopt;
    if (source->kind == vfw::SourceKind::Raw && source->bpp < 8) return std::nullopt;
    return source;
}

LRESULT BuiltInDecompressor::decompressQuery(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) {
    auto source = parseSource(in);
    if (!source) return ICERR_BADFORMAT;
    DibWriter writer;
    return writer.open(*source, out) ? ICERR_OK : ICERR_BADFORMAT;
}

LRESULT BuiltInDecompressor::decompressFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) {
    if (!parseSource(in)) return ICERR_BADFORMAT;
    return defaultDecompressFormat(in, out);
}

LRESULT BuiltInDecompressor::decompressBegin(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) {
    auto source = parseSource(in);
    if (!source || !m_writer.open(*source, out)) return ICERR_BADFORMAT;
    m_source = std::move(*source);
    begun();
    m_begun = true;
    return ICERR_OK;
}

LRESULT BuiltInDecompressor::decompressEnd() {
    m_begun = false;
    return ICERR_OK;
}

} // namespace win::icm
