// Picture conversion for the compressors: BGR pixels (24- or 32-bit) to planar 4:2:0 YUV with the BT.601
// matrix, in full (JPEG) or limited (video) range. Each chroma sample is the mean of its 2x2 block, the
// filter most encoders' inputs are expected to have; a last odd column or row counts once per block.
#pragma once

#include <cstddef>
#include <cstdint>

namespace win::vfw {

struct BgrPicture {
    const std::uint8_t* top; // the first pixel of the picture's top row
    std::ptrdiff_t rowStep;  // bytes from one row to the one below (negative for bottom-up DIBs)
    int bytesPerPixel;       // 3 or 4
    int width, height;
};

struct YuvPlanes {
    std::uint8_t* plane[3]; // Y, U (Cb), V (Cr)
    int linesize[3];
};

void bgrToYuv420(const BgrPicture& in, const YuvPlanes& out, bool fullRange);

} // namespace win::vfw
