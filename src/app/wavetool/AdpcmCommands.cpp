// quillan-wave decode and encode: Microsoft ADPCM to PCM and back through the ADPCM codec, whole
// blocks at a time, in pieces of many blocks.
#include "app/wavetool/Commands.h"

#include "app/toolsupport/ToolMessages.h"
#include "app/wavetool/CommandSupport.h"
#include "app/wavetool/DataPump.h"
#include "wave/KvADPCM.h"
#include "wave/KvPCMSup.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace wavetool {
namespace {

using toolsupport::fileError;
using toolsupport::usageError;

const char* const kDecodeHelp =
    "Usage: quillan-wave decode IN.wav OUT.wav [--bits 8|16] [--quiet]\n"
    "\n"
    "Decodes Microsoft ADPCM into PCM of the same rate and channels. The INFO and DISP metadata of IN\n"
    "are carried over.\n"
    "\n"
    "  --bits 8|16       bits per sample of the PCM (default 16)\n"
    "  --buffer BYTES    size of the pieces read at a time (default 1048576)\n"
    "  -q, --quiet       no progress bar\n"
    "  -h, --help        show this text\n"
    "\n"
    "Exit status: 0 done; 1 a file could not be read or written, or IN is not Microsoft ADPCM or its\n"
    "data is damaged; 2 usage error; 130 interrupted (OUT is then left as it was).\n";

const char* const kEncodeHelp =
    "Usage: quillan-wave encode IN.wav OUT.wav [--quiet]\n"
    "\n"
    "Encodes 8- or 16-bit mono or stereo PCM (4000 to 100000 Hz) into Microsoft ADPCM, choosing the best\n"
    "of the seven predictors for every block and channel. A last part block is filled with silence, so\n"
    "that every reader sees all of the samples. The INFO and DISP metadata of IN are carried over.\n"
    "\n"
    "  --buffer BYTES    size of the pieces read at a time (default 1048576)\n"
    "  -q, --quiet       no progress bar\n"
    "  -h, --help        show this text\n"
    "\n"
    "Exit status: 0 done; 1 a file could not be read or written, or IN is not PCM the encoder takes;\n"
    "2 usage error; 130 interrupted (OUT is then left as it was).\n";

struct Parsed {
    toolsupport::Arguments args;
    std::int32_t buffer = kDefaultBufferBytes;
    std::int64_t bits = 16;
};

// Parses the common arguments; the exit status when the command ends here.
std::optional<int> parseCommand(const std::vector<std::string>& argv, const std::string& command,
                                const char* help, bool takesBits, Parsed& p) {
    std::string error =
        takesBits
            ? p.args.parse(argv, {{"--bits", true, ""}, {"--buffer", true, ""}, {"--quiet", false, "-q"}})
            : p.args.parse(argv, {{"--buffer", true, ""}, {"--quiet", false, "-q"}});
    if (!error.empty()) return usageError(error, command);
    if (p.args.help()) return showHelp(help);
    if (p.args.positional().size() != 2)
        return usageError(command + " takes an input and an output file", command);
    if (error = readBuffer(p.args, p.buffer); !error.empty()) return usageError(error, command);
    if (takesBits && !(error = readBits(p.args, p.bits)).empty()) return usageError(error, command);
    return std::nullopt;
}

const kv::TADPCMWaveFormat& adpcmOf(const kv::TWAVEIOCB& cb) {
    return reinterpret_cast<const kv::TADPCMWaveFormat&>(cb.Format);
}

struct DecodePlan {
    kv::TWaveFormatEx pcm{};
    std::uint32_t blockAlign = 0;
    std::uint32_t blocksPerPiece = 0;
    std::int32_t outCapacity = 0; // what a piece decodes to at most
};

// Decodes one piece of whole blocks; -1 with the index of the first damaged block.
std::int64_t decodePiece(const kv::TADPCMWaveFormat& f, const DecodePlan& p, const std::uint8_t* data,
                         std::int32_t bytes, std::uint8_t* out, std::int32_t& badBlock) {
    const std::int32_t n = kv::adpcmDecode4Bit(&f.wfx, &p.pcm, data, bytes, out);
    if (n > 0) return n;
    // One block with a predictor the file does not have voids the whole call: find it.
    const std::int32_t blocks = std::int32_t((std::uint32_t(bytes) + p.blockAlign - 1) / p.blockAlign);
    for (badBlock = 0; badBlock + 1 < blocks; ++badBlock) {
        const std::uint8_t* block = data + std::size_t(badBlock) * p.blockAlign;
        if (kv::adpcmDecode4Bit(&f.wfx, &p.pcm, block, std::int32_t(p.blockAlign), out) <= 0) break;
    }
    return -1;
}

} // namespace

