// The run-length compressions of DIBs, BI_RLE8 and BI_RLE4: one decoder for every layer that meets
// them (the frame decompressor, the RLE codec, DrawDib and GDI's DIB conversion).
#pragma once

#include <cstdint>
#include <span>

namespace win {

enum class RleResult {
    EndOfBitmap, // the end-of-bitmap code was reached
    Truncated,   // the data ended first (what was drawn stays)
    OffImage     // a line or delta moved past the last line; the rest was ignored
};

// Draws one RLE picture onto an image of one index byte per pixel, rows stored from the top. RLE lines
// count from the bottom for bottom-up DIBs. Every write and move is clipped to the image; pixels the
// data skips keep what the image held.
RleResult DecodeDibRle(std::span<const std::uint8_t> data, bool fourBit, std::uint8_t* image, int width,
                       int height, bool topDown);

} // namespace win
