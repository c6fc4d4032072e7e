// Saving speed of `quillan-avi save` against ffmpeg on the same 1080p inputs in the same run: writing
// full uncompressed frames (ffmpeg: -c:v rawvideo) and MJPEG (ffmpeg: -c:v mjpeg). Each tool runs several
// times per case; the table gives median frames per second, the ratio (ours / ffmpeg, above 1 means
// faster) and the output sizes. Usage: avisave_bench [--runs N] [--work DIR] [--only NAME]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Input {
    const char* name;
    int frames;
    const char* encode; // ffmpeg's options making the input
};

const Input kInputs[] = {
    {"mjpeg_1920x1080", 60, "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p"},
    {"raw24_1920x1080", 60, "-c:v rawvideo -pix_fmt bgr24"},
};

struct Output {
    const char* name;
    const char* ours;   // quillan-avi save options
    const char* ffmpeg; // ffmpeg's output options for the same result
};

const Output kOutputs[] = {
    {"uncompressed", "--video none", "-c:v rawvideo -pix_fmt bgr24"},
    // The same quantiser on both sides (our quality 97 is qscale 3), so that both write files of one size.
    {"mjpeg", "--video mjpeg --quality 97", "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p"},
};

// Runs a shell command and times it; false when it did not exit with 0.
bool timed(const std::string& command, double& seconds) {
    const auto start = std::chrono::steady_clock::now();
    const int rc = std::system(command.c_str());
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return rc != -1 && WIFEXITED(rc) && WEXITSTATUS(rc) == 0;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::string quote(const fs::path& p) {
    std::string quoted(1, '\'');
    quoted += p.string();
    quoted += '\'';
    return quoted;
}

// Median seconds of runs of command, or a negative number when a run failed.
double medianOf(const std::string& command, int runs) {
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        double s = 0;
        if (!timed(command, s)) return -1;
        times.push_back(s);
    }
    return median(times);
}

} // namespace

int main(int argc, char** argv) {
    int runs = 3;
    fs::path work = fs::temp_directory_path() / "quillan-bench-save";
    std::string only;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--work" && i + 1 < argc)
            work = argv[++i];
        else if (a == "--only" && i + 1 < argc)
            only = argv[++i];
    }
    fs::create_directories(work);
    const std::string ours = QUILLAN_AVI_PATH;
    std::printf("%-16s %-13s %6s | %9s %10s %6s | %9s %9s\n", "input", "output", "frames", "ours fps",
                "ffmpeg fps", "ratio", "ours MB", "ff MB");
    for (const Input& in : kInputs) {
        if (!only.empty() && only != in.name) continue;
        const fs::path file = work / (std::string(in.name) + ".avi");
        if (!fs::exists(file)) {
            const std::string make =
                "ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=1920x1080:rate=25 "
                "-frames:v " +
                std::to_string(in.frames) + " " + in.encode + " " + quote(file);
            if (std::system(make.c_str()) != 0) {
                std::printf("%-16s could not be made\n", in.name);
                continue;
            }
        }
        for (const Output& out : kOutputs) {
            const fs::path outOurs = work / "out-ours.avi", outFf = work / "out-ffmpeg.avi";
            const double tOurs = medianOf(
                quote(ours) + " save " + quote(file) + " " + quote(outOurs) + " --quiet " + out.ours, runs);
            const double tFf = medianOf("ffmpeg -hide_banner -loglevel error -y -i " + quote(file) + " -an " +
                                            out.ffmpeg + " " + quote(outFf),
                                        runs);
            if (tOurs < 0 || tFf < 0) {
                std::printf("%-16s %-13s a run failed\n", in.name, out.name);
                continue;
            }
            std::printf("%-16s %-13s %6d | %9.1f %10.1f %6.2f | %9.1f %9.1f\n", in.name, out.name, in.frames,
                        in.frames / tOurs, in.frames / tFf, tFf / tOurs, double(fs::file_size(outOurs)) / 1e6,
                        double(fs::file_size(outFf)) / 1e6);
            std::fflush(stdout);
        }
    }
    return 0;
}
