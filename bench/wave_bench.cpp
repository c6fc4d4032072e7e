// Speed of quillan-wave against ffmpeg and sox on the same ten minutes of 44.1 kHz 16-bit stereo pink
// noise in the same run, the tools taking turns: convert to 22.05 kHz 8-bit mono, decode of Microsoft
// ADPCM (our own encoding and ffmpeg's), encode to Microsoft ADPCM; the signal-to-noise ratio of each
// encoder's result against the source (all decoded by sox); and `info` on a 2 GB file. The table gives
// median seconds, and the peer's time divided by ours (above 1 means we are faster).
// Usage: wave_bench [--runs N] [--work DIR] [--seconds S]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kOurs = QUILLAN_WAVE_PATH;

bool timed(const std::string& command, double& seconds) {
    const auto start = std::chrono::steady_clock::now();
    const int rc = std::system(command.c_str());
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return rc != -1 && WIFEXITED(rc) && WEXITSTATUS(rc) == 0;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

std::string quote(const fs::path& p) {
    return "'" + p.string() + "'";
}

struct Pair {
    double ours = -1, peer = -1;
};

// Both commands `runs` times, taking turns; medians, negative when a run failed.
Pair race(const std::string& ours, const std::string& peer, int runs) {
    std::vector<double> a, b;
    for (int r = 0; r < runs; ++r) {
        double s = 0;
        if (!timed(ours, s)) return {};
        a.push_back(s);
        if (!timed(peer, s)) return {};
        b.push_back(s);
    }
    return {median(a), median(b)};
}

void row(const char* task, const char* peer, const Pair& p) {
    if (p.ours < 0 || p.peer < 0) {
        std::printf("%-34s %-28s a run failed\n", task, peer);
        return;
    }
    std::printf("%-34s %-28s %8.3f %8.3f %8.2f\n", task, peer, p.ours, p.peer, p.peer / p.ours);
    std::fflush(stdout);
}

std::vector<std::int16_t> samples(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::int16_t> out(bytes.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = std::int16_t(std::uint8_t(bytes[2 * i]) | (std::uint8_t(bytes[2 * i + 1]) << 8));
    return out;
}

// Signal-to-noise ratio in dB of `coded` (decoded by sox) against the source's samples.
double snr(const std::vector<std::int16_t>& source, const fs::path& coded, const fs::path& work) {
    const fs::path raw = work / "snr.s16";
    if (std::system(("sox " + quote(coded) + " -t s16 " + quote(raw)).c_str()) != 0) return NAN;
    const std::vector<std::int16_t> decoded = samples(raw);
    const std::size_t n = std::min(source.size(), decoded.size());
    double signal = 0, noise = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = source[i], e = double(decoded[i]) - x;
        signal += x * x;
        noise += e * e;
    }
    return noise > 0 ? 10 * std::log10(signal / noise) : INFINITY;
}

// A 2 GB wave file: the source's 44-byte header with its sizes raised, then a hole.
bool makeHugeFile(const fs::path& source, const fs::path& huge) {
    std::ifstream in(source, std::ios::binary);
    std::vector<char> head(44);
    if (!in.read(head.data(), 44)) return false;
    const std::uint32_t data = 2000000000u, riff = data + 36;
    for (int i = 0; i < 4; ++i) {
        head[std::size_t(4 + i)] = char(riff >> (8 * i));
        head[std::size_t(40 + i)] = char(data >> (8 * i));
    }
    std::ofstream(huge, std::ios::binary).write(head.data(), 44);
    fs::resize_file(huge, 44 + std::uintmax_t(data));
    return true;
}

double infoMilliseconds(const fs::path& huge, int runs) {
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        double s = 0;
        if (!timed(quote(kOurs) + " info " + quote(huge) + " >/dev/null", s)) return -1;
        times.push_back(s * 1000);
    }
    return median(times);
}

} // namespace

