// quillan-bmp convert: any BMP file the DIB reader takes, written anew as an uncompressed bottom-up BMP.
// 24 bits go through the bitmap object's BMP writer; 1, 4 and 8 bits through a DIB made from the
// device bitmap, written as a file header and the packed DIB.
#include "app/bmptool/Commands.h"
#include "app/toolsupport/Arguments.h"
#include "app/toolsupport/InterruptGuard.h"
#include "app/toolsupport/OutputFile.h"
#include "app/toolsupport/ToolMessages.h"
#include "dib/KvDIB.h"
#include "platform/gdi/Gdi.h"
#include "platform/ui/FileHandles.h"
#include "platform/ui/Graphics.h"
#include "platform/win/ByteReader.h"

#include <cerrno>
#include <cstdio>
#include <memory>

namespace bmptool {
namespace {

const char* const kHelp =
    "Usage: quillan-bmp convert IN.bmp OUT.bmp [--bits 1|4|8|24]\n"
    "\n"
    "Reads IN (a BMP file or raw DIB of any header kind, 1 to 32 bits, bit fields, RLE4 or RLE8,\n"
    "top-down or bottom-up) and writes OUT as an uncompressed bottom-up BMP file.\n"
    "  --bits 24      blue, green, red pixels with the picture's palette as colour table (the default)\n"
    "  --bits 8       256 colours: the picture's own colour table, or a colour cube for true colour\n"
    "  --bits 4, 1    the 16 standard colours, or black and white (pictures with few enough colours of\n"
    "                 their own keep them)\n"
    "OUT is written under a temporary name beside it and renamed when complete; on failure an existing\n"
    "OUT is left as it was.\n";

struct DibDeleter {
    void operator()(win::BITMAPINFOHEADER* dib) const { kv::DIB_Free(dib); }
};
using DibPtr = std::unique_ptr<win::BITMAPINFOHEADER, DibDeleter>;

// The device bitmap and palette of a DIB, deleted unless a bitmap object takes them over.
struct DeviceImage {
    win::HBITMAP bitmap = nullptr;
    win::HPALETTE palette = nullptr;
    ~DeviceImage() {
        if (bitmap) win::DeleteObject(bitmap);
        if (palette) win::DeleteObject(palette);
    }
};

// Writes the DIB as a BMP file: the file header, then the packed DIB as it is.
bool writeDibFile(const std::string& path, const win::BITMAPINFOHEADER* dib, std::string& error) {
    const win::DWORD size = kv::DIB_Size(dib);
    win::ByteWriter head;
    head.u16(0x4D42); // "BM"
    head.u32(14 + size);
    head.u32(0);
    head.u32(14 + kv::DIB_BISize(dib));
    const int fd = host::FileCreate(path);
    if (fd < 0) return error = toolsupport::errnoText(errno), false;
    bool ok =
        host::FileWrite(fd, head.buffer().data(), std::int32_t(head.size())) == std::int32_t(head.size()) &&
        host::FileWrite(fd, dib, std::int32_t(size)) == std::int32_t(size);
    if (!ok) error = toolsupport::errnoText(errno);
    host::FileClose(fd);
    return ok;
}

// The palette the lower depths are drawn with: the picture's own when its colours fit the depth.
win::HPALETTE paletteFor(win::HPALETTE own, int bits) {
    if (!own) return nullptr;
    win::WORD entries = 0;
    win::GetObject(own, sizeof entries, &entries);
    return entries <= (1u << bits) || bits == 8 ? own : nullptr;
}

bool writeImage(const win::BITMAPINFOHEADER* dib, int bits, const std::string& path, std::string& error) {
    DeviceImage image;
    kv::DIB_DIBToBitmap(dib, image.bitmap, image.palette);
    if (!image.bitmap) return error = "the bitmap could not be converted", false;
    if (bits == 24) {
        host::TBitmap picture;
        picture.SetHandle(image.bitmap);
        image.bitmap = nullptr;
        picture.SetPalette(image.palette);
        image.palette = nullptr;
        picture.SetPixelFormat(host::TPixelFormat::pf24bit);
        try {
            picture.SaveToFile(path);
        } catch (const host::Exception& e) {
            return error = e.Message(), false;
        }
        return true;
    }
    DibPtr out(kv::DIB_BitmapToDIB(image.bitmap, paletteFor(image.palette, bits), bits, 1));
    if (!out) return error = "the bitmap could not be converted to " + std::to_string(bits) + " bits", false;
    return writeDibFile(path, out.get(), error);
}

} // namespace

int convertCommand(const std::vector<std::string>& argv) {
    toolsupport::Arguments args;
    const std::string parseError = args.parse(argv, {{"--bits", true, ""}});
    if (!parseError.empty()) return toolsupport::usageError(parseError, "convert");
    if (args.help()) {
        std::fputs(kHelp, stdout);
        return toolsupport::kExitOk;
    }
    if (args.positional().size() != 2) return toolsupport::usageError("convert takes IN and OUT", "convert");
    int bits = 24;
    if (auto text = args.value("--bits")) {
        const auto value = toolsupport::parseInteger(*text, 1, 32);
        if (!value || (*value != 1 && *value != 4 && *value != 8 && *value != 24))
            return toolsupport::usageError("--bits takes 1, 4, 8 or 24, not '" + *text + "'", "convert");
        bits = int(*value);
    }
    const std::string& in = args.positional()[0];
    const std::string& out = args.positional()[1];
    toolsupport::InterruptGuard guard;
    kv::BmpFileRead read = kv::OpenBmpFile(in);
    if (!read.dib) return toolsupport::fileError(in, read.error);
    DibPtr dib(read.dib);
    toolsupport::OutputFile output(out);
    std::string error;
    if (!output.create(error)) return toolsupport::fileError(out, error);
    if (!writeImage(dib.get(), bits, output.temporaryPath(), error)) {
        // A picture that cannot be converted is the input's fault; a failed write the output's.
        return toolsupport::fileError(error.rfind("the bitmap", 0) == 0 ? in : out, error);
    }
    if (toolsupport::InterruptGuard::interrupted()) return toolsupport::kExitInterrupted;
    if (!output.commit(error)) return toolsupport::fileError(out, error);
    return toolsupport::kExitOk;
}

} // namespace bmptool
