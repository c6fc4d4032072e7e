#include "platform/vfw/DibDecoder.h"

#include <cstring>

namespace win::vfw {
namespace {

// How many damaged samples a raw decoder steps back over to find a good picture before giving up.
constexpr int kMaxDamagedBacktrack = 64;

// Source rows are byte for byte output rows (the row order may still differ).
bool samePixels(const SourceFormat& s, const OutputFormat& o) {
    if (s.kind != SourceKind::Raw) return false;
    switch (o.layout) {
    case PixelLayout::Rgb24:
        return s.bpp == 24;
    case PixelLayout::Rgb32:
        return s.bpp == 32 && s.masks[0] == 0x00FF0000 && s.masks[1] == 0x0000FF00 &&
               s.masks[2] == 0x000000FF;
    case PixelLayout::Rgb555:
        return s.bpp == 16 && s.masks[0] == 0x7C00 && s.masks[1] == 0x03E0 && s.masks[2] == 0x001F;
    case PixelLayout::Rgb565:
        return s.bpp == 16 && s.masks[0] == 0xF800 && s.masks[1] == 0x07E0 && s.masks[2] == 0x001F;
    case PixelLayout::Indexed8:
        // Indices are passed through only when every value has a colour.
        return s.bpp == 8 && o.palette == OutputPalette::Source && s.palette.size() == 256;
    }
    return false;
}

} // namespace

DibDecoder::DibDecoder(const SourceFormat& source, SampleReader& reader, OutputDib& out)
    : m_source(source), m_reader(reader), m_out(out), m_converter(source.bpp, source.masks, out.format()),
      m_palette(source.palette) {
    m_samePixels = samePixels(source, out.format());
    m_direct = m_samePixels && source.topDown == out.format().topDown;
    m_converter.setPalette(m_palette);
    if (out.format().palette == OutputPalette::Source) out.setPalette(m_palette);
    if (source.kind != SourceKind::Raw)
        m_indices.assign(std::size_t(source.width) * std::size_t(source.height), 0);
}

bool DibDecoder::decode(LONG pos) {
    return m_source.kind == SourceKind::Raw ? decodeRawFrame(pos) : decodeRleFrame(pos);
}

// Follows palette changes: the colour table valid at pos replaces the current one.
void DibDecoder::updatePalette(LONG pos) {
    if (!m_source.paletted() || !m_reader.formatChanges()) return;
    auto palette = m_reader.paletteAt(pos);
    if (!palette || palette->empty() || samePalette(*palette, m_palette)) return;
    m_palette = std::move(*palette);
    m_converter.setPalette(m_palette);
    if (m_out.format().palette == OutputPalette::Source) m_out.setPalette(m_palette);
    m_samePixels = samePixels(m_source, m_out.format()) && m_palette.size() == 256;
    m_direct = m_samePixels && m_source.topDown == m_out.format().topDown;
    m_imageSample = -1; // the picture must be converted again with the new colours
}

// Uncompressed frames stand alone: only the sample to show is read. A dropped frame shows the picture
// of the last sample with data; a damaged (short) sample is skipped in favour of the one before it.
bool DibDecoder::decodeRawFrame(LONG pos) {
    int damaged = 0;
    for (LONG p = pos; p >= m_reader.start(); --p) {
        const LONG size = m_reader.size(p);
        if (size < 0) return false;
        if (size == 0) continue;
        updatePalette(p);
        if (p == m_imageSample) return true;
        if (std::size_t(size) >= m_source.imageSize) {
            if (drawRaw(p, size)) {
                m_imageSample = p;
                return true;
            }
            m_imageSample = -1;
        }
        if (++damaged > kMaxDamagedBacktrack) break;
    }
    return frameError(pos, "no intact picture at or before this frame");
}

bool DibDecoder::drawRaw(LONG pos, LONG size) {
    if (m_direct && std::size_t(size) == m_out.imageSize())
        return m_reader.readInto(pos, m_out.pixels(), size);
    auto data = m_reader.read(pos);
    if (!data) return false;
    const std::uint8_t* base = data->data();
    const int h = m_source.height;
    if (m_direct) {
        std::memcpy(m_out.pixels(), base, m_out.imageSize());
        return true;
    }
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = base + std::size_t(m_source.topDown ? y : h - 1 - y) * m_source.stride;
        if (m_samePixels)
            std::memcpy(m_out.row(y), src, m_source.stride);
        else
            m_converter.convert(src, m_out.row(y), m_source.width);
    }
    return true;
}

// RLE frames draw over the previous picture, so a frame is reached by drawing every frame from the
// last key frame (or from the picture already drawn, when it lies on the way).
bool DibDecoder::decodeRleFrame(LONG pos) {
    LONG from = m_rleSample + 1;
    const LONG key = m_reader.keyFrameAtOrBefore(pos);
    if (m_rleSample < 0 || pos < m_rleSample || key > m_rleSample) {
        from = key;
        std::memset(m_indices.data(), 0, m_indices.size());
        m_rleHasPicture = false;
    }
    for (LONG p = from; p <= pos; ++p) {
        auto data = m_reader.read(p);
        if (!data) {
            m_rleSample = -1; // the picture is no longer that of a known frame
            return false;
        }
        m_rleSample = p;
        if (data->empty()) continue;
        DecodeDibRle(*data, m_source.kind == SourceKind::Rle4, m_indices.data(), m_source.width,
                     m_source.height, m_source.topDown);
        m_rleHasPicture = true;
    }
    if (!m_rleHasPicture) return frameError(pos, "no picture at or before this frame");
    updatePalette(pos);
    for (int y = 0; y < m_source.height; ++y)
        m_converter.convertIndices(m_indices.data() + std::size_t(y) * std::size_t(m_source.width),
                                   m_out.row(y), m_source.width);
    return true;
}

} // namespace win::vfw
