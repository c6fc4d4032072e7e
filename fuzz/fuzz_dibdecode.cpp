// Feeds hostile video formats and sample bytes to the frame decompressor's built-in decoders
// (uncompressed DIBs, BI_BITFIELDS, RLE8, RLE4) through an in-memory stream, in every output format,
// reading frames in order and then at random.
//
// Input: byte 0 selects the output (bits 0-2) and whether the format header is taken verbatim (bit 7)
// or assembled from a few bytes; then the format block as a 16-bit length and its bytes; then samples,
// each a 16-bit length whose top bit marks a key frame, and its bytes; the last 8 bytes, when present,
// are positions to read at random.
#include "platform/vfw/FrameFormat.h"
#include "platform/vfw/Vfw.h"
#include "platform/win/ByteReader.h"
#include "platform/win/Display.h"
#include "support/MemoryStream.h"

#include <cstring>

using namespace win;

namespace {

std::vector<std::uint8_t> assembleFormat(ByteReader& r) {
    static const WORD kBits[] = {1, 4, 8, 16, 24, 32, 8, 4};
    static const DWORD kCompression[] = {BI_RGB,
                                         BI_RLE8,
                                         BI_RLE4,
                                         BI_BITFIELDS,
                                         mmioFOURCC('m', 'r', 'l', 'e'),
                                         mmioFOURCC('D', 'I', 'B', ' '),
                                         BI_RLE8,
                                         BI_RLE4};
    const std::uint8_t a = r.u8().value_or(0), b = r.u8().value_or(0), c = r.u8().value_or(0);
    const std::uint8_t d = r.u8().value_or(0);
    const LONG width = 1 + (a & 0x3F);
    const LONG height = (1 + (b & 0x3F)) * (b & 0x80 ? -1 : 1);
    const DWORD clrUsed = d;
    auto format =
        testsupport::bitmapFormat(width, height, kBits[c & 7], kCompression[(c >> 3) & 7], {}, clrUsed);
    const std::size_t extra = std::min<std::size_t>(r.remaining(), std::size_t(((c >> 6) + 1) * 64));
    format.insert(format.end(), r.current(), r.current() + extra);
    r.skip(extra);
    return format;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader r(std::span<const std::uint8_t>(data, size));
    const std::uint8_t mode = r.u8().value_or(0);
    std::vector<std::uint8_t> format;
    if (mode & 0x80) {
        const std::size_t n = std::min<std::size_t>(r.u16().value_or(0), r.remaining());
        format.assign(r.current(), r.current() + n);
        r.skip(n);
    } else {
        format = assembleFormat(r);
    }
    // Only the built-in decoders are the subject here.
    std::string error;
    auto source = vfw::parseSourceFormat(format, error);
    if (source && source->kind == vfw::SourceKind::Compressed) return 0;

    testsupport::MemoryStream stream(format);
    std::uint8_t positions[8] = {};
    const std::size_t tail = r.remaining() >= 8 ? 8 : 0;
    if (tail) std::memcpy(positions, data + size - 8, 8);
    while (r.remaining() > tail + 2 && stream.samples.size() < 32) {
        const std::uint16_t head = r.u16().value_or(0);
        const std::size_t n = std::min<std::size_t>(head & 0x7FFF, r.remaining() - tail);
        stream.add(std::vector<std::uint8_t>(r.current(), r.current() + n), (head & 0x8000) != 0);
        r.skip(n);
    }
    if (stream.samples.size() > 2) stream.changeFormat(2, format);

    static const int kDisplays[] = {24, 8, 16, 32};
    SetDisplayBitsPerPixelForTesting(kDisplays[mode & 3]);
    BITMAPINFOHEADER wanted{
        40, source ? source->width : 1, source ? -source->height : 1, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    PGETFRAME frame = AVIStreamGetFrameOpen(&stream, mode & 4 ? &wanted : nullptr);
    if (!frame) return 0;
    const LONG length = LONG(stream.samples.size());
    for (LONG i = 0; i <= length; ++i)
        AVIStreamGetFrame(frame, i);
    for (std::uint8_t p : positions)
        AVIStreamGetFrame(frame, LONG(p % (length + 1)));
    AVIStreamGetFrameClose(frame);
    return 0;
}
