// Extraction speed and memory against ffmpeg's image2 BMP output, on the same files in the same run.
// Each tool runs several times per file; the table gives median frames per second, the ratio
// (ours / ffmpeg, above 1 means faster), output megabytes per second and peak resident memory.
// Also measured: the machine's write floor, writing the same number of equally large files with plain
// write calls. Usage: extract_bench [--runs N] [--work DIR] [--only NAME]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Input {
    const char* name;
    const char* size;
    int frames;
    const char* encode;
};

const Input kInputs[] = {
    {"raw24_640x480", "640x480", 300, "-c:v rawvideo -pix_fmt bgr24"},
    {"pal8_640x480", "640x480", 300, "-c:v rawvideo -pix_fmt pal8"},
    {"mjpeg_640x480", "640x480", 300, "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p"},
    {"mpeg4_640x480", "640x480", 300, "-c:v mpeg4 -vtag XVID -q:v 4 -bf 2"},
    {"h264_640x480", "640x480", 300, "-c:v libx264 -preset fast -pix_fmt yuv420p"},
    {"huffyuv_640x480", "640x480", 200, "-c:v huffyuv -pix_fmt rgb24"},
    {"dv_720x576", "720x576", 200, "-c:v dvvideo -pix_fmt yuv420p -r 25"},
    {"h264_1920x1080", "1920x1080", 60, "-c:v libx264 -preset fast -pix_fmt yuv420p"},
    {"mjpeg_1920x1080", "1920x1080", 60, "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p"},
};

struct Sample {
    double seconds;
    long maxRssKb;
    bool ok;
};

// Runs a shell command, timing it and taking its peak resident memory from the kernel's accounting.
Sample timed(const std::string& command) {
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {s, usage.ru_maxrss, WIFEXITED(status) && WEXITSTATUS(status) == 0};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The floor: the same number of files of the same size written with plain write calls.
Sample writeFloor(const fs::path& dir, int files, std::size_t bytes) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::vector<char> data(bytes, 7);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < files; ++i) {
        std::string name = (dir / (std::to_string(10000 + i) + ".BMP")).string();
        int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || write(fd, data.data(), bytes) != ssize_t(bytes)) return {0, 0, false};
        close(fd);
    }
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0, true};
}

std::uintmax_t folderBytes(const fs::path& dir) {
    std::uintmax_t total = 0;
    for (auto& e : fs::directory_iterator(dir)) total += e.file_size();
    return total;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 5;
    fs::path work = fs::temp_directory_path() / "quillan-bench";
    std::string only;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--work" && i + 1 < argc) work = argv[++i];
        else if (a == "--only" && i + 1 < argc) only = argv[++i];
    }
    fs::create_directories(work);
    const std::string ours = QUILLAN_EXTRACT_PATH;
    std::printf("%-18s %6s | %10s %10s %6s | %8s %8s | %9s %9s | %9s\n", "input", "frames", "ours fps", "ffmpeg fps",
                "ratio", "ours MB/s", "ff MB/s", "ours RSS", "ff RSS", "floor fps");
    for (const Input& in : kInputs) {
        if (!only.empty() && only != in.name) continue;
        fs::path file = work / (std::string(in.name) + ".avi");
        if (!fs::exists(file)) {
            std::string make = "ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=" + std::string(in.size) +
                               ":rate=25 -frames:v " + std::to_string(in.frames) + " " + in.encode + " '" +
                               file.string() + "'";
            if (std::system(make.c_str()) != 0) {
                std::printf("%-18s could not be made (encoder missing?)\n", in.name);
                continue;
            }
        }
        fs::path outOurs = work / "out-ours", outFf = work / "out-ffmpeg";
        std::vector<double> tOurs, tFf;
        long rssOurs = 0, rssFf = 0;
        std::uintmax_t bytesOurs = 0, bytesFf = 0;
        bool ok = true;
        for (int r = 0; r < runs && ok; ++r) {
            fs::remove_all(outOurs);
            fs::remove_all(outFf);
            fs::create_directories(outFf);
            Sample a = timed("'" + ours + "' -q '" + file.string() + "' '" + outOurs.string() + "'");
            Sample b = timed("ffmpeg -hide_banner -loglevel error -y -i '" + file.string() +
                             "' -f image2 -c:v bmp '" + outFf.string() + "/%05d.bmp'");
            ok = a.ok && b.ok;
            tOurs.push_back(a.seconds);
            tFf.push_back(b.seconds);
            rssOurs = std::max(rssOurs, a.maxRssKb);
            rssFf = std::max(rssFf, b.maxRssKb);
            bytesOurs = folderBytes(outOurs);
            bytesFf = folderBytes(outFf);
        }
        if (!ok) {
            std::printf("%-18s a run failed\n", in.name);
            continue;
        }
        const double mo = median(tOurs), mf = median(tFf);
        Sample floor = writeFloor(work / "out-floor", in.frames, std::size_t(bytesOurs / in.frames));
        std::printf("%-18s %6d | %10.1f %10.1f %6.2f | %8.1f %8.1f | %6ld MB %6ld MB | %9.1f\n", in.name, in.frames,
                    in.frames / mo, in.frames / mf, mf / mo, bytesOurs / mo / 1e6, bytesFf / mf / 1e6, rssOurs / 1024,
                    rssFf / 1024, floor.ok ? in.frames / floor.seconds : 0.0);
        std::fflush(stdout);
    }
    return 0;
}
