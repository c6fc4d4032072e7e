// Parses arbitrary bytes as the body of a LIST INFO chunk, edits and copies the result; then walks the
// bytes as a RIFF memory image, reading every DISP chunk, copying the list and writing it to a new
// memory image.
#include "wave/KvRIFF.h"

#include "platform/win/GlobalMemory.h"

#include <cstring>
#include <vector>

namespace {

void parseInfo(const std::uint8_t* data, std::size_t size) {
    kv::PInfoChunk chunk = nullptr;
    if (kv::RiffInitINFO(chunk) != 0) return;
    chunk->RawText = static_cast<char*>(win::GlobalAllocPtr(win::GHND, size + 1));
    std::memcpy(chunk->RawText, data, size);
    chunk->RawSize = win::DWORD(size);
    kv::RiffParseINFO(chunk);
    kv::PInfoChunk copy = nullptr;
    kv::RiffInitINFO(copy);
    kv::RiffCopyInfo(copy, chunk);
    for (kv::PInfoData e = chunk->Head; e; e = e->Next) {
        if (const char* v = kv::RiffINFOValue(chunk, e)) {
            const std::size_t n = std::strlen(v);
            auto* text = static_cast<char*>(win::GlobalAllocPtr(win::GHND, n + 1));
            std::memcpy(text, v, n);
            kv::RiffModifyINFO(chunk, e, (n & 1) ? kv::RIFF_MODIFIED : kv::RIFF_REVERTED, text, 0);
        }
    }
    kv::RiffFreeINFO(copy);
    kv::RiffFreeINFO(chunk);
}

void readDisp(std::vector<std::uint8_t>& image) {
    win::MMIOINFO info{};
    info.fccIOProc = win::FOURCC_MEM;
    info.pchBuffer = reinterpret_cast<char*>(image.data());
    info.cchBuffer = win::LONG(image.size());
    win::HMMIO h = win::mmioOpen(nullptr, &info, win::MMIO_READ);
    if (!h) return;
    kv::PDispList list = nullptr;
    kv::RiffInitDISP(list);
    win::MMCKINFO riff{}, ck{};
    if (win::mmioDescend(h, &riff, nullptr, 0) == 0) {
        for (int i = 0; i < 1000 && win::mmioDescend(h, &ck, &riff, 0) == 0; ++i) {
            if (ck.ckid == win::mmioFOURCC('D', 'I', 'S', 'P')) kv::RiffReadDISP(h, ck, list);
            if (win::mmioAscend(h, &ck, 0) != 0) break;
        }
    }
    win::mmioClose(h, 0);
    kv::PDispList copy = nullptr;
    kv::RiffInitDISP(copy);
    kv::RiffCopyDISP(copy, list);
    for (kv::PDisp e = list->Head; e; e = e->Next)
        e->Flags = win::WORD(e->ClipFormat & 3);
    win::MMIOINFO out{};
    out.fccIOProc = win::FOURCC_MEM;
    out.adwInfo[0] = 4096; // a growing image
    win::HMMIO w = win::mmioOpen(nullptr, &out, win::MMIO_CREATE | win::MMIO_READWRITE);
    if (w) {
        kv::RiffWriteDISP(w, list);
        kv::RiffWriteDISP(w, copy);
        win::mmioClose(w, 0);
    }
    kv::RiffFreeDISP(copy, true);
    kv::RiffFreeDISP(list, true);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) return 0;
    parseInfo(data, size);
    std::vector<std::uint8_t> image(data, data + size);
    if (!image.empty()) readDisp(image);
    return 0;
}
