// Opens the input as a read-only memory image and walks its RIFF structure the way readers do:
// descending into every chunk, recursing into RIFF and LIST chunks, searching with each find flag,
// reading each chunk's body and ascending again.
#include "platform/mmio/Mmio.h"

#include <cstdint>
#include <cstring>
#include <vector>

using namespace win;

namespace {

void walk(HMMIO h, const MMCKINFO* parent, int depth) {
    for (int count = 0; count < 64; ++count) {
        MMCKINFO ck{};
        if (mmioDescend(h, &ck, parent, 0) != MMSYSERR_NOERROR) return;
        if ((ck.ckid == FOURCC_RIFF || ck.ckid == FOURCC_LIST) && depth < 8) {
            walk(h, &ck, depth + 1);
        } else {
            char body[512];
            LONG want = LONG(ck.cksize < sizeof body ? ck.cksize : sizeof body);
            LONG got = mmioRead(h, body, want);
            if (got > want) __builtin_trap();
        }
        if (mmioAscend(h, &ck, 0) != MMSYSERR_NOERROR) return;
    }
}

void search(HMMIO h, const std::uint8_t* data, std::size_t size) {
    MMCKINFO riff{};
    if (mmioSeek(h, 0, SEEK_SET) != 0) return;
    if (mmioDescend(h, &riff, nullptr, 0) != MMSYSERR_NOERROR) return;
    // Search for ids taken from the input, so the fuzzer can steer the matches.
    FOURCC wanted = size >= 16 ? FOURCC(data[12] | data[13] << 8 | data[14] << 16 | FOURCC(data[15]) << 24)
                               : mmioStringToFOURCC("data", 0);
    for (UINT flag : {MMIO_FINDCHUNK, MMIO_FINDLIST, MMIO_FINDRIFF}) {
        if (mmioSeek(h, LONG(riff.dwDataOffset) + 4, SEEK_SET) < 0) return;
        MMCKINFO ck{};
        ck.ckid = wanted;
        ck.fccType = wanted;
        if (mmioDescend(h, &ck, &riff, flag) != MMSYSERR_NOERROR) continue;
        if (std::int64_t(ck.dwDataOffset) < std::int64_t(riff.dwDataOffset)) __builtin_trap();
        walk(h, &ck, 1);
        mmioAscend(h, &ck, 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) return 0;
    std::vector<std::uint8_t> image(data, data + size); // a copy: the image must stay as it was
    MMIOINFO info{};
    info.fccIOProc = FOURCC_MEM;
    info.pchBuffer = reinterpret_cast<char*>(image.data());
    info.cchBuffer = LONG(image.size());
    HMMIO h = mmioOpen(nullptr, &info, MMIO_READ);
    if (!h) return 0;
    walk(h, nullptr, 0);
    search(h, data, size);
    mmioClose(h, 0);
    if (size && std::memcmp(image.data(), data, size) != 0) __builtin_trap(); // read-only means read-only
    return 0;
}
