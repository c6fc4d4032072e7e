#include "app/wavetool/WaveInput.h"

#include "app/toolsupport/ToolMessages.h"
#include "platform/win/ByteReader.h"
#include "wave/KvADPCM.h"

#include <array>
#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wavetool {
namespace {

using toolsupport::errnoText;

// mmio copies names into a buffer of the platform's path length.
constexpr std::size_t kMaxName = 259;

// What the first twelve bytes say about a file that is no RIFF WAVE file; empty when they look right.
std::string whatItIs(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        error = errnoText(errno);
        return {};
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return "is a folder, not a file";
    }
    std::array<std::uint8_t, 12> head{};
    const ssize_t n = ::read(fd, head.data(), head.size());
    const int readErrno = errno;
    ::close(fd);
    if (n < 0) {
        error = errnoText(readErrno);
        return {};
    }
    win::ByteReader reader(std::span<const std::uint8_t>(head.data(), std::size_t(n)));
    const auto id = reader.fourcc();
    reader.u32();
    const auto form = reader.fourcc();
    if (!id || !form) return n == 0 ? "is empty" : "is too short for a RIFF WAVE file";
    if (*id == win::mmioFOURCC('R', 'I', 'F', 'X')) return "is a big-endian RIFX file, which is not read";
    if (*id == win::mmioFOURCC('R', 'F', '6', '4')) return "is an RF64 file, which is not read";
    if (*id != win::mmioFOURCC('R', 'I', 'F', 'F')) return "is not a RIFF WAVE file";
    if (*form != win::mmioFOURCC('W', 'A', 'V', 'E')) {
        std::string name(4, ' ');
        for (int i = 0; i < 4; ++i)
            name[std::size_t(i)] = char(*form >> (8 * i));
        for (char& c : name)
            if (c < 0x20 || c > 0x7E) c = '?';
        return "is a RIFF file of form '" + name + "', not WAVE";
    }
    return {};
}

struct FormatFields {
    kv::TWaveFormatEx wfx{};
    bool extensible = false;
    bool standardGuid = false; // the sub-format is an old tag inside the standard base GUID
    std::uint32_t subTag = 0;
    std::uint16_t validBits = 0;
};

// The format record's fields, the EXTENSIBLE part only when the record holds it.
FormatFields readFormat(const kv::TWaveFormatEx* wfx, std::size_t bytes) {
    FormatFields f;
    f.wfx = *wfx;
    if (wfx->wFormatTag != kv::WAVE_FORMAT_EXTENSIBLE || wfx->cbSize < 22 || bytes < 40) return f;
    const auto* raw = reinterpret_cast<const std::uint8_t*>(wfx);
    win::ByteReader reader(std::span<const std::uint8_t>(raw + 18, 22));
    f.validBits = reader.u16().value_or(0);
    reader.u32();
    f.subTag = reader.u32().value_or(0);
    const std::uint16_t d2 = reader.u16().value_or(1), d3 = reader.u16().value_or(0);
    static constexpr std::uint8_t kBase[8] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    auto tail = reader.span(8);
    f.standardGuid = d2 == 0 && d3 == 0x0010 && tail && std::equal(tail->begin(), tail->end(), kBase);
    f.extensible = true;
    return f;
}

std::string pcmWords(const kv::TWaveFormatEx& w) {
    std::string words = std::to_string(w.wBitsPerSample) + "-bit PCM";
    if (w.nChannels != 1 && w.nChannels != 2) words += " with " + std::to_string(w.nChannels) + " channels";
    return words;
}

bool takenPcm(const kv::TWaveFormatEx& w) {
    return (w.wBitsPerSample == 8 || w.wBitsPerSample == 16) && (w.nChannels == 1 || w.nChannels == 2);
}

} // namespace

bool scanWaveFile(const std::string& path, WaveBlock& block, std::string& error) {
    error.clear();
    if (path.size() > kMaxName) {
        error = "the name is longer than " + std::to_string(kMaxName) + " characters";
        return false;
    }
    const std::string what = whatItIs(path, error);
    if (!error.empty()) return false;
    if (!what.empty()) {
        error = what;
        return false;
    }
    block.reset();
    const int status =
        kv::wioReadFileInfo(block.get(), path.c_str(), win::mmioFOURCC('W', 'A', 'V', 'E'), kv::WIO_FILE);
    switch (status) {
    case kv::WIOERR_NOERROR:
        return true;
    case kv::WIOERR_ERROR:
        error = "is a WAVE file without a format ('fmt ') chunk";
        break;
    case kv::WIOERR_NOMEM:
        error = "not enough memory to read it";
        break;
    default:
        error = "cannot be read: its RIFF chunks are damaged or cut short";
        break;
    }
    return false;
}

