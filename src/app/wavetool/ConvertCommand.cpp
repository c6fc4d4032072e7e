// quillan-wave convert: PCM to PCM of another depth, channel count or rate through the PCM unit's
// converter, which keeps or repeats whole frames (no filtering). The data goes through in pieces; the
// converter starts its rate accumulator afresh on every call, so every piece holds a whole number of
// the accumulator's periods, which makes the result equal to one conversion over all of the data.
#include "app/wavetool/Commands.h"

#include "app/toolsupport/ToolMessages.h"
#include "app/wavetool/CommandSupport.h"
#include "app/wavetool/DataPump.h"
#include "wave/KvPCMSup.h"

#include <algorithm>
#include <memory>
#include <numeric>

namespace wavetool {
namespace {

using toolsupport::fileError;
using toolsupport::usageError;

const char* const kHelp =
    "Usage: quillan-wave convert IN.wav OUT.wav [--bits 8|16] [--channels 1|2] [--rate HZ] [--quiet]\n"
    "\n"
    "Converts 8- or 16-bit PCM to PCM of another depth, channel count or sample rate. A rate change keeps\n"
    "or repeats whole frames, without filtering; stereo becomes mono by averaging the two channels. An\n"
    "option left out keeps the value of IN. The INFO and DISP metadata of IN are carried over.\n"
    "\n"
    "  --bits 8|16       bits per sample\n"
    "  --channels 1|2    mono or stereo\n"
    "  --rate HZ         samples per second, 1 to 1000000\n"
    "  --buffer BYTES    size of the pieces read at a time (default 1048576)\n"
    "  -q, --quiet       no progress bar\n"
    "  -h, --help        show this text\n"
    "\n"
    "Exit status: 0 done; 1 a file could not be read or written, or IN is not 8- or 16-bit PCM;\n"
    "2 usage error; 130 interrupted (OUT is then left as it was).\n";

// Frames after which the converter's accumulator is back where it started: the source rate divided
// by its greatest common divisor with the destination rate.
std::uint64_t accumulatorPeriod(std::uint32_t srcRate, std::uint32_t dstRate) {
    return srcRate / std::gcd(srcRate, dstRate);
}

struct Plan {
    kv::TWaveFormatEx src{}, dst{};
    std::int32_t pieceBytes = 0;
    std::int32_t outCapacity = 0;
};

// Pieces of whole periods near the wanted size, with output room for the most a piece can give.
std::string planPieces(Plan& p, std::int32_t bufferBytes, std::uint32_t dataBytes) {
    const std::uint64_t srcFrame = p.src.nBlockAlign, dstFrame = p.dst.nBlockAlign;
    const std::uint64_t period = accumulatorPeriod(p.src.nSamplesPerSec, p.dst.nSamplesPerSec);
    const std::uint64_t rs = p.src.nSamplesPerSec, rd = p.dst.nSamplesPerSec;
    const std::uint64_t totalOut = std::uint64_t(dataBytes) / srcFrame * rd / rs * dstFrame;
    if (totalOut + 1024 > kMaxWaveFile) return "the converted data would be larger than a wave file can be";
    // The output of a piece stays near the buffer size too, when the rate goes up.
    std::uint64_t frames = std::uint64_t(bufferBytes) / srcFrame;
    frames = std::min<std::uint64_t>(frames, std::uint64_t(bufferBytes) * rs / (rd * dstFrame) + 1);
    frames = std::max<std::uint64_t>(period, frames / period * period);
    const std::uint64_t dataFrames = dataBytes / srcFrame;
    if (frames > dataFrames) frames = std::max<std::uint64_t>(dataFrames, 1);
    if (frames * srcFrame > (256u << 20))
        return "a rate change from " + std::to_string(rs) + " to " + std::to_string(rd) +
               " Hz repeats only every " + std::to_string(period) + " frames, too long to convert in pieces";
    p.pieceBytes = std::int32_t(frames * srcFrame);
    // The converter's own count, plus room for the frames one source frame can repeat into.
    const std::uint64_t out = frames * rd / rs * dstFrame + (rd / rs + 2) * dstFrame;
    if (out > (512u << 20)) return "the rate change is too large";
    p.outCapacity = std::int32_t(out);
    return {};
}

int runConvert(const std::string& in, const std::string& out, kv::PWAVEIOCB input, Plan& plan, bool quiet) {
    WaveOutput output(out);
    std::string error;
    if (!output.open(&plan.dst, input, error)) return fileError(out, error);
    std::unique_ptr<std::uint8_t[]> converted(new std::uint8_t[std::size_t(plan.outCapacity)]);
    PumpJob job;
    job.inPath = in;
    job.outPath = out;
    job.input = input;
    job.output = &output;
    job.pieceBytes = plan.pieceBytes;
    job.quiet = quiet;
    job.piece = [&](const std::uint8_t* data, std::int32_t bytes, std::uint32_t, PieceFailure& failure) {
        const std::int32_t n = kv::pcmConvert(&plan.dst, converted.get(), &plan.src, data, bytes);
        if (n < 0 || n > plan.outCapacity) {
            failure = {true, "the PCM converter refused the data"};
            return false;
        }
        return output.write(converted.get(), n, failure.cause);
    };
    return pumpData(job);
}

} // namespace

int convertCommand(const std::vector<std::string>& argv) {
    toolsupport::Arguments args;
    const std::string parseError = args.parse(argv, {{"--bits", true, ""},
                                                     {"--channels", true, ""},
                                                     {"--rate", true, ""},
                                                     {"--buffer", true, ""},
                                                     {"--quiet", false, "-q"}});
    if (!parseError.empty()) return usageError(parseError, "convert");
    if (args.help()) return showHelp(kHelp);
    if (args.positional().size() != 2)
        return usageError("convert takes an input and an output file", "convert");
    std::int64_t bits = 0, channels = 0, rate = 0;
    std::int32_t buffer = kDefaultBufferBytes;
    for (const std::string& e : {readBits(args, bits), readChannels(args, channels),
                                 readNumber(args, "--rate", 1, kMaxRate, rate), readBuffer(args, buffer)})
        if (!e.empty()) return usageError(e, "convert");
    const std::string& in = args.positional()[0];
    const std::string& out = args.positional()[1];

    WaveBlock input;
    if (auto status = scanInput(in, input)) return *status;
    Plan plan;
    const FormatClass format = classifyFormat(&input->Format, formatBytes(input.get()));
    if (!plainPcmFormat(&input->Format, formatBytes(input.get()), plan.src))
        return fileError(in, refusal(format, "convert"));
    kv::pcmBuildWaveHeader(&plan.dst, std::int32_t(bits ? bits : plan.src.wBitsPerSample),
                           std::int32_t(channels ? channels : plan.src.nChannels),
                           std::uint32_t(rate ? rate : plan.src.nSamplesPerSec));
    if (std::string e = planPieces(plan, buffer, input->DataBytes); !e.empty()) return fileError(in, e);
    return runConvert(in, out, input.get(), plan, args.has("--quiet"));
}

} // namespace wavetool
