// BGR to 4:2:0 YUV in 16-bit fixed point. Luma is computed per pixel; chroma from the sums of R, G and B
// over each 2x2 block (the matrix is linear, so this equals the mean of the four pixels' chroma).
#include "platform/vfw/YuvConvert.h"

#include <algorithm>

namespace win::vfw {
namespace {

struct Matrix {
    int yr, yg, yb, yOffset;
    int ur, ug, ub;
    int vr, vg, vb;
};

// BT.601 scaled by 65536; each chroma row sums to 0 and each luma row to the range's span.
constexpr Matrix kFull{19595, 38470, 7471, 0, -11059, -21709, 32768, 32768, -27439, -5329};
constexpr Matrix kLimited{16829, 33039, 6416, 16, -9714, -19070, 28784, 28784, -24103, -4681};

inline std::uint8_t clampByte(int v) {
    return std::uint8_t(std::clamp(v, 0, 255));
}

// The luma rows of both matrices stay within 0..255 for any input (their weights sum to at most 65536
// and the offset to at most 16 + 219), so luma needs no clamping and the loop vectorises.
template <int Bpp> void lumaRow(const std::uint8_t* src, std::uint8_t* dst, int width, const Matrix& m) {
    const unsigned yr = unsigned(m.yr), yg = unsigned(m.yg), yb = unsigned(m.yb);
    const unsigned bias = 32768u + (unsigned(m.yOffset) << 16);
    for (int x = 0; x < width; ++x)
        dst[x] =
            std::uint8_t((yr * src[x * Bpp + 2] + yg * src[x * Bpp + 1] + yb * src[x * Bpp] + bias) >> 16);
}

// One row of chroma from two picture rows (the same row twice for a last odd row).
template <int Bpp>
void chromaRow(const std::uint8_t* row0, const std::uint8_t* row1, std::uint8_t* u, std::uint8_t* v,
               int width, const Matrix& m) {
    for (int x = 0; x < width; x += 2) {
        const int right = x + 1 < width ? Bpp : 0;
        const std::uint8_t* a = row0 + x * Bpp;
        const std::uint8_t* b = row1 + x * Bpp;
        const int sb = a[0] + a[right] + b[0] + b[right];
        const int sg = a[1] + a[right + 1] + b[1] + b[right + 1];
        const int sr = a[2] + a[right + 2] + b[2] + b[right + 2];
        // Sums of four pixels: scaled by 2^18 with rounding, then centred on 128.
        u[x / 2] = clampByte(((m.ur * sr + m.ug * sg + m.ub * sb + (1 << 17)) >> 18) + 128);
        v[x / 2] = clampByte(((m.vr * sr + m.vg * sg + m.vb * sb + (1 << 17)) >> 18) + 128);
    }
}

// Row pair by row pair, so that the chroma pass reads rows the luma pass has just brought into the cache.
template <int Bpp> void convert(const BgrPicture& in, const YuvPlanes& out, const Matrix& m) {
    for (int y = 0; y < in.height; y += 2) {
        const std::uint8_t* row0 = in.top + std::ptrdiff_t(y) * in.rowStep;
        const std::uint8_t* row1 = y + 1 < in.height ? row0 + in.rowStep : row0;
        std::uint8_t* luma = out.plane[0] + std::ptrdiff_t(y) * out.linesize[0];
        lumaRow<Bpp>(row0, luma, in.width, m);
        if (y + 1 < in.height) lumaRow<Bpp>(row1, luma + out.linesize[0], in.width, m);
        chromaRow<Bpp>(row0, row1, out.plane[1] + std::ptrdiff_t(y / 2) * out.linesize[1],
                       out.plane[2] + std::ptrdiff_t(y / 2) * out.linesize[2], in.width, m);
    }
}

} // namespace

void bgrToYuv420(const BgrPicture& in, const YuvPlanes& out, bool fullRange) {
    const Matrix& m = fullRange ? kFull : kLimited;
    if (in.bytesPerPixel == 4)
        convert<4>(in, out, m);
    else
        convert<3>(in, out, m);
}

} // namespace win::vfw