int main(int argc, char** argv) {
    int runs = 3;
    int seconds = 600;
    fs::path work = fs::temp_directory_path() / "quillan-bench-wave";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--work" && i + 1 < argc)
            work = argv[++i];
        else if (a == "--seconds" && i + 1 < argc)
            seconds = std::max(1, std::atoi(argv[++i]));
    }
    fs::create_directories(work);
    const fs::path in = work / "in.wav", oursAdpcm = work / "ours-adpcm.wav", ffAdpcm = work / "ff-adpcm.wav",
                   soxAdpcm = work / "sox-adpcm.wav", out = work / "out.wav", outPeer = work / "out-peer.wav";
    const std::string ff = "ffmpeg -hide_banner -loglevel error -y -i ";
    if (!fs::exists(in) && std::system(("sox -R -n -r 44100 -c 2 -b 16 " + quote(in) + " synth " +
                                        std::to_string(seconds) + " pinknoise vol 0.5")
                                           .c_str()) != 0) {
        std::fprintf(stderr, "wave_bench: cannot make the input\n");
        return 1;
    }
    std::printf("input: %d s of 44.1 kHz 16-bit stereo pink noise, %.1f MB; %d runs each\n\n", seconds,
                double(fs::file_size(in)) / 1e6, runs);
    std::printf("%-34s %-28s %8s %8s %8s\n", "task", "peer", "ours s", "peer s", "peer/us");
    row("convert to 22.05 kHz 8-bit mono", "ffmpeg -ac 1 -ar 22050 pcm_u8",
        race(quote(kOurs) + " convert " + quote(in) + " " + quote(out) +
                 " --bits 8 --channels 1 --rate 22050 -q",
             ff + quote(in) + " -ac 1 -ar 22050 -c:a pcm_u8 " + quote(outPeer), runs));
    const Pair encodeSox = race(quote(kOurs) + " encode " + quote(in) + " " + quote(oursAdpcm) + " -q",
                                "sox " + quote(in) + " -e ms-adpcm " + quote(soxAdpcm), runs);
    row("encode to Microsoft ADPCM", "sox -e ms-adpcm", encodeSox);
    row("encode to Microsoft ADPCM", "ffmpeg -c:a adpcm_ms",
        race(quote(kOurs) + " encode " + quote(in) + " " + quote(oursAdpcm) + " -q",
             ff + quote(in) + " -c:a adpcm_ms " + quote(ffAdpcm), runs));
    row("decode (our ADPCM) to 16-bit", "ffmpeg pcm_s16le",
        race(quote(kOurs) + " decode " + quote(oursAdpcm) + " " + quote(out) + " -q",
             ff + quote(oursAdpcm) + " -c:a pcm_s16le " + quote(outPeer), runs));
    row("decode (ffmpeg's ADPCM) to 16-bit", "ffmpeg pcm_s16le",
        race(quote(kOurs) + " decode " + quote(ffAdpcm) + " " + quote(out) + " -q",
             ff + quote(ffAdpcm) + " -c:a pcm_s16le " + quote(outPeer), runs));

    const fs::path sourceRaw = work / "source.s16";
    std::system(("sox " + quote(in) + " -t s16 " + quote(sourceRaw)).c_str());
    const std::vector<std::int16_t> source = samples(sourceRaw);
    std::printf("\nSNR against the source (decoded by sox): ours %.2f dB, sox %.2f dB, ffmpeg %.2f dB\n",
                snr(source, oursAdpcm, work), snr(source, soxAdpcm, work), snr(source, ffAdpcm, work));
    fs::remove(sourceRaw);

    const fs::path huge = work / "huge.wav";
    if (makeHugeFile(in, huge))
        std::printf("info on a %.1f GB file: median %.2f ms over %d runs\n",
                    double(fs::file_size(huge)) / 1e9, infoMilliseconds(huge, 51), 51);
    fs::remove(huge);
    return 0;
}
