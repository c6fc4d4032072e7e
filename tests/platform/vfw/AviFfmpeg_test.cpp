// Files written by ffmpeg, read back through its idx1 and by scanning movi, and compared packet by packet
// with what ffprobe reports: count, size, key flag and an adler32 of the data.
#include "AviTestUtil.h"

#include <cstdio>
#include <sstream>

using namespace avitest;
using namespace win;

namespace {

struct Packet {
    std::uint32_t size;
    bool key;
    std::string hash;
};

std::string run(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

bool haveFfmpeg() {
    return std::system("ffmpeg -version >/dev/null 2>&1") == 0;
}

std::vector<Packet> probe(const std::filesystem::path& file, const char* stream) {
    std::istringstream in(
        run(std::string("ffprobe -v error -select_streams ") + stream +
            " -show_entries packet=size,flags,data_hash -show_data_hash adler32 -of csv=p=0 '" +
            file.string() + "'"));
    std::vector<Packet> packets;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        std::string size, flags, hash;
        std::getline(f, size, ',');
        std::getline(f, flags, ',');
        std::getline(f, hash, ',');
        packets.push_back({std::uint32_t(std::stoul(size)), flags.find('K') != std::string::npos, hash});
    }
    return packets;
}

std::string adler32(const std::vector<std::uint8_t>& d) {
    std::uint32_t a = 1, b = 0;
    for (auto x : d) {
        a = (a + x) % 65521;
        b = (b + a) % 65521;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "adler32:%08x", (b << 16) | a);
    return buf;
}

void renameChunk(std::vector<std::uint8_t>& bytes, const char* from, const char* to) {
    auto it = std::search(bytes.begin(), bytes.end(), from, from + 4);
    while (it != bytes.end()) {
        std::copy(to, to + 4, it);
        it = std::search(it + 4, bytes.end(), from, from + 4);
    }
}

// Video packets must match ffprobe's; ffprobe leaves out empty packets, which we keep as dropped frames.
void expectVideoMatches(IAVIFile* file, const std::vector<Packet>& packets, bool checkKeys) {
    auto s = stream(file, streamtypeVIDEO, 0);
    ASSERT_TRUE(s);
    std::size_t k = 0;
    for (LONG i = 0; i < AVIStreamLength(s.get()); ++i) {
        auto data = sample(s.get(), i);
        ASSERT_TRUE(data);
        if (data->empty()) continue;
        ASSERT_LT(k, packets.size());
        EXPECT_EQ(data->size(), packets[k].size) << "frame " << i;
        EXPECT_EQ(adler32(*data), packets[k].hash) << "frame " << i;
        if (checkKeys) {
            EXPECT_EQ(AVIStreamFindSample(s.get(), i, FIND_PREV | FIND_KEY) == i, packets[k].key) << i;
        }
        ++k;
    }
    EXPECT_EQ(k, packets.size());
}

class AviFfmpeg : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    }
};

TEST_F(AviFfmpeg, RawVideoFramesMatchByteForByte) {
    auto path = workDir() / "ffmpeg-raw.avi";
    run("ffmpeg -loglevel error -y -f lavfi -i testsrc=size=64x48:rate=10 -frames:v 12 -c:v rawvideo "
        "-pix_fmt bgr24 '" +
        path.string() + "'");
    auto packets = probe(path, "v:0");
    ASSERT_EQ(packets.size(), 12u);
    PAVIFILE f = nullptr;
    ASSERT_EQ(AVIFileOpenA(&f, path.c_str(), OF_READ, nullptr), AVIERR_OK) << AVILastErrorDetail();
    FilePtr file(f);
    auto s = stream(file.get(), streamtypeVIDEO, 0);
    EXPECT_EQ(AVIStreamLength(s.get()), 12);
    EXPECT_EQ(info(s.get()).dwSuggestedBufferSize, 64u * 48 * 3);
    // The raw path reads a frame straight into a buffer of exactly the frame size.
    std::vector<std::uint8_t> frame(64 * 48 * 3);
    LONG bytes = 0;
    ASSERT_EQ(AVIStreamRead(s.get(), 11, 1, frame.data(), LONG(frame.size()), &bytes, nullptr), AVIERR_OK);
    EXPECT_EQ(adler32(frame), packets[11].hash);
    expectVideoMatches(file.get(), packets, true);
}

TEST_F(AviFfmpeg, Mpeg4AndPcmThroughIdx1AndScanning) {
    auto path = workDir() / "ffmpeg-mpeg4.avi";
    run("ffmpeg -loglevel error -y -f lavfi -i testsrc=size=64x48:rate=10 -f lavfi -i sine=r=8000 -t 1.2 "
        "-c:v mpeg4 -g 4 -bf 0 -c:a pcm_s16le '" +
        path.string() + "'");
    auto video = probe(path, "v:0");
    auto audio = probe(path, "a:0");
    ASSERT_EQ(video.size(), 12u);
    auto original = readFile(path);

    struct Variant {
        const char* name;
        AviFileModel::IndexSource source;
        std::vector<std::pair<const char*, const char*>> renames;
    } variants[] = {
        {"idx1", AviFileModel::IndexSource::Idx1, {}},
        {"scan", AviFileModel::IndexSource::Scan, {{"idx1", "JUNK"}}},
    };
    for (auto& v : variants) {
        SCOPED_TRACE(v.name);
        auto bytes = original;
        for (auto& [from, to] : v.renames)
            renameChunk(bytes, from, to);
        HRESULT rc;
        auto file = openBytes(bytes, &rc);
        ASSERT_EQ(rc, AVIERR_OK) << AVILastErrorDetail();
        EXPECT_EQ(static_cast<AviFile*>(file.get())->model().indexSource, v.source);
        expectVideoMatches(file.get(), video, true);

        auto a = stream(file.get(), streamtypeAUDIO, 0);
        ASSERT_TRUE(a);
        std::vector<std::uint8_t> expected, got;
        std::uint64_t total = 0;
        for (auto& p : audio)
            total += p.size;
        EXPECT_EQ(std::uint64_t(AVIStreamLength(a.get())) * 2, total);
        got.resize(std::size_t(total));
        LONG bytesRead = 0, samples = 0;
        ASSERT_EQ(AVIStreamRead(a.get(), 0, AVIStreamLength(a.get()), got.data(), LONG(got.size()),
                                &bytesRead, &samples),
                  AVIERR_OK);
        EXPECT_EQ(samples, AVIStreamLength(a.get()));
        // The first packet's checksum is the checksum of the first bytes of the joined stream.
        EXPECT_EQ(adler32({got.begin(), got.begin() + audio[0].size}), audio[0].hash);
    }
}

} // namespace
