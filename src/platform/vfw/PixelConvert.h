// Row-by-row conversion from the pixel layouts of uncompressed DIBs (palette indices of 1, 4 or 8 bits,
// 16 and 32-bit pixels with any channel masks, 24-bit BGR) to the output DIB's layout. Indexed sources
// go through per-index lookup tables built when the palette changes; colour sources go through one
// BGRA row. Indices beyond the colour table come out black (index 0 in 8-bit output).
#pragma once

#include "platform/vfw/FrameFormat.h"

#include <cstdint>
#include <span>
#include <vector>

namespace win::vfw {

class RowConverter {
  public:
    // bpp and masks describe the source rows (masks for 16 and 32 bits only).
    RowConverter(int bpp, const DWORD masks[3], const OutputFormat& out);

    // Rebuilds the lookup tables of indexed sources from a colour table.
    void setPalette(std::span<const RGBQUAD> palette);

    // Converts one source row of the bit depth given at construction.
    void convert(const std::uint8_t* src, std::uint8_t* dst, int width);
    // Converts one row of 8-bit palette indices (the unpacked image of the RLE decoders).
    void convertIndices(const std::uint8_t* src, std::uint8_t* dst, int width) const;

  private:
    struct Channel {
        DWORD mask = 0;
        int shift = 0;
        int bits = 0;
        std::uint8_t expand(DWORD pixel) const;
    };
    void toBgra(const std::uint8_t* src, int width);
    void fromBgra(std::uint8_t* dst, int width) const;

    int m_bpp;
    OutputFormat m_out;
    Channel m_channels[3];
    bool m_standard32 = false; // 32-bit source with the BI_RGB masks: bytes are already B, G, R
    int m_paletteSize = 0;
    std::uint8_t m_lut8[256] = {};
    std::uint16_t m_lut16[256] = {};
    std::uint32_t m_lut32[256] = {}; // 0x00RRGGBB
    std::vector<std::uint8_t> m_bgra;
    std::vector<std::uint8_t> m_indices;
};

// Fills one 8-bit row with the nearest colour-cube entries of a BGR24 row.
void bgr24ToCube(const std::uint8_t* src, std::uint8_t* dst, int width);

} // namespace win::vfw
