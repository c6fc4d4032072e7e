// quillan-bmp info: how a BMP file is stored, one fact a line, as the DIB reader sees it.
#include "app/bmptool/Commands.h"
#include "app/toolsupport/Arguments.h"
#include "app/toolsupport/ToolMessages.h"
#include "dib/KvDIB.h"
#include "platform/ui/FileHandles.h"
#include "platform/ui/Streams.h"

#include <cerrno>

#include <cstdio>

namespace bmptool {
namespace {

const char* const kHelp =
    "Usage: quillan-bmp info FILE.bmp\n"
    "\n"
    "Prints how the bitmap is stored, one 'name: value' a line: header (its kind), header size, width,\n"
    "height, rows (bottom-up or top-down), bits, compression, masks (bit-field bitmaps), colours (entries\n"
    "of the colour table), image bytes, pixel offset and file size. A raw DIB without file header is\n"
    "read as well (file header: no).\n";

const char* headerKind(win::DWORD size) {
    switch (size) {
    case 12:
        return "core";
    case 40:
        return "info";
    case 52:
        return "info with RGB masks";
    case 56:
        return "info with RGBA masks";
    case 64:
        return "OS/2 2.x";
    case 108:
        return "version 4";
    case 124:
        return "version 5";
    default:
        return "unknown";
    }
}

const char* compressionName(win::DWORD compression) {
    switch (compression) {
    case win::BI_RGB:
        return "none";
    case win::BI_RLE8:
        return "RLE8";
    case win::BI_RLE4:
        return "RLE4";
    case win::BI_BITFIELDS:
        return "bit fields";
    case win::BI_JPEG:
        return "JPEG";
    case win::BI_PNG:
        return "PNG";
    default:
        return "unknown";
    }
}

void printFacts(const kv::BmpFileFacts& facts, const win::BITMAPINFOHEADER& dib) {
    const win::DibLayout& l = facts.layout;
    std::printf("file header: %s\n", facts.fileHeader ? "yes" : "no");
    std::printf("header: %s\n", headerKind(l.headerSize));
    std::printf("header size: %u\n", unsigned(l.headerSize));
    std::printf("width: %ld\n", long(l.width));
    std::printf("height: %ld\n", long(l.height));
    std::printf("rows: %s\n", l.topDown ? "top-down" : "bottom-up");
    std::printf("bits: %u\n", unsigned(l.bitCount));
    std::printf("compression: %s\n", compressionName(l.compression));
    if (l.compression == win::BI_BITFIELDS)
        std::printf("masks: 0x%08X 0x%08X 0x%08X\n", unsigned(l.masks[0]), unsigned(l.masks[1]),
                    unsigned(l.masks[2]));
    std::printf("colours: %u\n", unsigned(l.colours));
    std::printf("image bytes: %u\n", unsigned(dib.biSizeImage));
    std::printf("pixel offset: %llu\n", static_cast<unsigned long long>(facts.pixelOffset));
    std::printf("file size: %llu\n", static_cast<unsigned long long>(facts.fileSize));
}

} // namespace

int infoCommand(const std::vector<std::string>& argv) {
    toolsupport::Arguments args;
    const std::string parseError = args.parse(argv, {});
    if (!parseError.empty()) return toolsupport::usageError(parseError, "info");
    if (args.help()) {
        std::fputs(kHelp, stdout);
        return toolsupport::kExitOk;
    }
    if (args.positional().size() != 1) return toolsupport::usageError("info takes one file", "info");
    const std::string& path = args.positional()[0];
    // Only the header and colour table are read: info is quick on large files.
    kv::BmpFileRead read;
    const int handle = host::FileOpen(path, host::fmOpenRead | host::fmShareDenyWrite);
    if (handle < 0) return toolsupport::fileError(path, toolsupport::errnoText(errno));
    read = kv::ReadBmpFile(handle, false);
    host::FileClose(handle);
    if (!read.dib) return toolsupport::fileError(path, read.error);
    printFacts(read.facts, *read.dib);
    kv::DIB_Free(read.dib);
    return toolsupport::kExitOk;
}

} // namespace bmptool
