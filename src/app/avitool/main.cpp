// quillan-avi: what the AVI library sees in a file and does with it. `info FILE` lists the file's streams
// with their types, handlers, formats, rates, lengths and key frames, as a prober does; `save IN OUT`
// writes all streams of a file into a new one with the video compressed by an installed compressor.
#include "Commands.h"

#include "avi/KvAVI.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "Usage: quillan-avi info FILE.avi\n"
    "       quillan-avi save IN.avi OUT.avi --video CODEC [--quality Q] [--keyframes N] [--quiet]\n"
    "\n"
    "  info FILE       the file's size, duration and flags, and for every stream its type, handler,\n"
    "                  format, rate, start, length and number of key frames\n"
    "  save IN OUT     writes every stream of IN into the new file OUT, the video compressed with CODEC\n"
    "                  and the other streams as they are\n"
    "    --video CODEC     the video compressor: one of the names 'quillan-avi save --video list' shows\n"
    "                      (copy keeps the samples as they are, none writes full uncompressed frames)\n"
    "    --quality Q       0 (smallest) to 100 (best); default: the compressor's own\n"
    "    --keyframes N     a key frame every N frames (0: only the first); default: 7\n"
    "    --quiet           no progress on stderr\n"
    "  -h, --help      show this text\n"
    "\n"
    "Exit status: 0 on success; 1 when a file cannot be read or written; 2 for a usage error;\n"
    "130 when the save was interrupted (OUT is then left as it was).\n";

// A four-character code as text, or as a number when it is not printable (audio handlers often are).
std::string fourcc(win::FOURCC value) {
    if (value == 0) return "none";
    std::string text = "'";
    for (int i = 0; i < 4; ++i) {
        const char c = char((value >> (8 * i)) & 0xFF);
        if (c < 0x20 || c >= 0x7F) {
            char number[16];
            std::snprintf(number, sizeof number, "0x%08X", unsigned(value));
            return number;
        }
        text += c;
    }
    return text + "'";
}

std::string compressionName(win::DWORD compression) {
    switch (compression) {
    case win::BI_RGB: return "uncompressed";
    case win::BI_RLE8: return "RLE8";
    case win::BI_RLE4: return "RLE4";
    case win::BI_BITFIELDS: return "bit fields";
    default: return fourcc(compression);
    }
}

const char* audioFormatName(win::WORD tag) {
    switch (tag) {
    case 0x0001: return "PCM";
    case 0x0002: return "Microsoft ADPCM";
    case 0x0003: return "IEEE float";
    case 0x0006: return "A-law";
    case 0x0007: return "mu-law";
    case 0x0011: return "IMA ADPCM";
    case 0x0050: return "MPEG audio";
    case 0x0055: return "MPEG layer 3";
    case 0x2000: return "AC-3";
    default: return "other";
    }
}

const char* typeName(kv::TKvAVIStreamType type) {
    switch (type) {
    case kv::stVideo: return "video";
    case kv::stAudio: return "audio";
    case kv::stText: return "text";
    case kv::stMidi: return "midi";
    default: return "other";
    }
}

double seconds(std::int64_t samples, const win::AVISTREAMINFOA& info) {
    return info.dwRate ? double(samples) * info.dwScale / info.dwRate : 0.0;
}

std::vector<std::uint8_t> formatOf(const kv::TKvAVIStream& stream) {
    std::int32_t size = stream.GetFormatSize(stream.GetStartPos());
    if (size <= 0) return {};
    std::vector<std::uint8_t> format(std::size_t(size), 0);
    stream.GetFormat(stream.GetStartPos(), format.data(), size);
    format.resize(std::size_t(std::max<std::int32_t>(size, 0)));
    return format;
}

// The format line of a stream, from as much of its format record as the file holds.
std::string describeFormat(kv::TKvAVIStreamType type, const std::vector<std::uint8_t>& format) {
    char line[200];
    if (type == kv::stVideo && format.size() >= sizeof(win::BITMAPINFOHEADER)) {
        win::BITMAPINFOHEADER h;
        std::memcpy(&h, format.data(), sizeof h);
        const long height = h.biHeight < 0 ? -long(h.biHeight) : long(h.biHeight);
        std::snprintf(line, sizeof line, "%dx%ld, %u bits, %s", int(h.biWidth), height, unsigned(h.biBitCount),
                      compressionName(h.biCompression).c_str());
        return line;
    }
    if (type == kv::stAudio && format.size() >= 16) {
        win::WAVEFORMATEX w{};
        std::memcpy(&w, format.data(), std::min(format.size(), sizeof w));
        std::snprintf(line, sizeof line, "format 0x%04X (%s), %u channels, %u Hz, %u bits, block %u",
                      unsigned(w.wFormatTag), audioFormatName(w.wFormatTag), unsigned(w.nChannels),
                      unsigned(w.nSamplesPerSec), unsigned(w.wBitsPerSample), unsigned(w.nBlockAlign));
        return line;
    }
    std::snprintf(line, sizeof line, "%zu bytes of format", format.size());
    return line;
}

