#include "platform/vfw/AvFrameConvert.h"

#include "platform/vfw/PixelConvert.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <cstring>

namespace win::vfw {
namespace {

int swsColourspace(int colorspace) {
    switch (colorspace) {
    case AVCOL_SPC_BT709:
        return SWS_CS_ITU709;
    case AVCOL_SPC_FCC:
        return SWS_CS_FCC;
    case AVCOL_SPC_SMPTE240M:
        return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return SWS_CS_BT2020;
    default: // untagged, BT.601 (470BG, 170M)
        return SWS_CS_ITU601;
    }
}

// The full-range "J" formats are their plain YUV layouts with the range set separately; libswscale
// wants them given that way.
int plainYuvFormat(int format) {
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        return AV_PIX_FMT_YUV411P;
    default:
        return format;
    }
}

AVPixelFormat dibPixelFormat(PixelLayout layout) {
    switch (layout) {
    case PixelLayout::Rgb555:
        return AV_PIX_FMT_RGB555LE;
    case PixelLayout::Rgb565:
        return AV_PIX_FMT_RGB565LE;
    case PixelLayout::Rgb32:
        return AV_PIX_FMT_BGR0;
    default:
        return AV_PIX_FMT_BGR24;
    }
}

} // namespace

AvFrameConvert::~AvFrameConvert() {
    sws_freeContext(m_sws);
}

// Gets a scaler for this frame's size and format into the output, and sets the YUV matrix and range
// whenever the scaler is new or the frame's tagging changed. The scaler is remade here rather than
// through sws_getCachedContext: that one may free the context and allocate its replacement at the same
// address, which would look unchanged and keep the new scaler on the default (limited) range.
bool AvFrameConvert::prepare(const AVFrame* f, int dstFormat) {
    const int srcFormat = plainYuvFormat(f->format);
    const ScalerKey key{f->width, f->height, srcFormat, dstFormat};
    if (!m_sws || key != m_key) {
        sws_freeContext(m_sws);
        m_sws = sws_getContext(f->width, f->height, AVPixelFormat(srcFormat), m_out.width(), m_out.height(),
                               AVPixelFormat(dstFormat), SWS_BICUBIC, nullptr, nullptr, nullptr);
        if (!m_sws) return false;
        m_key = key;
        m_colorspace = m_fullRange = -1;
    }
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(AVPixelFormat(srcFormat));
    const bool yuv =
        desc && !(desc->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL)) && desc->nb_components >= 3;
    const int cs = swsColourspace(f->colorspace);
    const int full = f->color_range == AVCOL_RANGE_JPEG || srcFormat != f->format ? 1 : 0;
    if (yuv && (cs != m_colorspace || full != m_fullRange)) {
        const int* coefficients = sws_getCoefficients(cs);
        sws_setColorspaceDetails(m_sws, coefficients, full, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16,
                                 1 << 16);
        m_colorspace = cs;
        m_fullRange = full;
    }
    return true;
}

void AvFrameConvert::copyPaletted(const AVFrame* f) {
    RGBQUAD table[256];
    const auto* pal = reinterpret_cast<const std::uint32_t*>(f->data[1]);
    for (int i = 0; i < 256; ++i) {
        const std::uint32_t v = pal ? pal[i] : 0;
        table[i] = RGBQUAD{BYTE(v), BYTE(v >> 8), BYTE(v >> 16), 0};
    }
    m_out.setPalette(table);
    m_cubeSet = false;
    const int w = f->width < m_out.width() ? f->width : m_out.width();
    const int h = f->height < m_out.height() ? f->height : m_out.height();
    for (int y = 0; y < h; ++y)
        std::memcpy(m_out.row(y), f->data[0] + std::ptrdiff_t(y) * f->linesize[0], std::size_t(w));
}

bool AvFrameConvert::convert(const AVFrame* f) {
    const OutputFormat& fmt = m_out.format();
    if (fmt.layout == PixelLayout::Indexed8) {
        if (f->format == AV_PIX_FMT_PAL8 && fmt.palette == OutputPalette::Source &&
            f->width == m_out.width() && f->height == m_out.height()) {
            copyPaletted(f);
            return true;
        }
        // Colour frames in 8-bit output: BGR24 first, then the nearest colour-cube entry.
        if (!prepare(f, AV_PIX_FMT_BGR24)) return false;
        const std::size_t stride = std::size_t(m_out.width()) * 3;
        m_bgr.resize(stride * std::size_t(m_out.height()));
        std::uint8_t* dst[4] = {m_bgr.data(), nullptr, nullptr, nullptr};
        int dstStride[4] = {int(stride), 0, 0, 0};
        sws_scale(m_sws, f->data, f->linesize, 0, f->height, dst, dstStride);
        if (!m_cubeSet) {
            m_out.setPalette(cubePalette());
            m_cubeSet = true;
        }
        for (int y = 0; y < m_out.height(); ++y)
            bgr24ToCube(m_bgr.data() + std::size_t(y) * stride, m_out.row(y), m_out.width());
        return true;
    }
    if (!prepare(f, dibPixelFormat(fmt.layout))) return false;
    const std::ptrdiff_t stride = std::ptrdiff_t(m_out.stride());
    // Bottom-up DIBs: start at the last stored row (the top of the picture) and step backwards.
    std::uint8_t* first = fmt.topDown ? m_out.pixels() : m_out.pixels() + (m_out.height() - 1) * stride;
    std::uint8_t* dst[4] = {first, nullptr, nullptr, nullptr};
    int dstStride[4] = {int(fmt.topDown ? stride : -stride), 0, 0, 0};
    sws_scale(m_sws, f->data, f->linesize, 0, f->height, dst, dstStride);
    return true;
}

} // namespace win::vfw
