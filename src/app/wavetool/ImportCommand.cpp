// quillan-wave import: headerless PCM (optionally behind a header of a known size) into a wave file,
// described by the options, through the wave-file unit's raw-file support.
#include "app/wavetool/Commands.h"

#include "app/toolsupport/ToolMessages.h"
#include "app/wavetool/CommandSupport.h"
#include "app/wavetool/DataPump.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace wavetool {
namespace {

using toolsupport::fileError;
using toolsupport::usageError;

const char* const kHelp =
    "Usage: quillan-wave import RAW OUT.wav --bits 8|16 --channels 1|2 --rate HZ [--header BYTES] [--quiet]\n"
    "\n"
    "Writes headerless PCM samples into a wave file. 8-bit samples are unsigned, 16-bit samples signed\n"
    "little-endian, stereo frames left sample first. A partial frame at the end is left out.\n"
    "\n"
    "  --bits 8|16       bits per sample\n"
    "  --channels 1|2    mono or stereo\n"
    "  --rate HZ         samples per second, 1 to 1000000\n"
    "  --header BYTES    bytes at the start of RAW to skip (default 0)\n"
    "  --buffer BYTES    size of the pieces read at a time (default 1048576)\n"
    "  -q, --quiet       no progress bar\n"
    "  -h, --help        show this text\n"
    "\n"
    "Exit status: 0 done; 1 a file could not be read or written; 2 usage error; 130 interrupted.\n";

struct ImportArgs {
    std::int64_t bits = 0, channels = 0, rate = 0, header = 0;
    std::int32_t buffer = kDefaultBufferBytes;
};

std::string readImportArgs(const toolsupport::Arguments& args, ImportArgs& a) {
    for (const char* required : {"--bits", "--channels", "--rate"})
        if (!args.has(required)) return std::string("import needs ") + required;
    for (const std::string& e :
         {readBits(args, a.bits), readChannels(args, a.channels),
          readNumber(args, "--rate", 1, kMaxRate, a.rate),
          readNumber(args, "--header", 0, 0x7FFFFFFF, a.header), readBuffer(args, a.buffer)})
        if (!e.empty()) return e;
    return {};
}

// The raw file's size, or the cause why it cannot be read.
std::string rawFileSize(const std::string& path, std::uint64_t& size) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return toolsupport::errnoText(errno);
    if (S_ISDIR(st.st_mode)) return "is a folder, not a file";
    size = std::uint64_t(st.st_size);
    return {};
}

} // namespace

int importCommand(const std::vector<std::string>& argv) {
    toolsupport::Arguments args;
    const std::string parseError = args.parse(argv, {{"--bits", true, ""},
                                                     {"--channels", true, ""},
                                                     {"--rate", true, ""},
                                                     {"--header", true, ""},
                                                     {"--buffer", true, ""},
                                                     {"--quiet", false, "-q"}});
    if (!parseError.empty()) return usageError(parseError, "import");
    if (args.help()) return showHelp(kHelp);
    if (args.positional().size() != 2)
        return usageError("import takes a raw input and an output file", "import");
    ImportArgs a;
    if (std::string e = readImportArgs(args, a); !e.empty()) return usageError(e, "import");
    const std::string& raw = args.positional()[0];
    const std::string& out = args.positional()[1];

    std::uint64_t size = 0;
    if (std::string e = rawFileSize(raw, size); !e.empty()) return fileError(raw, e);
    if (std::uint64_t(a.header) > size)
        return fileError(raw, "is " + std::to_string(size) + " bytes, shorter than the header of " +
                                  std::to_string(a.header) + " bytes");
    if (size - std::uint64_t(a.header) + 1024 > kMaxWaveFile)
        return fileError(raw, "holds more samples than a wave file can hold");
    WaveBlock input;
    if (kv::wioBuildFileInfoFromRAW(input.get(), raw.c_str(), std::int32_t(a.header), std::int32_t(a.rate),
                                    std::int32_t(a.channels), std::int32_t(a.bits)) != kv::WIOERR_NOERROR)
        return fileError(raw, "cannot be opened for reading");
    // Whole frames only: a partial frame at the end holds no complete sample of every channel.
    input->DataBytes -= input->DataBytes % std::uint32_t(frameBytes(input->Format));

    WaveOutput output(out);
    std::string error;
    if (!output.open(&input->Format, nullptr, error)) return fileError(out, error);
    PumpJob job;
    job.inPath = raw;
    job.outPath = out;
    job.input = input.get();
    job.output = &output;
    job.pieceBytes = std::max(a.buffer / frameBytes(input->Format), 1) * frameBytes(input->Format);
    job.quiet = args.has("--quiet");
    job.piece = [&](const std::uint8_t* data, std::int32_t bytes, std::uint32_t, PieceFailure& failure) {
        return output.write(data, bytes, failure.cause);
    };
    return pumpData(job);
}

} // namespace wavetool
