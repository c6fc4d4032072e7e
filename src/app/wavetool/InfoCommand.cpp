// quillan-wave info: what the wave-file unit reads from a file, one fact per line as "name: value" for
// scripts: the format, its fields, where the data lies and how long it is, the INFO tags, the DISP
// entries, and what the scan repaired. Only the headers are read, never the samples.
#include "app/wavetool/Commands.h"

#include "app/toolsupport/ToolMessages.h"
#include "app/wavetool/CommandSupport.h"
#include "platform/win/GlobalMemory.h"

#include <cstdio>

namespace wavetool {
namespace {

const char* const kHelp =
    "Usage: quillan-wave info FILE.wav\n"
    "\n"
    "Prints what the file holds, one fact per line as 'name: value':\n"
    "  format, description    the format's name and a one-line description\n"
    "  tag, channels, rate, bits, block align, bytes per second\n"
    "                         the fields of the format record (rate in Hz)\n"
    "  data offset, data bytes where the samples start and how many bytes they take\n"
    "  samples, duration      the length in sample frames and in seconds\n"
    "  then every INFO tag by its name (such as 'Artist: ...'), a 'DISP' line for every display\n"
    "  entry (its kind and size), and a 'repaired' line for everything the reader had to mend.\n"
    "\n"
    "Exit status: 0 done; 1 the file could not be read; 2 usage error.\n";

// Sample frames: whole blocks of ADPCM and the frames of a part block; bytes per frame otherwise.
std::uint64_t sampleFrames(const kv::TWAVEIOCB& cb, const FormatClass& format) {
    const kv::TWaveFormatEx& f = cb.Format;
    if (format.kind == SampleKind::Adpcm) {
        const auto& adpcm = reinterpret_cast<const kv::TADPCMWaveFormat&>(f);
        return std::uint64_t(cb.DataBytes / f.nBlockAlign) * adpcm.wSamplesPerBlock;
    }
    if (f.wFormatTag == kv::WAVE_FORMAT_PCM || format.kind == SampleKind::Pcm ||
        format.kind == SampleKind::OtherPcm)
        return f.nBlockAlign ? cb.DataBytes / f.nBlockAlign : 0;
    return cb.DataSamples;
}

void printFormat(const kv::TWAVEIOCB& cb, const FormatClass& format) {
    const kv::TWaveFormatEx& f = cb.Format;
    std::string name, description;
    kv::wioGetFormatName(&f, name);
    kv::wioGetFormat(&f, description);
    std::printf("format: %s\ndescription: %s\n", name.c_str(), description.c_str());
    std::printf("tag: 0x%04X\nchannels: %u\nrate: %u\nbits: %u\nblock align: %u\nbytes per second: %u\n",
                unsigned(f.wFormatTag), unsigned(f.nChannels), unsigned(f.nSamplesPerSec),
                unsigned(f.wBitsPerSample), unsigned(f.nBlockAlign), unsigned(f.nAvgBytesPerSec));
    if (format.kind == SampleKind::Adpcm)
        std::printf("samples per block: %u\n",
                    unsigned(reinterpret_cast<const kv::TADPCMWaveFormat&>(f).wSamplesPerBlock));
    const std::uint64_t frames = sampleFrames(cb, format);
    std::printf("data offset: %u\ndata bytes: %u\nsamples: %llu\n", unsigned(cb.DataOffset),
                unsigned(cb.DataBytes), static_cast<unsigned long long>(frames));
    if (f.nSamplesPerSec) std::printf("duration: %.3f\n", double(frames) / f.nSamplesPerSec);
}

void printInfoTags(const kv::TWAVEIOCB& cb) {
    if (!cb.InfoChunk) return;
    for (kv::PInfoData e = cb.InfoChunk->Head; e; e = e->Next) {
        const char* value = kv::RiffINFOValue(cb.InfoChunk, e);
        if (value && e->Index < kv::INFO_TAG_COUNT) std::printf("%s: %s\n", kv::aINFO[e->Index].Name, value);
    }
}

const char* dispKind(win::DWORD clipFormat) {
    switch (clipFormat) {
    case kv::CF_TEXT:
        return "text";
    case kv::CF_DIB:
        return "picture (DIB)";
    default:
        return nullptr;
    }
}

void printDisp(const kv::TWAVEIOCB& cb) {
    if (!cb.DispList) return;
    for (kv::PDisp d = cb.DispList->Head; d; d = d->Next) {
        const void* value = kv::RiffDISPValue(d);
        if (!value) continue;
        const std::size_t bytes = win::GlobalSize(win::GlobalHandle(value));
        if (const char* kind = dispKind(d->ClipFormat))
            std::printf("DISP: %s, %zu bytes\n", kind, bytes);
        else
            std::printf("DISP: clipboard format %u, %zu bytes\n", unsigned(d->ClipFormat), bytes);
    }
}

} // namespace

int infoCommand(const std::vector<std::string>& argv) {
    toolsupport::Arguments args;
    const std::string parseError = args.parse(argv, {});
    if (!parseError.empty()) return toolsupport::usageError(parseError, "info");
    if (args.help()) return showHelp(kHelp);
    if (args.positional().size() != 1) return toolsupport::usageError("info takes one file", "info");
    const std::string& path = args.positional()[0];
    WaveBlock block;
    if (auto status = scanInput(path, block)) return *status;
    const FormatClass format = classifyFormat(&block->Format, formatBytes(block.get()));
    printFormat(*block.get(), format);
    printInfoTags(*block.get());
    printDisp(*block.get());
    for (const std::string& repair : kv::wioGetScanRepairs(block.get()))
        std::printf("repaired: %s\n", repair.c_str());
    return toolsupport::kExitOk;
}

} // namespace wavetool