std::size_t formatBytes(const kv::TWAVEIOCB* cb) {
    const std::size_t start = offsetof(kv::TWAVEIOCB, Format);
    return cb && cb->BlockSize > start ? cb->BlockSize - start : 0;
}

FormatClass classifyFormat(const kv::TWaveFormatEx* wfx, std::size_t bytes) {
    if (!wfx || bytes < 18) return {SampleKind::Unsupported, "no format"};
    const FormatFields f = readFormat(wfx, bytes);
    const kv::TWaveFormatEx& w = f.wfx;
    const bool pcmTag =
        w.wFormatTag == kv::WAVE_FORMAT_PCM || (f.standardGuid && f.subTag == kv::WAVE_FORMAT_PCM);
    if (pcmTag) {
        std::string words = pcmWords(w) + (f.extensible ? " (EXTENSIBLE)" : "");
        if (f.extensible && f.validBits && f.validBits != w.wBitsPerSample)
            return {SampleKind::OtherPcm, std::to_string(f.validBits) + "-bit PCM in " + words};
        if (w.nSamplesPerSec == 0) return {SampleKind::Unsupported, words + " with a sample rate of 0"};
        return {takenPcm(w) ? SampleKind::Pcm : SampleKind::OtherPcm, words};
    }
    if (w.wFormatTag == kv::WAVE_FORMAT_ADPCM) {
        // The check reads the seven coefficient pairs, so the record must hold them.
        if (bytes >= sizeof(kv::TADPCMWaveFormat) && wfx->cbSize >= 32 && kv::adpcmIsValidFormat(wfx))
            return {SampleKind::Adpcm, "Microsoft ADPCM"};
        return {SampleKind::Unsupported, "Microsoft ADPCM of a layout other than the standard 4-bit mono or "
                                         "stereo one with its seven coefficient pairs"};
    }
    if (w.wFormatTag == kv::WAVE_FORMAT_IEEE_FLOAT ||
        (f.standardGuid && f.subTag == kv::WAVE_FORMAT_IEEE_FLOAT))
        return {SampleKind::Unsupported,
                std::to_string(w.wBitsPerSample) + "-bit IEEE float" + (f.extensible ? " (EXTENSIBLE)" : "")};
    if (f.extensible) {
        if (!f.standardGuid) return {SampleKind::Unsupported, "EXTENSIBLE with a sub-format of its own"};
        kv::TWaveFormatEx inner = w;
        inner.wFormatTag = win::WORD(f.subTag);
        inner.cbSize = 0;
        std::string name;
        kv::wioGetFormatName(&inner, name);
        return {SampleKind::Unsupported, "EXTENSIBLE with the sub-format " + name};
    }
    std::string name;
    kv::wioGetFormatName(wfx, name);
    char tag[16];
    std::snprintf(tag, sizeof tag, "0x%04X", unsigned(w.wFormatTag));
    return {SampleKind::Unsupported, name + " (format " + tag + ")"};
}

bool plainPcmFormat(const kv::TWaveFormatEx* wfx, std::size_t bytes, kv::TWaveFormatEx& pcm) {
    if (classifyFormat(wfx, bytes).kind != SampleKind::Pcm) return false;
    pcm = *wfx;
    pcm.wFormatTag = kv::WAVE_FORMAT_PCM;
    pcm.nBlockAlign = win::WORD(pcm.nChannels * pcm.wBitsPerSample / 8);
    pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;
    pcm.cbSize = 0;
    return true;
}

std::string refusal(const FormatClass& format, const std::string& command) {
    const std::string holds = "the file holds " + format.words + ", which " + command + " does not take";
    switch (format.kind) {
    case SampleKind::Pcm:
        return holds + " (it takes Microsoft ADPCM); '" + toolsupport::programName() +
               " convert' converts PCM";
    case SampleKind::Adpcm:
        return holds + " (it takes 8- or 16-bit PCM); '" + toolsupport::programName() +
               " decode' turns Microsoft ADPCM into PCM";
    default:
        return "the file holds " + format.words + ", which no " + toolsupport::programName() +
               " command takes (they take 8- and 16-bit mono or stereo PCM, and Microsoft ADPCM)";
    }
}

int frameBytes(const kv::TWaveFormatEx& wfx) {
    return wfx.nBlockAlign ? wfx.nBlockAlign : 1;
}

} // namespace wavetool
