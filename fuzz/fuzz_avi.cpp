// Opens arbitrary bytes as an AVI file and uses every stream the way the frame reader and the tools do:
// information, formats at several positions, key-frame and data searches, and reads of single samples,
// runs of samples and size queries.
#include "platform/vfw/AviFile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace win;

namespace {

void exerciseStream(PAVISTREAM s) {
    AVISTREAMINFOA info{};
    AVIStreamInfoA(s, &info, sizeof info);
    const LONG length = AVIStreamLength(s);
    AVIStreamStart(s);
    std::vector<std::uint8_t> buf;
    for (LONG pos : {LONG(-1), LONG(0), length / 2, length - 1, length}) {
        LONG size = 0;
        if (AVIStreamReadFormat(s, pos, nullptr, &size) == AVIERR_OK && size >= 0 && size < (1 << 24)) {
            buf.resize(std::size_t(size) + 1);
            LONG n = size;
            AVIStreamReadFormat(s, pos, buf.data(), &n);
        }
        for (LONG flags :
             {FIND_KEY | FIND_PREV, FIND_KEY | FIND_NEXT, FIND_ANY | FIND_PREV, FIND_ANY | FIND_NEXT,
              FIND_FORMAT | FIND_PREV, FIND_FORMAT | FIND_NEXT, FIND_KEY | FIND_FROM_START}) {
            LONG found = AVIStreamFindSample(s, pos, flags);
            if (found != -1 && (found < 0 || found >= length)) __builtin_trap();
        }
    }
    const LONG samples = length < 64 ? length : 64;
    for (LONG pos = 0; pos < samples; ++pos) {
        LONG bytes = 0, got = 0;
        if (AVIStreamRead(s, pos, 1, nullptr, 0, &bytes, &got) != AVIERR_OK || bytes < 0) continue;
        buf.resize(std::size_t(bytes) + 1);
        AVIStreamRead(s, pos, 1, buf.data(), LONG(buf.size()), &bytes, &got);
    }
    buf.resize(4096);
    LONG bytes = 0, got = 0;
    AVIStreamRead(s, 0, AVISTREAMREAD_CONVENIENT, buf.data(), LONG(buf.size()), &bytes, &got);
    AVIStreamRead(s, length / 3, length, nullptr, 0, &bytes, &got);
    AVIStreamRead(s, 0, AVISTREAMREAD_CONVENIENT, nullptr, 0, &bytes, &got);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    PAVIFILE file = nullptr;
    if (AviFileOpenMemory(&file, std::vector<std::uint8_t>(data, data + size)) != AVIERR_OK) return 0;
    AVIFILEINFOA info{};
    AVIFileInfoA(file, &info, sizeof info);
    for (LONG i = 0;; ++i) {
        PAVISTREAM s = nullptr;
        if (AVIFileGetStream(file, &s, 0, i) != AVIERR_OK) break;
        exerciseStream(s);
        AVIStreamRelease(s);
    }
    AVIFileRelease(file);
    return 0;
}
