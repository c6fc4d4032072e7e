// quillan-bmp: what the DIB library reads from BMP files and writes back. `info` prints how a BMP file
// is stored; `convert` reads any BMP file and writes it anew as an uncompressed BMP of 24 bits (through
// the bitmap object) or of 1, 4 or 8 bits (through a DIB made from the device bitmap).
#include "app/bmptool/Commands.h"
#include "app/toolsupport/CommandDispatch.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "Usage: quillan-bmp COMMAND [ARGUMENTS]\n"
    "\n"
    "  info FILE.bmp              how the bitmap is stored: header kind and size, width, height, row\n"
    "                             order, bits, compression, colours, image bytes, pixel offset, file\n"
    "                             size, one 'name: value' a line\n"
    "  convert IN.bmp OUT.bmp     any BMP file (core, info and later headers; 1 to 32 bits; bit\n"
    "                             fields; RLE4 and RLE8; top-down) to an uncompressed bottom-up BMP\n"
    "                             [--bits 1|4|8|24] (default 24)\n"
    "\n"
    "'quillan-bmp COMMAND --help' tells more about each. OUT is written under a temporary name beside\n"
    "it and renamed when complete.\n"
    "\n"
    "Exit status: 0 done; 1 a file could not be read or written; 2 usage error; 130 interrupted.\n";

} // namespace

int main(int argc, char** argv) {
    return toolsupport::runToolCommand(
        "quillan-bmp", kUsage, argc, argv,
        {{"info", bmptool::infoCommand}, {"convert", bmptool::convertCommand}});
}