int decodeCommand(const std::vector<std::string>& argv) {
    Parsed p;
    if (auto status = parseCommand(argv, "decode", kDecodeHelp, true, p)) return *status;
    const std::string& in = p.args.positional()[0];
    const std::string& out = p.args.positional()[1];
    WaveBlock input;
    if (auto status = scanInput(in, input)) return *status;
    const FormatClass format = classifyFormat(&input->Format, formatBytes(input.get()));
    if (format.kind != SampleKind::Adpcm) return fileError(in, refusal(format, "decode"));
    const kv::TADPCMWaveFormat& f = adpcmOf(*input.get());
    DecodePlan plan;
    plan.blockAlign = f.wfx.nBlockAlign;
    if (!kv::adpcmBuildFormatHeader(&f.wfx, &plan.pcm, std::int32_t(p.bits), 0, 0))
        return fileError(in, "no PCM format matches its ADPCM format");
    const std::int32_t blockOut =
        kv::adpcmDecodeSizeOutputData(&f.wfx, &plan.pcm, std::int32_t(plan.blockAlign));
    if (blockOut <= 0)
        return fileError(in, "its ADPCM blocks of " + std::to_string(plan.blockAlign) +
                                 " bytes do not hold the " + std::to_string(f.wSamplesPerBlock) +
                                 " samples per block its format states");
    if (std::uint64_t(input->DataBytes) / plan.blockAlign * std::uint64_t(blockOut) + 1024 > kMaxWaveFile)
        return fileError(in, "decodes to more samples than a wave file can hold");
    plan.blocksPerPiece = std::max<std::uint32_t>(std::uint32_t(p.buffer) / plan.blockAlign, 1);
    plan.blocksPerPiece =
        std::min<std::uint32_t>(plan.blocksPerPiece, std::uint32_t((256u << 20) / blockOut) + 1);
    plan.outCapacity =
        kv::adpcmDecodeSizeOutputData(&f.wfx, &plan.pcm, std::int32_t(plan.blocksPerPiece * plan.blockAlign));
    if (plan.outCapacity <= 0) return fileError(in, "its ADPCM format cannot be decoded");

    WaveOutput output(out);
    std::string error;
    if (!output.open(&plan.pcm, input.get(), error)) return fileError(out, error);
    std::unique_ptr<std::uint8_t[]> decoded(new std::uint8_t[std::size_t(plan.outCapacity)]);
    PumpJob job{in,
                out,
                input.get(),
                &output,
                std::int32_t(plan.blocksPerPiece * plan.blockAlign),
                p.args.has("--quiet"),
                {}};
    job.piece = [&](const std::uint8_t* data, std::int32_t bytes, std::uint32_t offset,
                    PieceFailure& failure) {
        std::int32_t bad = 0;
        const std::int64_t n = decodePiece(f, plan, data, bytes, decoded.get(), bad);
        if (n < 0) {
            failure = {true,
                       "the ADPCM block at data byte " +
                           std::to_string(offset + std::uint32_t(bad) * plan.blockAlign) +
                           " is damaged (its predictor index is not one of the file's coefficient pairs)"};
            return false;
        }
        return output.write(decoded.get(), std::int32_t(n), failure.cause);
    };
    return pumpData(job);
}

