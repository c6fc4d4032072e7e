// quillan-wave as a user meets it: every command on small files made by sox and ffmpeg at test time,
// its results read back by sox, ffprobe and sox's own ADPCM decoder; refusals of formats a command does
// not take, usage errors, and output files that stay whole when a write fails or Ctrl-C stops the work.
#ifdef QUILLAN_WAVE_PATH
#include "support/TestWork.h"
#include "wave/KvPCMSup.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

const std::string kTool = QUILLAN_WAVE_PATH;

struct Result {
    int status = -1;
    std::string out, err;
};

fs::path dir() {
    return workDir("wave-cli");
}

Result tool(const std::string& args) {
    Result r;
    const fs::path errFile = dir() / "stderr.txt";
    r.out = capture(quote(kTool) + " " + args + " 2>" + quote(errFile), &r.status);
    const auto err = readFile(errFile);
    r.err.assign(err.begin(), err.end());
    return r;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == ','))
        s.pop_back();
    return s;
}

// One line of `quillan-wave info`: the value after "name: ".
std::string infoValue(const std::string& info, const std::string& name) {
    const std::string key = "\n" + name + ": ";
    const std::size_t at = ("\n" + info).find(key);
    if (at == std::string::npos) return "<missing " + name + ">";
    const std::size_t start = at + key.size() - 1;
    return info.substr(start, info.find('\n', start) - start);
}

std::string soxInfo(const fs::path& file, const std::string& flag) {
    return trimmed(capture("sox --i " + flag + " " + quote(file)));
}

std::string probe(const fs::path& file, const std::string& entries) {
    return trimmed(capture("ffprobe -v error -select_streams a:0 -show_entries " + entries + " -of csv=p=0 " +
                           quote(file)));
}

// A file made by a shell command once per test.
fs::path make(const std::string& name, const std::string& command) {
    const fs::path file = dir() / name;
    EXPECT_EQ(run(command + " " + quote(file) + " >/dev/null 2>&1"), 0) << command;
    return file;
}

// A sox-made file of pink noise in the given layout.
fs::path noise(const std::string& name, const std::string& format, double seconds = 0.4) {
    const fs::path file = dir() / name;
    EXPECT_EQ(run("sox -R -n " + format + " " + quote(file) + " synth " + std::to_string(seconds) +
                  " pinknoise vol 0.5 2>/dev/null"),
              0)
        << format;
    return file;
}

// The block alignment as libsndfile reads it.
std::string sndfileBlockAlign(const fs::path& file) {
    return trimmed(capture("sndfile-info " + quote(file) + " | sed -n 's/^ *Block Align *: *//p' | head -1"));
}

std::vector<std::uint8_t> soxRaw(const fs::path& file, const std::string& type = "raw") {
    const fs::path raw = dir() / (file.filename().string() + "." + type);
    EXPECT_EQ(run("sox " + quote(file) + " -t " + type + " " + quote(raw)), 0);
    return readFile(raw);
}

std::vector<fs::path> temporaries() {
    std::vector<fs::path> found;
    for (const auto& e : fs::directory_iterator(dir()))
        if (contains(e.path().filename().string(), ".tmp-")) found.push_back(e.path());
    return found;
}

} // namespace

// ---- help and usage ----

TEST(WaveCli, HelpListsEveryCommand) {
    const Result r = tool("--help");
    EXPECT_EQ(r.status, 0);
    for (const char* command : {"info", "convert", "decode", "encode", "import"})
        EXPECT_TRUE(contains(r.out, std::string("  ") + command + " ")) << command;
}

class WaveCliCommandHelp : public ::testing::TestWithParam<const char*> {};

