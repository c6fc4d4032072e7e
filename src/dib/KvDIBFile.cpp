// Reading DIBs from BMP files and raw DIB files, and from the module's bitmap resources.
//
// Every header kind people have is accepted (12-byte core headers with 3-byte colour entries, 40-byte
// headers, 52/56-byte headers with masks, 64-, 108- and 124-byte headers) and handed out as one packed
// DIB: a 40-byte header, then the three masks of a bit-field DIB or the colour table of 4-byte entries,
// then the pixels. The reading policy for damaged files:
// - pixels are read from the file header's pixel offset (0 there means: right behind the table);
// - a colour table that the pixel offset cuts short keeps its first entries, the rest are black;
// - uncompressed pixel data shorter than the rows need is refused; run-length data take what the file
//   holds when the stated size is 0 or larger than the rest of the file;
// - no allocation is larger than the file's own size plus the header and table.
#include "dib/KvDIB.h"

#include "dib/KvDIBInternal.h"
#include "platform/ui/FileHandles.h"
#include "platform/ui/Streams.h"
#include "platform/win/ByteReader.h"
#include "platform/win/GlobalMemory.h"
#include "platform/win/ModuleResources.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

namespace kv {
namespace {

using namespace win;

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kMaskBytes = 12;

std::string bytes(std::uint64_t n) {
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

// The file and where in it the bitmap starts and ends.
struct Source {
    int handle;
    std::int64_t start = 0;
    std::int64_t end = 0;

    bool readAt(std::int64_t at, void* out, std::size_t n) const {
        if (at < start || at > end || std::uint64_t(end - at) < n) return false;
        if (host::FileSeek(handle, at, 0) != at) return false;
        return host::FileRead(handle, out, std::int32_t(n)) == std::int32_t(n);
    }
};

// The header as stored (and the masks behind a 40-byte bit-field header), parsed into its layout.
struct StoredHeader {
    std::array<std::uint8_t, kDibMaxHeaderSize + kMaskBytes> bytes{};
    std::size_t length = 0;
    DibLayout layout;
};

bool readStoredHeader(const Source& src, std::int64_t at, StoredHeader& h, std::string& error) {
    if (!src.readAt(at, h.bytes.data(), 4)) {
        error = "the file is too short to hold a bitmap header";
        return false;
    }
    ByteReader size(std::span<const std::uint8_t>(h.bytes.data(), 4));
    const DWORD stored = size.u32().value_or(0);
    h.length = 4;
    // Headers of unknown sizes are refused by the layout from their first four bytes.
    if (stored == kDibCoreHeaderSize || (stored >= kDibInfoHeaderSize && stored <= kDibMaxHeaderSize)) {
        if (!src.readAt(at + 4, h.bytes.data() + 4, stored - 4)) {
            error = "the bitmap header is cut short";
            return false;
        }
        h.length = stored;
    }
    if (h.length == kDibInfoHeaderSize) {
        ByteReader fields(std::span<const std::uint8_t>(h.bytes.data(), h.length));
        fields.seek(16);
        if (fields.u32().value_or(0) == BI_BITFIELDS) {
            if (!src.readAt(at + 40, h.bytes.data() + 40, kMaskBytes)) {
                error = "the bit-field masks of the bitmap are missing";
                return false;
            }
            h.length += kMaskBytes;
        }
    }
    auto layout = ParseDibLayout(std::span<const std::uint8_t>(h.bytes.data(), h.length), &error);
    if (!layout) return false;
    h.layout = *layout;
    if (h.layout.compression == BI_JPEG || h.layout.compression == BI_PNG) {
        error = std::string("the bitmap holds a ") + (h.layout.compression == BI_JPEG ? "JPEG" : "PNG") +
                " picture, which is not supported";
        return false;
    }
    return true;
}

// Where the pixels start in the file, and how many colour entries the file really holds before them.
struct Placement {
    std::int64_t pixels = 0;
    DWORD storedColours = 0;
    std::size_t imageBytes = 0;
};

bool place(const Source& src, std::int64_t headerAt, const StoredHeader& h, bool fileHeader, DWORD offBits,
           Placement& p, std::string& error) {
    const DibLayout& l = h.layout;
    const std::int64_t table = headerAt + std::int64_t(l.colourOffset);
    p.storedColours = l.colours;
    if (fileHeader && offBits != 0) {
        p.pixels = src.start + std::int64_t(offBits);
        if (p.pixels < table) {
            error = "the pixel offset " + std::to_string(offBits) + " points into the bitmap header";
            return false;
        }
        const std::uint64_t room = std::uint64_t(p.pixels - table) / l.entryBytes;
        if (room < p.storedColours) p.storedColours = DWORD(room);
    } else {
        p.pixels = headerAt + std::int64_t(l.pixelOffset);
    }
    if (p.pixels > src.end) {
        error = "the pixel data would start at offset " + std::to_string(p.pixels - src.start) +
                ", beyond the end of the file (" + bytes(std::uint64_t(src.end - src.start)) + ")";
        return false;
    }
    const std::uint64_t left = std::uint64_t(src.end - p.pixels);
    if (!l.compressed()) {
        if (left < l.imageBytes) {
            error = "the pixel data is cut short: the file holds " + bytes(left) + " of the " +
                    bytes(l.imageBytes) + " the rows need";
            return false;
        }
        p.imageBytes = l.imageBytes;
        return true;
    }
    p.imageBytes = std::size_t(l.sizeImage == 0 || l.sizeImage > left ? left : l.sizeImage);
    if (p.imageBytes == 0) {
        error = "the bitmap has no pixel data";
        return false;
    }
    return true;
}

// The 40-byte header of the packed DIB.
BITMAPINFOHEADER packedHeader(const StoredHeader& h, const Placement& p) {
    const DibLayout& l = h.layout;
    BITMAPINFOHEADER out{};
    out.biSize = kDibInfoHeaderSize;
    out.biWidth = l.width;
    out.biHeight = l.topDown ? -l.height : l.height;
    out.biPlanes = 1;
    out.biBitCount = l.bitCount;
    out.biCompression = l.compression;
    out.biSizeImage = DWORD(p.imageBytes);
    out.biClrUsed = l.compression == BI_BITFIELDS ? 0 : l.colours;
    if (!l.core) {
        ByteReader r(std::span<const std::uint8_t>(h.bytes.data(), h.length));
        r.seek(24);
        out.biXPelsPerMeter = r.i32().value_or(0);
        out.biYPelsPerMeter = r.i32().value_or(0);
        r.skip(4);
        const DWORD important = r.u32().value_or(0);
        out.biClrImportant = important <= out.biClrUsed ? important : 0;
    }
    return out;
}

// Reads the colour table into `table` (4-byte entries; entries not in the file stay black).
bool readColours(const Source& src, std::int64_t at, const DibLayout& l, DWORD stored, std::uint8_t* table) {
    std::vector<std::uint8_t> raw(std::size_t(stored) * l.entryBytes);
    if (!raw.empty() && !src.readAt(at, raw.data(), raw.size())) return false;
    for (DWORD k = 0; k < stored; ++k) {
        const std::uint8_t* e = raw.data() + std::size_t(k) * l.entryBytes;
        std::uint8_t* q = table + 4 * std::size_t(k);
        q[0] = e[0], q[1] = e[1], q[2] = e[2], q[3] = 0;
    }
    return true;
}

BITMAPINFOHEADER* buildDib(const Source& src, std::int64_t headerAt, const StoredHeader& h,
                           const Placement& p, bool withPixels, std::string& error) {
    const DibLayout& l = h.layout;
    const BITMAPINFOHEADER header = packedHeader(h, p);
    const std::size_t table = l.compression == BI_BITFIELDS ? kMaskBytes : std::size_t(header.biClrUsed) * 4;
    BITMAPINFOHEADER* dib = dibunit::allocDib(kDibInfoHeaderSize + table + (withPixels ? p.imageBytes : 0));
    if (!dib) {
        error = "there is not enough memory for the bitmap";
        return nullptr;
    }
    *dib = header;
    auto* after = reinterpret_cast<std::uint8_t*>(dib) + kDibInfoHeaderSize;
    bool ok = true;
    if (l.compression == BI_BITFIELDS) {
        std::memcpy(after, l.masks, kMaskBytes);
    } else {
        ok = readColours(src, headerAt + std::int64_t(l.colourOffset), l, p.storedColours, after);
        if (!ok) error = "the colour table is cut short";
    }
    if (ok && withPixels && !src.readAt(p.pixels, after + table, p.imageBytes)) {
        ok = false;
        error = "the pixel data could not be read";
    }
    if (!ok) {
        DIB_Free(dib);
        return nullptr;
    }
    return dib;
}

} // namespace

BmpFileRead ReadBmpFile(int handle, bool withPixels) {
    BmpFileRead out;
    if (handle < 0) {
        out.error = "the file is not open";
        return out;
    }
    Source src{handle};
    src.start = host::FileSeek(handle, 0, 1);
    src.end = host::FileSeek(handle, 0, 2);
    if (src.start < 0 || src.end < src.start || host::FileSeek(handle, src.start, 0) != src.start) {
        out.error = "the file cannot be positioned";
        return out;
    }
    out.facts.fileSize = std::uint64_t(src.end - src.start);
    std::array<std::uint8_t, kFileHeaderSize> head{};
    if (!src.readAt(src.start, head.data(), head.size())) {
        out.error = "the file is too short to be a bitmap (" + bytes(out.facts.fileSize) + ")";
        return out;
    }
    ByteReader fh(head);
    out.facts.fileHeader = fh.u16().value_or(0) == 0x4D42; // "BM"
    fh.skip(8);
    const DWORD offBits = fh.u32().value_or(0);
    const std::int64_t headerAt = src.start + (out.facts.fileHeader ? std::int64_t(kFileHeaderSize) : 0);

    StoredHeader header;
    Placement placement;
    if (!readStoredHeader(src, headerAt, header, out.error) ||
        !place(src, headerAt, header, out.facts.fileHeader, offBits, placement, out.error))
        return out;
    out.facts.layout = header.layout;
    out.facts.pixelOffset = std::uint64_t(placement.pixels - src.start);
    out.dib = buildDib(src, headerAt, header, placement, withPixels, out.error);
    const std::int64_t after =
        withPixels ? placement.pixels + std::int64_t(placement.imageBytes) : placement.pixels;
    host::FileSeek(handle, after, 0);
    return out;
}

BmpFileRead OpenBmpFile(const std::string& fileName) {
    BmpFileRead out;
    const int handle = host::FileOpen(fileName, host::fmOpenRead | host::fmShareDenyWrite);
    if (handle < 0) {
        out.error = std::strerror(errno);
        return out;
    }
    out = ReadBmpFile(handle, true);
    host::FileClose(handle);
    return out;
}

BITMAPINFOHEADER* DIB_ReadBitmapInfo(int handle) {
    return ReadBmpFile(handle, false).dib;
}

BITMAPINFOHEADER* DIB_OpenFile(const char* fileName) {
    if (!fileName) return nullptr;
    const int handle = host::FileOpen(fileName, host::fmOpenRead | host::fmShareDenyWrite);
    if (handle >= 0) {
        BITMAPINFOHEADER* dib = ReadBmpFile(handle, true).dib;
        host::FileClose(handle);
        return dib;
    }
    // Not a file: a bitmap resource of the program of that name, if its header describes its bytes.
    HRSRC found = FindResourceA(nullptr, fileName, RT_BITMAP);
    if (!found) return nullptr;
    auto* data = static_cast<BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, found)));
    if (!data || !DibLayoutOf(data, SizeofResource(nullptr, found))) return nullptr;
    return data;
}

} // namespace kv