// Key frames counted by searching from key frame to key frame; every sample of an audio stream is one.
std::int64_t countKeyFrames(kv::TKvAVIStream& stream) {
    const std::int32_t start = stream.GetStartPos();
    const std::int64_t end = std::int64_t(start) + stream.GetLength();
    std::int64_t count = 0;
    for (std::int64_t pos = start; pos < end; ++pos) {
        const win::LONG key =
            win::AVIStreamFindSample(stream.GetPStream(), win::LONG(pos), win::FIND_NEXT | win::FIND_KEY);
        if (key < 0 || key >= end) break;
        ++count;
        pos = key;
    }
    return count;
}

void printStream(int index, kv::TKvAVIStream& stream) {
    // The header as stored: the library's view renames handler codes 0 and 1 for video's sake.
    win::AVISTREAMINFOA info{};
    if (win::AVIStreamInfoA(stream.GetPStream(), &info, sizeof info) != 0) stream.GetStreamInfo(info);
    const kv::TKvAVIStreamType type = stream.GetStreamType();
    std::printf("  stream %d: %s, handler %s, %s\n", index, typeName(type), fourcc(info.fccHandler).c_str(),
                describeFormat(type, formatOf(stream)).c_str());
    const double rate = info.dwScale ? double(info.dwRate) / info.dwScale : 0.0;
    std::printf("            rate %u/%u (%.3f %s/s), start %d, length %d (%.3f s)", unsigned(info.dwRate),
                unsigned(info.dwScale), rate, type == kv::stVideo ? "frames" : "samples", int(stream.GetStartPos()),
                int(stream.GetLength()), seconds(stream.GetLength(), info));
    if (type == kv::stVideo) std::printf(", key frames %lld", static_cast<long long>(countKeyFrames(stream)));
    if (info.dwSampleSize) std::printf(", sample size %u", unsigned(info.dwSampleSize));
    if (info.szName[0]) std::printf(", name \"%.*s\"", int(strnlen(info.szName, sizeof info.szName)), info.szName);
    std::printf("\n");
}

int info(const std::string& path) {
    kv::TKvAVIFile file(nullptr);
    try {
        file.SetFileName(path);
        file.OpenFile();
        win::AVIFILEINFOA fi{};
        file.GetFileInfo(fi);
        const double duration = fi.dwRate ? double(fi.dwLength) * fi.dwScale / fi.dwRate : 0.0;
        std::printf("%s\n  %u streams, %ux%u, %.3f s, max %u bytes/s, flags:%s%s%s\n", path.c_str(),
                    unsigned(fi.dwStreams), unsigned(fi.dwWidth), unsigned(fi.dwHeight), duration,
                    unsigned(fi.dwMaxBytesPerSec), (fi.dwFlags & win::AVIFILEINFO_HASINDEX) ? " index" : "",
                    (fi.dwFlags & win::AVIFILEINFO_ISINTERLEAVED) ? " interleaved" : "",
                    (fi.dwFlags & (win::AVIFILEINFO_HASINDEX | win::AVIFILEINFO_ISINTERLEAVED)) ? "" : " none");
        const int count = file.GetStreamCount();
        for (int i = 0; i < count; ++i)
            printStream(i, *file.GetStreams(i));
    } catch (const kv::EKvAVIError& e) {
        std::string message = e.Message();
        if (!e.Detail().empty()) message += " (" + e.Detail() + ")";
        std::fprintf(stderr, "quillan-avi: %s: %s\n", path.c_str(), message.c_str());
        return 1;
    }
    return 0;
}

} // namespace

namespace avitool {

int usageError(const std::string& message) {
    std::fprintf(stderr, "quillan-avi: %s\nTry 'quillan-avi --help'.\n", message.c_str());
    return 2;
}

int infoCommand(const std::vector<std::string>& args) {
    if (args.size() != 1) return usageError("info takes one file");
    return info(args[0]);
}

} // namespace avitool

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "-h" || args[0] == "--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.empty()) return avitool::usageError("no command given");
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "info") return avitool::infoCommand(rest);
    if (args[0] == "save") return avitool::saveCommand(rest);
    return avitool::usageError("unknown command '" + args[0] + "'");
}
