// quillan-wave: what the wave-audio library does with files, from the command line: `info` prints what
// a wave file holds; `convert` changes the depth, channels or rate of PCM; `decode` and `encode` turn
// Microsoft ADPCM into PCM and back; `import` wraps headerless PCM into a wave file.
#include "app/toolsupport/CommandDispatch.h"
#include "app/toolsupport/InterruptGuard.h"
#include "app/wavetool/Commands.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "Usage: quillan-wave COMMAND [ARGUMENTS]\n"
    "\n"
    "  info FILE.wav                 the format, the data's place and length, the INFO tags, the DISP\n"
    "                                entries and what the reader repaired, one 'name: value' a line\n"
    "  convert IN.wav OUT.wav        PCM to PCM [--bits 8|16] [--channels 1|2] [--rate HZ]\n"
    "  decode IN.wav OUT.wav         Microsoft ADPCM to PCM [--bits 8|16]\n"
    "  encode IN.wav OUT.wav         8- or 16-bit PCM to Microsoft ADPCM\n"
    "  import RAW OUT.wav            headerless PCM to a wave file --bits 8|16 --channels 1|2 --rate HZ\n"
    "                                [--header BYTES]\n"
    "\n"
    "'quillan-wave COMMAND --help' tells more about each. Output files are written under a temporary\n"
    "name beside OUT and renamed when complete. A progress bar shows on a terminal (not with --quiet).\n"
    "\n"
    "Exit status: 0 done; 1 a file could not be read or written; 2 usage error; 130 interrupted.\n";

} // namespace

int main(int argc, char** argv) {
    // Installed before any output file exists, so Ctrl-C at any moment ends a command cleanly: the data
    // loop sees it and the temporary output is removed.
    toolsupport::InterruptGuard interrupts;
    return toolsupport::runToolCommand("quillan-wave", kUsage, argc, argv,
                                       {{"info", wavetool::infoCommand},
                                        {"convert", wavetool::convertCommand},
                                        {"decode", wavetool::decodeCommand},
                                        {"encode", wavetool::encodeCommand},
                                        {"import", wavetool::importCommand}});
}
