// quillan-bmp as a user meets it: info lines for BMP files of several kinds, convert at each depth read
// back by ffprobe and ffmpeg, usage errors, broken inputs and outputs that cannot be written.
#include "support/BmpFileBuilder.h"
#include "support/BmpImage.h"
#include "support/TestWork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#ifdef QUILLAN_BMP_PATH

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

const std::string kTool = QUILLAN_BMP_PATH;

std::string tool(const std::string& args, int* status) {
    return capture(quote(kTool) + " " + args + " 2>&1", status);
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

void writeFile(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

fs::path ffmpegBmp(const fs::path& dir, const std::string& pixFmt) {
    const fs::path file = dir / (pixFmt + ".bmp");
    EXPECT_EQ(run("ffmpeg -v error -y -f lavfi -i testsrc=size=37x21 -frames:v 1 -pix_fmt " + pixFmt + " " +
                  quote(file)),
              0);
    return file;
}

std::vector<std::uint8_t> decoded(const fs::path& file) {
    const fs::path raw = file.string() + ".raw";
    if (run("ffmpeg -v error -y -i " + quote(file) + " -f rawvideo -pix_fmt bgr24 " + quote(raw)) != 0)
        return {};
    return readFile(raw);
}

} // namespace

TEST(BmpCli, HelpAndUsageErrors) {
    int status = -1;
    EXPECT_TRUE(contains(tool("--help", &status), "convert IN.bmp OUT.bmp"));
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(contains(tool("convert --help", &status), "--bits"));
    EXPECT_EQ(status, 0);
    for (const char* args : {"", "paint x.bmp", "info", "info a.bmp b.bmp", "convert a.bmp",
                             "convert a b --bits 16", "convert a b --bits", "convert a b --depth 8"}) {
        tool(args, &status);
        EXPECT_EQ(status, 2) << args;
    }
}

TEST(BmpCli, InfoLinesDescribeTheStoredFile) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    const fs::path dir = workDir("bmp-cli");
    int status = -1;
    std::string out = tool("info " + quote(ffmpegBmp(dir, "rgb565le")), &status);
    ASSERT_EQ(status, 0) << out;
    const std::string size = std::to_string(fs::file_size(dir / "rgb565le.bmp"));
    for (const std::string& line : std::vector<std::string>{
             "file header: yes\n", "header: info\n", "header size: 40\n", "width: 37\n", "height: 21\n",
             "rows: bottom-up\n", "bits: 16\n", "compression: bit fields\n",
             "masks: 0x0000F800 0x000007E0 0x0000001F\n", "colours: 0\n", "image bytes: 1596\n",
             "pixel offset: 66\n", "file size: " + size + "\n"})
        EXPECT_TRUE(contains(out, line)) << line << out;

    BmpFileSpec rle;
    rle.width = 5, rle.height = 3, rle.bits = 4, rle.compression = 2, rle.headerSize = 124,
    rle.topDown = false;
    rle.colours = distinctFileColours(6);
    rle.pixels = filePatternIndices(5, 3, 6);
    writeFile(dir / "rle4.bmp", buildBmpFile(rle));
    out = tool("info " + quote(dir / "rle4.bmp"), &status);
    ASSERT_EQ(status, 0) << out;
    for (const char* line : {"header: version 5\n", "header size: 124\n", "compression: RLE4\n",
                             "colours: 6\n", "pixel offset: 162\n"})
        EXPECT_TRUE(contains(out, line)) << line << out;

    BmpFileSpec top;
    top.width = 3, top.height = 2, top.bits = 24, top.topDown = true, top.fileHeader = false;
    top.pixels.assign(18, 9);
    writeFile(dir / "top.dib", buildBmpFile(top));
    out = tool("info " + quote(dir / "top.dib"), &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_TRUE(contains(out, "file header: no\n") && contains(out, "rows: top-down\n") &&
                contains(out, "pixel offset: 40\n"))
        << out;
}

struct Depth {
    int bits;
    int tableEntries; // of the written file
};

class BmpConvert : public ::testing::TestWithParam<Depth> {};

// Every output decodes in ffmpeg to the right size; 24 bits give ffmpeg's own decode of the input
// exactly, lower depths colours of their own table nearest to the input's.
TEST_P(BmpConvert, OutputReadBackByFfmpeg) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    const Depth d = GetParam();
    const fs::path dir = workDir("bmp-cli");
    for (const char* pixFmt : {"bgr24", "rgb565le", "pal8", "monob"}) {
        SCOPED_TRACE(pixFmt);
        const fs::path in = ffmpegBmp(dir, pixFmt);
        const fs::path out = dir / (std::string(pixFmt) + "-" + std::to_string(d.bits) + ".bmp");
        int status = -1;
        const std::string said =
            tool("convert " + quote(in) + " " + quote(out) + " --bits " + std::to_string(d.bits), &status);
        ASSERT_EQ(status, 0) << said;
        const std::string probe =
            capture("ffprobe -v error -show_entries stream=width,height -of csv=p=0 " + quote(out));
        EXPECT_EQ(probe, "37,21\n");
        const auto file = readFile(out);
        ASSERT_GE(file.size(), 54u);
        EXPECT_EQ(le16(&file[28]), d.bits);
        const auto source = decoded(in), result = decoded(out);
        ASSERT_EQ(result.size(), 37u * 21u * 3u);
        ASSERT_EQ(source.size(), result.size());
        if (d.bits == 24) {
            EXPECT_EQ(result, source);
            continue;
        }
        const std::uint32_t entries = le32(&file[46]);
        EXPECT_EQ(entries, std::uint32_t(d.tableEntries));
        const std::uint8_t* table = &file[54];
        std::size_t far = 0;
        for (std::size_t i = 0; i < result.size(); i += 3) {
            auto distance = [&](const std::uint8_t* c) {
                double s = 0;
                for (int k = 0; k < 3; ++k)
                    s += (double(c[k]) - source[i + std::size_t(k)]) *
                         (double(c[k]) - source[i + std::size_t(k)]);
                return std::sqrt(s);
            };
            double best = 1e9;
            bool inTable = false;
            for (std::uint32_t e = 0; e < entries; ++e) {
                best = std::min(best, distance(table + 4 * e));
                inTable |= std::equal(table + 4 * e, table + 4 * e + 3, &result[i]);
            }
            // The device's colour matching works on cells of 4 levels a channel.
            far += !inTable || distance(&result[i]) > best + 7;
        }
        EXPECT_EQ(far, 0u) << "pixels not the nearest colour of the table";
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, BmpConvert,
                         ::testing::Values(Depth{24, 0}, Depth{8, 256}, Depth{4, 16}, Depth{1, 2}),
                         [](const auto& info) { return std::to_string(info.param.bits) + "bits"; });

TEST(BmpCli, BrokenInputsExitOneNamingTheFileAndLeaveOutAlone) {
    const fs::path dir = workDir("bmp-cli");
    BmpFileSpec s;
    s.colours = distinctFileColours(4);
    s.pixels = filePatternIndices(s.width, s.height, 4);
    auto bytes = buildBmpFile(s);
    bytes.resize(bytes.size() - 3);
    writeFile(dir / "cut.bmp", bytes);
    auto jpeg = buildBmpFile(s);
    jpeg[30] = 4, jpeg[28] = 0; // BI_JPEG
    writeFile(dir / "photo.bmp", jpeg);
    writeFile(dir / "out.bmp", {'k', 'e', 'e', 'p'});
    struct Case {
        std::string file, words;
    };
    for (const Case& c : {Case{"cut.bmp", "pixel data is cut short"}, Case{"photo.bmp", "JPEG picture"},
                          Case{"missing.bmp", "No such file"}}) {
        int status = -1;
        const std::string said =
            tool("convert " + quote(dir / c.file) + " " + quote(dir / "out.bmp"), &status);
        EXPECT_EQ(status, 1) << said;
        EXPECT_TRUE(contains(said, c.file) && contains(said, c.words)) << said;
        const std::string info = tool("info " + quote(dir / c.file), &status);
        EXPECT_EQ(status, 1) << info;
        EXPECT_TRUE(contains(info, c.words)) << info;
    }
    EXPECT_EQ(readFile(dir / "out.bmp"), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
    // An output in a folder that does not exist: the output is named, nothing is left behind.
    writeFile(dir / "good.bmp", buildBmpFile(s));
    int status = -1;
    const std::string said =
        tool("convert " + quote(dir / "good.bmp") + " " + quote(dir / "none" / "o.bmp"), &status);
    EXPECT_EQ(status, 1) << said;
    EXPECT_TRUE(contains(said, "o.bmp")) << said;
    std::size_t leftovers = 0;
    for (const auto& entry : fs::directory_iterator(dir))
        leftovers += contains(entry.path().filename().string(), ".tmp");
    EXPECT_EQ(leftovers, 0u);
}

#endif
