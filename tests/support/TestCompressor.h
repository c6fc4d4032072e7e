// A small installable video compressor for tests, installed with ICInstall under 'XTST': 24-bit frames
// become key frames holding the pixels as they are, or delta frames holding the pixels XOR the previous
// frame's (given by the caller, as a temporal compressor asks). A delta frame decodes only on top of the
// frame before it, so a wrong key flag or a wrong order shows in the decoded pictures. It keeps a
// 4-byte state, answers the configure query (not the about one) and counts what it was asked to do.
#pragma once

#include "platform/vfw/Icm.h"

#include <cstring>
#include <vector>

namespace testcodec {

constexpr win::FOURCC kHandler = win::mmioFOURCC('X', 'T', 'S', 'T');

struct Counters {
    int begins = 0;
    int frames = 0;
    int forcedKeys = 0;
    int configures = 0;
    win::DWORD quality = 0;   // of the last frame
    win::DWORD frameSize = 0; // of the last frame
    win::DWORD state = 0x1234;
};

inline Counters& counters() {
    static Counters c;
    return c;
}

inline std::size_t imageBytes(const win::BITMAPINFOHEADER* bi) {
    return std::size_t(((bi->biWidth * 24 + 31) / 32) * 4) *
           std::size_t(bi->biHeight < 0 ? -bi->biHeight : bi->biHeight);
}

inline win::LRESULT driverProc(win::DWORD_PTR, win::HDRVR, win::UINT msg, win::LPARAM l1, win::LPARAM l2) {
    using namespace win;
    auto* in = reinterpret_cast<BITMAPINFOHEADER*>(l1);
    switch (msg) {
    case DRV_OPEN:
    case DRV_CLOSE:
        return 1;
    case ICM_GETINFO: {
        ICINFO info{};
        info.dwSize = sizeof info;
        info.fccType = ICTYPE_VIDEO;
        info.fccHandler = kHandler;
        info.dwFlags = VIDCF_QUALITY | VIDCF_TEMPORAL | VIDCF_CRUNCH;
        info.dwVersionICM = ICVERSION;
        const char16_t name[] = u"XTST", description[] = u"Test delta codec";
        std::memcpy(info.szName, name, sizeof name);
        std::memcpy(info.szDescription, description, sizeof description);
        const std::size_t n = std::min<std::size_t>(std::size_t(l2), sizeof info);
        std::memcpy(reinterpret_cast<void*>(l1), &info, n);
        return LRESULT(n);
    }
    case ICM_GETDEFAULTQUALITY:
        *reinterpret_cast<DWORD*>(l1) = 5000;
        return ICERR_OK;
    case ICM_GETSTATE:
        if (!l1) return sizeof(DWORD);
        std::memcpy(reinterpret_cast<void*>(l1), &counters().state, sizeof(DWORD));
        return ICERR_OK;
    case ICM_SETSTATE:
        if (l1 && l2 >= LPARAM(sizeof(DWORD)))
            std::memcpy(&counters().state, reinterpret_cast<void*>(l1), sizeof(DWORD));
        return sizeof(DWORD);
    case ICM_CONFIGURE:
        if (l1 == -1) return ICERR_OK;
        ++counters().configures;
        counters().state += 1;
        return ICERR_OK;
    case ICM_ABOUT:
        return ICERR_UNSUPPORTED;
    case ICM_COMPRESS_QUERY:
        return in && in->biBitCount == 24 && in->biCompression == BI_RGB ? ICERR_OK : ICERR_BADFORMAT;
    case ICM_COMPRESS_GET_FORMAT:
        if (!l2) return sizeof(BITMAPINFOHEADER);
        {
            BITMAPINFOHEADER out = *in;
            out.biSize = sizeof out;
            out.biCompression = kHandler;
            out.biSizeImage = DWORD(imageBytes(in));
            out.biClrUsed = 0;
            std::memcpy(reinterpret_cast<void*>(l2), &out, sizeof out);
        }
        return ICERR_OK;
    case ICM_COMPRESS_GET_SIZE:
        return LRESULT(imageBytes(in));
    case ICM_COMPRESS_BEGIN:
        ++counters().begins;
        return ICERR_OK;
    case ICM_COMPRESS_END:
        return ICERR_OK;
    case ICM_COMPRESS: {
        auto* c = reinterpret_cast<ICCOMPRESS*>(l1);
        const std::size_t n = imageBytes(c->lpbiInput);
        const bool key = (c->dwFlags & ICCOMPRESS_KEYFRAME) || !c->lpPrev;
        auto* src = static_cast<const std::uint8_t*>(c->lpInput);
        auto* prev = static_cast<const std::uint8_t*>(c->lpPrev);
        auto* dst = static_cast<std::uint8_t*>(c->lpOutput);
        for (std::size_t i = 0; i < n; ++i)
            dst[i] = key ? src[i] : std::uint8_t(src[i] ^ prev[i]);
        c->lpbiOutput->biSizeImage = DWORD(n);
        if (c->lpdwFlags) *c->lpdwFlags = key ? AVIIF_KEYFRAME : 0;
        ++counters().frames;
        counters().quality = c->dwQuality;
        counters().frameSize = c->dwFrameSize;
        if (c->dwFlags & ICCOMPRESS_KEYFRAME) ++counters().forcedKeys;
        return ICERR_OK;
    }
    default:
        return ICERR_UNSUPPORTED;
    }
}

// Installs the codec for the life of the object.
struct Installed {
    Installed() {
        counters() = Counters{};
        win::ICInstall(win::ICTYPE_VIDEO, kHandler, reinterpret_cast<win::LPARAM>(&driverProc), nullptr,
                       win::ICINSTALL_FUNCTION);
    }
    ~Installed() { win::ICRemove(win::ICTYPE_VIDEO, kHandler, 0); }
    Installed(const Installed&) = delete;
    Installed& operator=(const Installed&) = delete;
};

// Decodes the codec's samples in order (each key frame or delta applied to the picture before).
inline std::vector<std::vector<std::uint8_t>> decode(const std::vector<std::vector<std::uint8_t>>& samples,
                                                     const std::vector<bool>& keys) {
    std::vector<std::vector<std::uint8_t>> out;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        std::vector<std::uint8_t> f = samples[i];
        if (!keys[i] && !out.empty())
            for (std::size_t j = 0; j < f.size() && j < out.back().size(); ++j)
                f[j] ^= out.back()[j];
        out.push_back(std::move(f));
    }
    return out;
}

} // namespace testcodec