TEST_P(WaveCliCommandHelp, ShowsTheCommandsUsage) {
    const Result r = tool(std::string(GetParam()) + " --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, std::string("Usage: quillan-wave ") + GetParam())) << r.out;
}

INSTANTIATE_TEST_SUITE_P(Commands, WaveCliCommandHelp,
                         ::testing::Values("info", "convert", "decode", "encode", "import"));

struct UsageRow {
    const char* name;
    const char* args;
    const char* message;
};

class WaveCliUsage : public ::testing::TestWithParam<UsageRow> {};

TEST_P(WaveCliUsage, ExitsWithTwoAndSaysWhy) {
    const Result r = tool(GetParam().args);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_TRUE(contains(r.err, GetParam().message)) << r.err;
    EXPECT_TRUE(contains(r.err, "--help")) << r.err;
    EXPECT_TRUE(r.out.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WaveCliUsage,
    ::testing::Values(
        UsageRow{"NoCommand", "", "no command given"},
        UsageRow{"UnknownCommand", "play x.wav", "unknown command 'play'"},
        UsageRow{"InfoTwoFiles", "info a.wav b.wav", "info takes one file"},
        UsageRow{"ConvertOneFile", "convert a.wav", "takes an input and an output"},
        UsageRow{"Bits24", "convert a.wav b.wav --bits 24", "--bits takes 8 or 16"},
        UsageRow{"Channels3", "convert a.wav b.wav --channels 3", "--channels takes 1 or 2"},
        UsageRow{"RateZero", "convert a.wav b.wav --rate 0", "--rate takes a number"},
        UsageRow{"RateText", "convert a.wav b.wav --rate=fast", "--rate takes a number"},
        UsageRow{"MissingValue", "convert a.wav b.wav --rate", "--rate needs a value"},
        UsageRow{"UnknownOption", "decode a.wav b.wav --fast", "unknown option '--fast'"},
        UsageRow{"EncodeHasNoBits", "encode a.wav b.wav --bits 8", "unknown option '--bits'"},
        UsageRow{"ImportNeedsRate", "import a.raw b.wav --bits 16 --channels 2", "import needs --rate"},
        UsageRow{"ImportBadHeader", "import a.raw b.wav --bits 8 --channels 1 --rate 8000 --header -4",
                 "--header takes a number"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- info ----

TEST(WaveCli, InfoOfPcmAgreesWithSoxAndFfprobe) {
    const fs::path file = dir() / "tagged.wav";
    const fs::path plain = noise("plain.wav", "-r 44100 -c 2 -b 16");
    ASSERT_EQ(run("ffmpeg -v error -y -fflags +bitexact -i " + quote(plain) +
                  " -metadata artist='Test Artist' -metadata title='A Title' -c:a pcm_s16le " + quote(file)),
              0);
    const Result r = tool("info " + quote(file));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(infoValue(r.out, "format"), "PCM");
    EXPECT_EQ(infoValue(r.out, "description"), "44.100 kHz, 16 Bit, Stereo");
    EXPECT_EQ(infoValue(r.out, "tag"), "0x0001");
    EXPECT_EQ(infoValue(r.out, "channels"), soxInfo(file, "-c"));
    EXPECT_EQ(infoValue(r.out, "rate"), soxInfo(file, "-r"));
    EXPECT_EQ(infoValue(r.out, "bits"), soxInfo(file, "-b"));
    EXPECT_EQ(infoValue(r.out, "block align"), sndfileBlockAlign(file));
    EXPECT_EQ(infoValue(r.out, "bytes per second"), "176400");
    EXPECT_EQ(infoValue(r.out, "samples"), soxInfo(file, "-s"));
    EXPECT_NEAR(std::stod(infoValue(r.out, "duration")), std::stod(probe(file, "stream=duration")), 0.001);
    EXPECT_EQ(std::stoul(infoValue(r.out, "data bytes")), std::stoul(soxInfo(file, "-s")) * 4);
    EXPECT_EQ(infoValue(r.out, "Artist"), "Test Artist");
    EXPECT_EQ(infoValue(r.out, "Name"), "A Title");
    EXPECT_FALSE(contains(r.out, "repaired:")) << r.out;
    // The data offset points at the samples sox decodes.
    const auto bytes = readFile(file);
    const auto raw = soxRaw(file);
    const std::size_t offset = std::stoul(infoValue(r.out, "data offset"));
    ASSERT_LE(offset + raw.size(), bytes.size());
    EXPECT_TRUE(std::equal(raw.begin(), raw.end(), bytes.begin() + long(offset)));
}

TEST(WaveCli, InfoOfAdpcmAgreesWithSox) {
    const fs::path pcm = noise("mono.wav", "-r 22050 -c 1 -b 16");
    const fs::path file = make("adpcm.wav", "sox " + quote(pcm) + " -e ms-adpcm");
    const Result r = tool("info " + quote(file));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(infoValue(r.out, "format"), "Microsoft ADPCM");
    EXPECT_EQ(infoValue(r.out, "description"), "22.050 kHz, 4 Bit, Mono");
    EXPECT_EQ(infoValue(r.out, "tag"), "0x0002");
    EXPECT_EQ(infoValue(r.out, "bits"), "4");
    EXPECT_EQ(infoValue(r.out, "block align"), sndfileBlockAlign(file));
    EXPECT_EQ(infoValue(r.out, "samples"), soxInfo(file, "-s"));
}

TEST(WaveCli, InfoNamesWhatTheScanRepaired) {
    const fs::path good = noise("good.wav", "-r 8000 -c 1 -b 16");
    const fs::path bad = dir() / "zero-size.wav";
    auto bytes = readFile(good);
    // An interrupted recording: the data chunk's size field left at 0 (sox writes "data" at offset 36).
    ASSERT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
    std::fill(bytes.begin() + 40, bytes.begin() + 44, 0);
    std::ofstream(bad, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
    const Result r = tool("info " + quote(bad));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(infoValue(r.out, "samples"), soxInfo(good, "-s"));
    EXPECT_TRUE(contains(r.out, "\nrepaired: ")) << r.out;
}

struct BadInputRow {
    const char* name;
    const char* content; // written as the file; null: no file at all
    std::size_t length;
    const char* message;
};

class WaveCliBadInput : public ::testing::TestWithParam<BadInputRow> {};

TEST_P(WaveCliBadInput, ExitsWithOneNamingTheFileAndCause) {
    const fs::path file = dir() / "input.wav";
    fs::remove(file);
    if (GetParam().content)
        std::ofstream(file, std::ios::binary).write(GetParam().content, long(GetParam().length));
    for (const std::string command : {"info ", "convert ", "decode ", "encode "}) {
        const std::string out = command == "info " ? "" : " " + quote(dir() / "out.wav");
        const Result r = tool(command + quote(file) + out);
        EXPECT_EQ(r.status, 1) << command << r.err;
        EXPECT_TRUE(contains(r.err, file.string() + ": ")) << r.err;
        EXPECT_TRUE(contains(r.err, GetParam().message)) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir() / "out.wav"));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WaveCliBadInput,
    ::testing::Values(BadInputRow{"Missing", nullptr, 0, "No such file or directory"},
                      BadInputRow{"Empty", "", 0, "is empty"},
                      BadInputRow{"Text", "just some words of text", 23, "is not a RIFF WAVE file"},
                      BadInputRow{"OtherForm", "RIFF\x04\0\0\0AVI ", 12,
                                  "is a RIFF file of form 'AVI ', not WAVE"},
                      BadInputRow{"Rf64", "RF64\xff\xff\xff\xffWAVE", 12, "is an RF64 file"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- refusals ----

struct RefusalRow {
    const char* name;
    const char* format; // sox output options
    const char* command;
    const char* message;
};

class WaveCliRefusal : public ::testing::TestWithParam<RefusalRow> {};

TEST_P(WaveCliRefusal, SaysWhatTheFileIsAndWhichCommandTakesIt) {
    const RefusalRow& row = GetParam();
    const fs::path file = noise(std::string(row.name) + ".wav", row.format, 0.05);
    const fs::path out = dir() / "out.wav";
    const Result r = tool(std::string(row.command) + " " + quote(file) + " " + quote(out));
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(contains(r.err, row.message)) << r.err;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_TRUE(temporaries().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WaveCliRefusal,
    ::testing::Values(
        RefusalRow{"AdpcmToConvert", "-r 22050 -c 1 -e ms-adpcm", "convert",
                   "Microsoft ADPCM, which convert does not take"},
        RefusalRow{"AdpcmToConvertNamesDecode", "-r 22050 -c 2 -e ms-adpcm", "convert",
                   "'quillan-wave decode'"},
        RefusalRow{"AdpcmToEncode", "-r 22050 -c 1 -e ms-adpcm", "encode",
                   "Microsoft ADPCM, which encode does not take"},
        RefusalRow{"PcmToDecode", "-r 8000 -c 1 -b 16", "decode", "'quillan-wave convert'"},
        RefusalRow{"Pcm24ToConvert", "-r 8000 -c 1 -b 24", "convert", "24-bit PCM"},
        RefusalRow{"Pcm24NoCommand", "-r 8000 -c 2 -b 24", "encode", "which no quillan-wave command takes"},
        RefusalRow{"FloatToConvert", "-r 8000 -c 1 -b 32 -e floating-point", "convert", "32-bit IEEE float"},
        RefusalRow{"FloatToDecode", "-r 8000 -c 1 -b 32 -e floating-point", "decode",
                   "which no quillan-wave"},
        RefusalRow{"FourChannelFloat", "-r 8000 -c 4 -b 32 -e floating-point", "convert",
                   "32-bit IEEE float"},
        RefusalRow{"ExtensibleFourChannels", "-r 8000 -c 4 -b 16", "convert", "16-bit PCM with 4 channels"},
        RefusalRow{"MuLaw", "-r 8000 -c 1 -e mu-law", "encode", "CCITT mu-Law"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- convert ----

struct ConvertRow {
    const char* name;
    const char* source; // sox output options
    const char* options;
    int channels, rate, bits;
};

class WaveCliConvert : public ::testing::TestWithParam<ConvertRow> {};

// The output as sox and ffprobe read it, and its data equal to one pcmConvert over all of the source's
// data however small the pieces the tool reads.
TEST_P(WaveCliConvert, MatchesOneConversionOverAllTheData) {
    const ConvertRow& row = GetParam();
    const fs::path in = noise(std::string(row.name) + "-in.wav", row.source, 0.37);
    const auto srcData = soxRaw(in);
    kv::TWaveFormatEx src{}, dst{};
    kv::pcmBuildWaveHeader(&src, std::stoi(soxInfo(in, "-b")), std::stoi(soxInfo(in, "-c")),
                           std::uint32_t(std::stoul(soxInfo(in, "-r"))));
    kv::pcmBuildWaveHeader(&dst, row.bits, row.channels, std::uint32_t(row.rate));
    std::vector<std::uint8_t> expected(
        std::size_t(kv::pcmConvertSizeOutputData(&dst, &src, std::int32_t(srcData.size())) + 16));
    expected.resize(std::size_t(
        kv::pcmConvert(&dst, expected.data(), &src, srcData.data(), std::int32_t(srcData.size()))));
    ASSERT_FALSE(expected.empty());

    for (const char* buffer : {"", " --buffer 1000", " --buffer 4093"}) {
        const fs::path out = dir() / (std::string(row.name) + "-out.wav");
        const Result r = tool("convert " + quote(in) + " " + quote(out) + " " + row.options + buffer);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(r.err.empty()) << r.err; // no progress bar off a terminal
        EXPECT_EQ(soxInfo(out, "-c"), std::to_string(row.channels));
        EXPECT_EQ(soxInfo(out, "-r"), std::to_string(row.rate));
        EXPECT_EQ(soxInfo(out, "-b"), std::to_string(row.bits));
        EXPECT_EQ(probe(out, "stream=codec_name"), row.bits == 8 ? "pcm_u8" : "pcm_s16le");
        EXPECT_EQ(std::stoul(soxInfo(out, "-s")), expected.size() / std::size_t(row.channels * row.bits / 8));
        EXPECT_TRUE(soxRaw(out) == expected) << "with" << buffer;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WaveCliConvert,
    ::testing::Values(
        ConvertRow{"HalfRateMono8", "-r 44100 -c 2 -b 16", "--bits 8 --channels 1 --rate 22050", 1, 22050, 8},
        ConvertRow{"DoubleRate", "-r 22050 -c 1 -b 8", "--rate 44100", 1, 44100, 8},
        ConvertRow{"UpOddRatio", "-r 8000 -c 1 -b 8", "--rate 11025 --bits 16", 1, 11025, 16},
        ConvertRow{"DownOddRatio", "-r 48000 -c 2 -b 16", "--rate 44100", 2, 44100, 16},
        ConvertRow{"DownTo8000", "-r 44100 -c 1 -b 16", "--rate 8000 --channels 2", 2, 8000, 16},
        ConvertRow{"DepthOnly", "-r 11025 -c 2 -b 8", "--bits 16", 2, 11025, 16}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WaveCli, ConvertCarriesTheInfoTags) {
    const fs::path plain = noise("plain.wav", "-r 22050 -c 1 -b 16");
    const fs::path in = dir() / "tagged.wav";
    ASSERT_EQ(run("ffmpeg -v error -y -i " + quote(plain) + " -metadata artist='Somebody' -c:a pcm_s16le " +
                  quote(in)),
              0);
    const fs::path out = dir() / "out.wav";
    ASSERT_EQ(tool("convert " + quote(in) + " " + quote(out) + " --bits 8").status, 0);
    EXPECT_EQ(trimmed(capture("ffprobe -v error -show_entries format_tags=artist -of csv=p=0 " + quote(out))),
              "Somebody");
}

TEST(WaveCli, ConvertOntoItsOwnInputIsSafe) {
    const fs::path file = noise("same.wav", "-r 44100 -c 2 -b 16");
    const auto before = soxRaw(file);
    const Result r = tool("convert " + quote(file) + " " + quote(file) + " --rate 22050");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(soxInfo(file, "-r"), "22050");
    const auto after = soxRaw(file);
    ASSERT_EQ(after.size() * 2, before.size());
    // Every second frame, starting with the second.
    EXPECT_TRUE(std::equal(after.begin(), after.begin() + 4, before.begin() + 4));
    EXPECT_TRUE(temporaries().empty());
}

// ---- decode and encode ----

struct AdpcmRow {
    const char* name;
    const char* format;
};

class WaveCliAdpcm : public ::testing::TestWithParam<AdpcmRow> {};

TEST_P(WaveCliAdpcm, DecodeEqualsSoxByteForByte) {
    const fs::path pcm = noise(std::string(GetParam().name) + ".wav", GetParam().format);
    const fs::path adpcm = make("adpcm.wav", "sox " + quote(pcm) + " -e ms-adpcm");
    const fs::path out = dir() / "decoded.wav";
    const Result r = tool("decode " + quote(adpcm) + " " + quote(out));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(out, "stream=codec_name"), "pcm_s16le");
    EXPECT_EQ(soxInfo(out, "-c"), soxInfo(pcm, "-c"));
    EXPECT_EQ(soxInfo(out, "-r"), soxInfo(pcm, "-r"));
    const auto ours = soxRaw(out, "s16");
    const auto reference = soxRaw(adpcm, "s16");
    ASSERT_FALSE(reference.empty());
    EXPECT_TRUE(ours == reference) << ours.size() << " bytes against " << reference.size();

    const Result eight = tool("decode " + quote(adpcm) + " " + quote(out) + " --bits 8 --buffer 3000");
    ASSERT_EQ(eight.status, 0) << eight.err;
    EXPECT_EQ(probe(out, "stream=codec_name"), "pcm_u8");
    EXPECT_EQ(std::stoul(soxInfo(out, "-s")), reference.size() / 2 / std::stoul(soxInfo(pcm, "-c")));
}

TEST_P(WaveCliAdpcm, EncodeDecodesInSoxToOurOwnDecode) {
    const fs::path pcm = noise(std::string(GetParam().name) + ".wav", GetParam().format);
    const fs::path adpcm = dir() / "encoded.wav";
    const Result r = tool("encode " + quote(pcm) + " " + quote(adpcm) + " --buffer 5000");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(adpcm, "stream=codec_name"), "adpcm_ms");
    EXPECT_EQ(probe(adpcm, "stream=channels"), soxInfo(pcm, "-c"));
    EXPECT_EQ(probe(adpcm, "stream=sample_rate"), soxInfo(pcm, "-r"));
    const fs::path decoded = dir() / "decoded.wav";
    ASSERT_EQ(tool("decode " + quote(adpcm) + " " + quote(decoded)).status, 0);
    const auto soxDecode = soxRaw(adpcm, "s16");
    EXPECT_TRUE(soxRaw(decoded, "s16") == soxDecode);
    // Every source sample is there; the last block is filled up with silence.
    const std::size_t frames = soxDecode.size() / 2 / std::stoul(soxInfo(pcm, "-c"));
    const std::size_t source = std::stoul(soxInfo(pcm, "-s"));
    const std::size_t perBlock =
        std::stoul(capture(quote(kTool) + " info " + quote(adpcm) + " | sed -n 's/^samples per block: //p'"));
    EXPECT_GE(frames, source);
    EXPECT_LT(frames, source + perBlock);
    EXPECT_EQ(frames % perBlock, 0u);
}

INSTANTIATE_TEST_SUITE_P(Rows, WaveCliAdpcm,
                         ::testing::Values(AdpcmRow{"Mono22050", "-r 22050 -c 1 -b 16"},
                                           AdpcmRow{"Stereo44100", "-r 44100 -c 2 -b 16"},
                                           AdpcmRow{"Mono8000From8Bit", "-r 8000 -c 1 -b 8"},
                                           AdpcmRow{"Stereo11025", "-r 11025 -c 2 -b 16"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WaveCli, DecodeOfAnFfmpegFile) {
    const fs::path pcm = noise("src.wav", "-r 44100 -c 2 -b 16");
    const fs::path adpcm = dir() / "ff.wav";
    ASSERT_EQ(run("ffmpeg -v error -y -i " + quote(pcm) + " -c:a adpcm_ms " + quote(adpcm)), 0);
    const fs::path out = dir() / "decoded.wav";
    const Result r = tool("decode " + quote(adpcm) + " " + quote(out));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(soxRaw(out, "s16") == soxRaw(adpcm, "s16"));
}

TEST(WaveCli, EncodeRefusesRatesTheFormatCannotHold) {
    const fs::path fast = noise("fast.wav", "-r 96000 -c 1 -b 16", 0.05);
    const fs::path out = dir() / "out.wav";
    ASSERT_EQ(tool("encode " + quote(fast) + " " + quote(out)).status, 0);
    EXPECT_EQ(soxInfo(out, "-r"), "96000");
    const fs::path tooFast = noise("too-fast.wav", "-r 192000 -c 1 -b 16", 0.05);
    const Result r = tool("encode " + quote(tooFast) + " " + quote(out));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "192000 Hz is outside")) << r.err;
}

// ---- import ----

TEST(WaveCli, ImportWrapsRawSamples) {
    const fs::path source = noise("src.wav", "-r 11025 -c 2 -b 16");
    const auto samples = soxRaw(source);
    const fs::path raw = dir() / "samples.raw";
    {
        std::ofstream f(raw, std::ios::binary);
        f << std::string(40, 'H'); // a header of a file type we do not know
        f.write(reinterpret_cast<const char*>(samples.data()), long(samples.size()));
        f << "xyz"; // a partial frame
    }
    const fs::path out = dir() / "imported.wav";
    const Result r =
        tool("import " + quote(raw) + " " + quote(out) + " --bits 16 --channels 2 --rate 11025 --header 40");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(soxInfo(out, "-r"), "11025");
    EXPECT_EQ(soxInfo(out, "-c"), "2");
    EXPECT_EQ(probe(out, "stream=codec_name"), "pcm_s16le");
    EXPECT_TRUE(soxRaw(out) == samples);

    const Result eight =
        tool("import " + quote(raw) + " " + quote(out) + " --bits 8 --channels 1 --rate 8000");
    ASSERT_EQ(eight.status, 0) << eight.err;
    EXPECT_EQ(probe(out, "stream=codec_name"), "pcm_u8");
    EXPECT_EQ(std::stoul(soxInfo(out, "-s")), fs::file_size(raw));

    const Result tooLong = tool("import " + quote(raw) + " " + quote(out) +
                                " --bits 8 --channels 1 --rate 8000 --header 99999999");
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_TRUE(contains(tooLong.err, "shorter than the header")) << tooLong.err;
}

// ---- output files ----

TEST(WaveCli, AFailedWriteLeavesTheOldFileAndNoTemporary) {
    const fs::path in = noise("long.wav", "-r 44100 -c 2 -b 16", 2.0);
    const fs::path out = dir() / "existing.wav";
    std::ofstream(out) << "the old contents";
    // A file size limit of 64 KiB makes the write fail part way.
    const int status = run("ulimit -f 64; " + quote(kTool) + " convert " + quote(in) + " " + quote(out) +
                           " --bits 16 2>" + quote(dir() / "err.txt"));
    EXPECT_EQ(status, 1);
    const auto err = readFile(dir() / "err.txt");
    EXPECT_TRUE(contains(std::string(err.begin(), err.end()), out.string() + ": "))
        << std::string(err.begin(), err.end());
    const auto kept = readFile(out);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "the old contents");
    EXPECT_TRUE(temporaries().empty());

    const Result noFolder = tool("convert " + quote(in) + " " + quote(dir() / "no-such-folder" / "out.wav"));
    EXPECT_EQ(noFolder.status, 1);
    EXPECT_TRUE(contains(noFolder.err, "No such file or directory")) << noFolder.err;
}

TEST(WaveCli, CtrlCStopsWithoutOutput) {
    // A sparse file of 1.5 GB of silence behind a real header takes seconds to convert.
    const fs::path in = dir() / "huge.wav";
    const fs::path head = noise("head.wav", "-r 44100 -c 2 -b 16", 0.001);
    auto bytes = readFile(head);
    bytes.resize(44);
    const std::uint32_t data = 1500000000u, riff = data + 36;
    for (int i = 0; i < 4; ++i) {
        bytes[std::size_t(4 + i)] = std::uint8_t(riff >> (8 * i));
        bytes[std::size_t(40 + i)] = std::uint8_t(data >> (8 * i));
    }
    std::ofstream(in, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
    fs::resize_file(in, 44 + std::uintmax_t(data));
    const Result info = tool("info " + quote(in));
    EXPECT_EQ(infoValue(info.out, "data bytes"), "1500000000");

    const fs::path out = dir() / "out.wav";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl(kTool.c_str(), kTool.c_str(), "convert", in.c_str(), out.c_str(), "--bits", "8", "--quiet",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_TRUE(temporaries().empty());
    fs::remove(in);
}

#endif
