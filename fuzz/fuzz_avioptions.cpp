// Reads arbitrary bytes as the stored compression options of a compressor holding a video, an audio and
// a second video stream. A value that parses must write back to the same bytes (pointer fields aside) and
// land in the compressor with blocks as long as their lengths say; any other must change nothing.
#include "avi/FakeAviFile.h"
#include "avi/KvAVI.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace kv;

namespace {

std::vector<std::uint8_t> withoutPointers(std::vector<std::uint8_t> value,
                                          const std::vector<StoredAviOptions>& records) {
    std::size_t at = 0;
    for (const StoredAviOptions& r : records) {
        std::memset(&value[at + 24], 0, 4);
        std::memset(&value[at + 32], 0, 4);
        at += kStoredOptionsSize + r.format.size() + r.parms.size();
    }
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<StoredAviOptions> records;
    const bool parsed = aviOptionsFromBytes(data, size, records);
    if (parsed) {
        std::vector<win::AVICOMPRESSOPTIONS*> pointers;
        for (StoredAviOptions& r : records) {
            r.record.lpFormat = r.format.empty() ? nullptr : r.format.data();
            r.record.lpParms = r.parms.empty() ? nullptr : r.parms.data();
            pointers.push_back(&r.record);
        }
        const std::vector<std::uint8_t> input(data, data + size);
        if (aviOptionsToBytes(pointers) != withoutPointers(input, records)) __builtin_trap();
    }

    testing_avi::FakeStream video(win::streamtypeVIDEO), audio(win::streamtypeAUDIO),
        video2(win::streamtypeVIDEO);
    audio.format.assign(18, 1);
    TKvAVIStream* streams[] = {new TKvAVIStream(&video), new TKvAVIStream(&audio), new TKvAVIStream(&video2)};
    {
        TKvAVICompressor compressor(nullptr);
        for (TKvAVIStream* s : streams)
            compressor.AddStream(s);
        const std::vector<std::uint8_t> before =
            aviOptionsToBytes({compressor.GetOptions(0), compressor.GetOptions(1), compressor.GetOptions(2)});
        if (compressor.loadOptionsFromBytes(data, size) != parsed) __builtin_trap();
        // Writing the records reads every block over its full stated length.
        const std::vector<std::uint8_t> after =
            aviOptionsToBytes({compressor.GetOptions(0), compressor.GetOptions(1), compressor.GetOptions(2)});
        if (!parsed && after != before) __builtin_trap();
    }
    for (TKvAVIStream* s : streams)
        s->Release();
    return 0;
}