namespace {

struct EncodePlan {
    kv::TWaveFormatEx pcm{};
    kv::TADPCMWaveFormat adpcm{};
    std::uint32_t blockPcmBytes = 0; // the PCM of one full ADPCM block
};

std::string planEncode(const kv::TWAVEIOCB& cb, EncodePlan& e) {
    if (!kv::pcmIsValidFormat(&e.pcm))
        return "its sample rate of " + std::to_string(e.pcm.nSamplesPerSec) +
               " Hz is outside the 4000 to 100000 Hz that encode takes";
    if (!kv::adpcmBuildFormatHeader(&e.pcm, &e.adpcm.wfx, 0, 0, 0) ||
        e.adpcm.wfx.nSamplesPerSec != e.pcm.nSamplesPerSec)
        return "its sample rate of " + std::to_string(e.pcm.nSamplesPerSec) +
               " Hz is outside the 4000 to 100000 Hz that encode takes";
    e.blockPcmBytes = std::uint32_t(e.adpcm.wSamplesPerBlock) * e.pcm.nBlockAlign;
    if (e.blockPcmBytes == 0) return "no ADPCM block layout fits its format";
    return {};
}

} // namespace

int encodeCommand(const std::vector<std::string>& argv) {
    Parsed p;
    if (auto status = parseCommand(argv, "encode", kEncodeHelp, false, p)) return *status;
    const std::string& in = p.args.positional()[0];
    const std::string& out = p.args.positional()[1];
    WaveBlock input;
    if (auto status = scanInput(in, input)) return *status;
    EncodePlan plan;
    if (!plainPcmFormat(&input->Format, formatBytes(input.get()), plan.pcm))
        return fileError(in, refusal(classifyFormat(&input->Format, formatBytes(input.get())), "encode"));
    if (std::string e = planEncode(*input.get(), plan); !e.empty()) return fileError(in, e);
    const std::uint32_t blocksPerPiece =
        std::max<std::uint32_t>(std::uint32_t(p.buffer) / plan.blockPcmBytes, 1);
    const std::int32_t pieceBytes = std::int32_t(blocksPerPiece * plan.blockPcmBytes);
    const std::int32_t capacity =
        kv::adpcmEncodeSizeOutputData(&plan.pcm, &plan.adpcm.wfx, pieceBytes) +
        kv::adpcmEncodeSizeOutputData(&plan.pcm, &plan.adpcm.wfx, std::int32_t(plan.blockPcmBytes));

    if (capacity <= 0) return fileError(in, "no ADPCM block layout fits its format");
    WaveOutput output(out);
    std::string error;
    if (!output.open(&plan.adpcm.wfx, input.get(), error)) return fileError(out, error);
    std::unique_ptr<std::uint8_t[]> encoded(new std::uint8_t[std::size_t(capacity)]);
    std::unique_ptr<std::uint8_t[]> lastBlock(new std::uint8_t[plan.blockPcmBytes]);
    PumpJob job{in, out, input.get(), &output, pieceBytes, p.args.has("--quiet"), {}};
    job.piece = [&](const std::uint8_t* data, std::int32_t bytes, std::uint32_t, PieceFailure& failure) {
        const std::int32_t whole = bytes - std::int32_t(std::uint32_t(bytes) % plan.blockPcmBytes);
        std::int32_t n =
            whole ? kv::adpcmEncode4Bit(&plan.pcm, &plan.adpcm.wfx, data, whole, encoded.get()) : 0;
        if (whole && n <= 0) {
            failure = {false, "the ADPCM encoder could not work (out of memory)"};
            return false;
        }
        if (whole < bytes) { // the last part block, filled up with silence
            kv::pcmFillSilence(&plan.pcm, lastBlock.get(), std::int32_t(plan.blockPcmBytes));
            std::memcpy(lastBlock.get(), data + whole, std::size_t(bytes - whole));
            const std::int32_t tail =
                kv::adpcmEncode4Bit(&plan.pcm, &plan.adpcm.wfx, lastBlock.get(),
                                    std::int32_t(plan.blockPcmBytes), encoded.get() + n);
            if (tail <= 0) {
                failure = {false, "the ADPCM encoder could not work (out of memory)"};
                return false;
            }
            n += tail;
        }
        return output.write(encoded.get(), n, failure.cause);
    };
    return pumpData(job);
}

} // namespace wavetool
