// Scans arbitrary bytes as a wave file in memory, then opens it, reads all its data in pieces of
// varying size and moves the position around, as a player would.
#include "wave/KvWaveIO.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 0x7FFFFFFF) return 0;
    std::vector<std::uint8_t> image(data, data + size);
    kv::PWAVEIOCB cb = nullptr;
    if (kv::wioBuildFileInfoFromMem(cb, image.data(), std::int32_t(image.size())) != kv::WIOERR_NOERROR)
        return 0;
    kv::wioGetScanRepairs(cb);
    std::string text;
    kv::wioGetFormatName(&cb->Format, text);
    kv::wioGetFormat(&cb->Format, text);
    if (kv::wioWaveOpen(cb) == kv::WIOERR_NOERROR) {
        std::vector<std::uint8_t> buffer(4096);
        std::int32_t piece = 1 + std::int32_t(data[0]) * 13;
        for (int i = 0; i < 10000 && kv::wioWaveReadData(cb, buffer.data(), piece) > 0; ++i) {
        }
        kv::wioWaveSetPosition(cb, std::int32_t(cb->DataSamples / 2));
        kv::wioWaveReadDataDirect(cb, buffer.data(), 4096);
        kv::wioWaveSetPosition(cb, 0x7FFFFFFF);
        kv::wioWaveReadSamples(cb, buffer.data(), 16);
        if (cb->DataSamples > 2) {
            kv::wioWaveSetFirstSample(cb, 1);
            kv::wioWaveSetLastSample(cb, std::int32_t(cb->DataSamples - 1));
            kv::wioWaveSetPosition(cb, 0);
            kv::wioWaveReadData(cb, buffer.data(), 4096);
        }
        kv::wioWaveClose(cb);
    }
    kv::wioFreeFileInfo(cb);
    return 0;
}
