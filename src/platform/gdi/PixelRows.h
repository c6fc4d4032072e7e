// Row conversion between the pixel formats of DIBs and device bitmaps: every format is decoded to
// blue-green-red triplets and encoded from them; formats of 8 bits and less go through a colour table
// and a nearest-colour matcher.
#pragma once

#include "platform/win/WinTypes.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace win::gdi {

// A pixel format: 1, 4, 8 bits with a colour table; 16 (5-5-5 unless bit fields) and 32 (B,G,R,x
// unless bit fields); 24 (B,G,R).
struct RowFormat {
    int bpp = 24;
    bool bitfields = false;
    DWORD masks[3] = {0, 0, 0}; // red, green, blue
    std::vector<RGBQUAD> colors;
};

// Finds the nearest of a set of colours. Exact colours are found by lookup; other colours are matched
// on a 6-bit-per-channel grid, computed on first use.
class ColorMatcher {
  public:
    // colours[i] maps to results[i].
    ColorMatcher(std::vector<RGBQUAD> colours, std::vector<std::uint8_t> results);
    std::uint8_t Match(std::uint8_t b, std::uint8_t g, std::uint8_t r);
    std::size_t Size() const { return m_colours.size(); }

  private:
    std::uint8_t nearest(int b, int g, int r) const;

    std::vector<RGBQUAD> m_colours;
    std::vector<std::uint8_t> m_results;
    std::unordered_map<std::uint32_t, std::uint8_t> m_exact;
    std::vector<std::int16_t> m_grid;
};

// Decodes width pixels of src into bgr (3 bytes per pixel). Indices past the colour table are black.
void DecodeRow(const RowFormat& format, const std::uint8_t* src, int width, std::uint8_t* bgr);
// Encodes width pixels; formats of 8 bits and less need a matcher giving the indices.
void EncodeRow(const RowFormat& format, const std::uint8_t* bgr, int width, std::uint8_t* dst,
               ColorMatcher* matcher);

// Whether rows of a can be copied byte for byte as rows of b.
bool SameLayout(const RowFormat& a, const RowFormat& b);

} // namespace win::gdi
