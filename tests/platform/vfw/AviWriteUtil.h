// Helpers of the AVI writer tests: creating files, formats and frames, and reading files back with
// ffprobe and ffmpeg.
#pragma once

#include "AviTestUtil.h"
#include "support/TestWork.h"

#include <cstring>

namespace avitest {

struct WFileDeleter {
    void operator()(win::IAVIFile* f) const { win::AVIFileRelease(f); }
};

inline FilePtr createFile(const std::filesystem::path& p, win::UINT mode = win::OF_CREATE | win::OF_WRITE) {
    win::PAVIFILE f = nullptr;
    EXPECT_EQ(win::AVIFileOpenA(&f, p.c_str(), mode, nullptr), win::AVIERR_OK) << win::AVILastErrorDetail();
    return FilePtr(f);
}

inline FilePtr openFile(const std::filesystem::path& p, win::UINT mode = win::OF_READ) {
    win::PAVIFILE f = nullptr;
    EXPECT_EQ(win::AVIFileOpenA(&f, p.c_str(), mode, nullptr), win::AVIERR_OK) << win::AVILastErrorDetail();
    return FilePtr(f);
}

inline win::AVISTREAMINFOA videoInfo(win::DWORD rate = 25, win::DWORD scale = 1) {
    win::AVISTREAMINFOA i{};
    i.fccType = win::mmioFOURCC('v', 'i', 'd', 's');
    i.dwRate = rate;
    i.dwScale = scale;
    i.dwQuality = 0xFFFFFFFF;
    return i;
}

inline win::WAVEFORMATEX pcmFormat(win::DWORD rate = 8000, win::WORD channels = 2) {
    win::WAVEFORMATEX w{};
    w.wFormatTag = win::WAVE_FORMAT_PCM;
    w.nChannels = channels;
    w.nSamplesPerSec = rate;
    w.wBitsPerSample = 16;
    w.nBlockAlign = win::WORD(2 * channels);
    w.nAvgBytesPerSec = rate * w.nBlockAlign;
    return w;
}

inline win::AVISTREAMINFOA audioInfo(const win::WAVEFORMATEX& w) {
    win::AVISTREAMINFOA i{};
    i.fccType = win::mmioFOURCC('a', 'u', 'd', 's');
    i.dwScale = w.nBlockAlign;
    i.dwRate = w.nAvgBytesPerSec;
    i.dwSampleSize = w.nBlockAlign;
    return i;
}

inline StreamPtr createStream(win::IAVIFile* f, win::AVISTREAMINFOA info) {
    win::PAVISTREAM s = nullptr;
    EXPECT_EQ(win::AVIFileCreateStreamA(f, &s, &info), win::AVIERR_OK);
    return StreamPtr(s);
}

// A BITMAPINFOHEADER (with a grey colour table for 8 bits) of a bottom-up RGB DIB.
inline std::vector<std::uint8_t> dibFormat(int w, int h, int bpp) {
    win::BITMAPINFOHEADER bi{};
    bi.biSize = 40;
    bi.biWidth = w;
    bi.biHeight = h;
    bi.biPlanes = 1;
    bi.biBitCount = win::WORD(bpp);
    bi.biSizeImage = win::DWORD(((w * bpp + 31) / 32) * 4 * h);
    bi.biClrUsed = bpp <= 8 ? 256 : 0;
    std::vector<std::uint8_t> f(sizeof bi);
    std::memcpy(f.data(), &bi, sizeof bi);
    for (int i = 0; bpp <= 8 && i < 256; ++i)
        f.insert(f.end(), {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0});
    return f;
}

inline std::vector<std::uint8_t> frameBytes(std::size_t size, int n) {
    std::vector<std::uint8_t> d(size);
    for (std::size_t i = 0; i < size; ++i)
        d[i] = std::uint8_t(i * 7 + std::size_t(n) * 31 + (i >> 8));
    return d;
}

inline win::HRESULT writeSample(win::IAVIStream* s, const std::vector<std::uint8_t>& d, bool key = true,
                                win::LONG samples = 1) {
    return win::AVIStreamWrite(s, -1, samples, const_cast<std::uint8_t*>(d.data()), win::LONG(d.size()),
                               key ? win::AVIIF_KEYFRAME : 0, nullptr, nullptr);
}

// ffprobe's view of the file: "<codec_type>,<nb_read_frames>" per stream, in stream order.
inline std::vector<std::string> probeStreams(const std::filesystem::path& p) {
    std::string out = testsupport::capture("ffprobe -v error -count_frames -show_entries "
                                           "stream=codec_type,nb_read_frames -of csv=p=0 " +
                                           testsupport::quote(p) + " 2>/dev/null");
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < out.size()) {
        std::size_t nl = out.find('\n', at);
        if (nl == std::string::npos) nl = out.size();
        if (nl > at) lines.push_back(out.substr(at, nl - at));
        at = nl + 1;
    }
    return lines;
}

// The decoded bytes of a stream as ffmpeg gives them (video: bgr24 top-down, audio: s16le).
inline std::string ffmpegDecode(const std::filesystem::path& p, const char* map, const char* format) {
    return testsupport::capture("ffmpeg -v error -i " + testsupport::quote(p) + " -map " + map + " -f " +
                                format + " - 2>/dev/null");
}

// Our frames as bgr24 top-down (the DIB rows bottom-up, without padding: widths here are multiples of 4).
inline std::string topDown(const std::vector<std::vector<std::uint8_t>>& frames, int w, int h) {
    std::string out;
    const std::size_t row = std::size_t(w) * 3;
    for (auto& f : frames)
        for (int y = h - 1; y >= 0; --y)
            out.append(reinterpret_cast<const char*>(f.data()) + std::size_t(y) * row, row);
    return out;
}

} // namespace avitest
