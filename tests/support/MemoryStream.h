// An in-memory video IAVIStream for decoder tests: samples as byte vectors with key flags, a format
// block, and format changes that take effect from a sample position on. Counts its data reads so tests
// can tell whether frames were decoded again.
#pragma once

#include "platform/vfw/Vfw.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <vector>

namespace testsupport {

struct MemoryStream : win::IAVIStream {
    std::vector<std::vector<std::uint8_t>> samples;
    std::vector<bool> keys;                                 // missing entries count as key frames
    std::map<win::LONG, std::vector<std::uint8_t>> formats; // format valid from position on
    win::DWORD flags = 0;                                   // AVISTREAMINFO_ flags
    win::FOURCC type = win::streamtypeVIDEO;
    int refs = 1;
    std::atomic<int> dataReads{0}; // Read calls that copied sample bytes (decoding ahead reads from another thread)

    explicit MemoryStream(std::vector<std::uint8_t> format) { formats[0] = std::move(format); }

    void add(std::vector<std::uint8_t> bytes, bool key = true) {
        samples.push_back(std::move(bytes));
        keys.push_back(key);
    }
    // A new format (palette change) from sample pos on; marks the stream as having format changes.
    void changeFormat(win::LONG pos, std::vector<std::uint8_t> format) {
        formats[pos] = std::move(format);
        flags |= win::AVISTREAMINFO_FORMATCHANGES;
    }

    win::ULONG AddRef() override { return win::ULONG(++refs); }
    win::ULONG Release() override { return win::ULONG(--refs); } // the test owns the object
    win::HRESULT Info(win::AVISTREAMINFOA* info, win::LONG size) override {
        std::memset(info, 0, std::size_t(size));
        info->fccType = type;
        info->dwFlags = flags;
        info->dwLength = win::DWORD(samples.size());
        info->dwScale = 1;
        info->dwRate = 25;
        return win::AVIERR_OK;
    }
    win::LONG FindSample(win::LONG pos, win::LONG how) override {
        const auto isKey = [&](win::LONG p) {
            return !(how & win::FIND_KEY) || std::size_t(p) >= keys.size() || keys[std::size_t(p)];
        };
        const win::LONG n = win::LONG(samples.size());
        if (how & win::FIND_PREV) {
            for (win::LONG p = std::min(pos, n - 1); p >= 0; --p)
                if (isKey(p)) return p;
        } else {
            for (win::LONG p = std::max<win::LONG>(pos, 0); p < n; ++p)
                if (isKey(p)) return p;
        }
        return -1;
    }
    win::HRESULT ReadFormat(win::LONG pos, win::LPVOID buf, win::LONG* size) override {
        auto it = formats.upper_bound(pos);
        const auto& f = std::prev(it)->second;
        if (buf) std::memcpy(buf, f.data(), std::min<std::size_t>(f.size(), std::size_t(*size)));
        *size = win::LONG(f.size());
        return win::AVIERR_OK;
    }
    win::HRESULT Read(win::LONG start, win::LONG count, win::LPVOID buf, win::LONG bufSize, win::LONG* bytes,
                      win::LONG* got) override {
        if (start < 0 || std::size_t(start) >= samples.size() || count < 1) return win::AVIERR_NODATA;
        const auto& s = samples[std::size_t(start)];
        if (bytes) *bytes = win::LONG(s.size());
        if (got) *got = 1;
        if (!buf) return win::AVIERR_OK;
        if (bufSize < win::LONG(s.size())) return win::AVIERR_BUFFERTOOSMALL;
        std::memcpy(buf, s.data(), s.size());
        ++dataReads;
        return win::AVIERR_OK;
    }
    win::LONG Start() override { return 0; }
    win::LONG Length() override { return win::LONG(samples.size()); }
};

// A BITMAPINFOHEADER followed by optional extra bytes (colour table, masks or codec data).
inline std::vector<std::uint8_t> bitmapFormat(win::LONG width, win::LONG height, win::WORD bpp,
                                              win::DWORD compression,
                                              const std::vector<std::uint8_t>& extra = {},
                                              win::DWORD clrUsed = 0) {
    win::BITMAPINFOHEADER h{};
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bpp;
    h.biCompression = compression;
    h.biClrUsed = clrUsed;
    std::vector<std::uint8_t> out(sizeof h + extra.size());
    std::memcpy(out.data(), &h, sizeof h);
    if (!extra.empty()) std::memcpy(out.data() + sizeof h, extra.data(), extra.size());
    return out;
}

} // namespace testsupport
