// Fuzzes the ADPCM codec with a hostile format record: the first two bytes give the record's length,
// the record follows (any cbSize, coefficient count, channels, block align, samples per block), the rest
// is block data. Decoding writes into a buffer of exactly the size the size helper gives, so any write
// past it is caught.
#include "wave/KvADPCM.h"
#include "wave/KvPCMSup.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    std::size_t recordBytes = std::size_t(data[0] | (data[1] << 8));
    data += 2;
    size -= 2;
    if (recordBytes > size) recordBytes = size;
    // The record as a caller holds it: at least the common header, and exactly the cbSize bytes it
    // claims after that (missing ones zero, so the claim is honest about the memory behind it).
    std::vector<std::uint8_t> record(std::max(recordBytes, sizeof(kv::TWaveFormatEx)), 0);
    std::memcpy(record.data(), data, recordBytes);
    auto* wfx = reinterpret_cast<kv::TWaveFormatEx*>(record.data());
    record.resize(sizeof(kv::TWaveFormatEx) + wfx->cbSize, 0);
    wfx = reinterpret_cast<kv::TWaveFormatEx*>(record.data());
    const std::uint8_t* blocks = data + recordBytes;
    const auto blockBytes = std::int32_t(std::min<std::size_t>(size - recordBytes, 1 << 20));

    kv::adpcmIsValidFormat(wfx);
    std::vector<std::uint8_t> built(64);
    kv::adpcmBuildFormatHeader(wfx, reinterpret_cast<kv::TWaveFormatEx*>(built.data()), 0, 0, 0);
    for (int bits : {8, 16}) {
        kv::TWaveFormatEx pcm{};
        kv::pcmBuildWaveHeader(&pcm, bits, wfx->nChannels, wfx->nSamplesPerSec);
        std::int32_t need = kv::adpcmDecodeSizeOutputData(wfx, &pcm, blockBytes);
        if (need <= 0 || need > (64 << 20)) continue;
        std::vector<std::uint8_t> out(static_cast<std::size_t>(need));
        std::int32_t got = kv::adpcmDecode4Bit(wfx, &pcm, blocks, blockBytes, out.data());
        if (got < 0 || got > need) __builtin_trap();
        // What decodes must encode back within the encoder's own size.
        std::int32_t encNeed = kv::adpcmEncodeSizeOutputData(&pcm, wfx, got);
        if (encNeed > 0) {
            std::vector<std::uint8_t> enc(static_cast<std::size_t>(encNeed));
            if (kv::adpcmEncode4Bit(&pcm, wfx, out.data(), got, enc.data()) > encNeed) __builtin_trap();
        }
    }
    return 0;
}
