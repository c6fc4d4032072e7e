// quillan-extract: writes every frame of an AVI file's first video stream as BMP images.
#include "app/cli/TerminalProgress.h"
#include "app/engine/DibFrameConversion.h"
#include "app/engine/ExtractionRun.h"
#include "avi/KvAVI.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

const char* const kUsage =
    "Usage: quillan-extract [options] FILE.avi OUTDIR\n"
    "\n"
    "Decodes every frame of the first video stream of FILE.avi and writes it as a BMP image into\n"
    "OUTDIR (created when missing), numbered from 10000: 10000.BMP, 10001.BMP, ...\n"
    "Images of the same names already in OUTDIR are replaced.\n"
    "\n"
    "Options:\n"
    "  -m, --mode MODE  frames  one image per frame (the default; mode 0)\n"
    "                   odd     each frame split into its two interlaced fields, written as two\n"
    "                           line-doubled images of full size, the odd field (rows 0, 2, 4, ...)\n"
    "                           numbered first (mode 1)\n"
    "                   even    the same with the even field (rows 1, 3, 5, ...) numbered first (mode 2)\n"
    "  -q, --quiet      no progress bar and no summary\n"
    "  -h, --help       show this text\n"
    "\n"
    "Exit status: 0 when every frame was written; 1 when the run failed (the message names the file,\n"
    "the frame and the cause; the images written before stay complete); 2 for a usage error.\n";

struct Options {
    std::string input;
    std::string folder;
    int mode = app::emFrames;
    bool quiet = false;
};

std::optional<int> parseMode(const std::string& text) {
    if (text == "frames" || text == "0") return app::emFrames;
    if (text == "odd" || text == "1") return app::emOddFirst;
    if (text == "even" || text == "2") return app::emEvenFirst;
    return std::nullopt;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "quillan-extract: %s\nTry 'quillan-extract --help'.\n", message.c_str());
    return 2;
}

// Returns the exit status for a finished parse: -1 to go on.
int parseArgs(int argc, char** argv, Options& options) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "-q" || arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "-m" || arg == "--mode" || arg.rfind("--mode=", 0) == 0) {
            std::string value;
            if (arg.size() > 7 && arg[6] == '=') value = arg.substr(7);
            else if (i + 1 < argc) value = argv[++i];
            else return usageError("option " + arg + " needs a value: frames, odd or even");
            auto mode = parseMode(value);
            if (!mode) return usageError("unknown mode '" + value + "': use frames, odd or even");
            options.mode = *mode;
        } else if (arg == "--") {
            for (++i; i < argc; ++i) positional.push_back(argv[i]);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) return usageError("expected an AVI file and an output folder");
    options.input = positional[0];
    options.folder = positional[1];
    return -1;
}

std::string withDetail(const std::string& message, const std::string& detail) {
    return detail.empty() ? message : message + " (" + detail + ")";
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (int status = parseArgs(argc, argv, options); status >= 0) return status;

    std::error_code ec;
    std::filesystem::create_directories(options.folder, ec);
    if (!std::filesystem::is_directory(options.folder)) {
        std::fprintf(stderr, "quillan-extract: %s: cannot use as output folder: %s\n", options.folder.c_str(),
                     ec ? ec.message().c_str() : "not a directory");
        return 1;
    }

    kv::TKvAVIFile file(nullptr);
    try {
        file.SetFileName(options.input);
        file.OpenFile();
    } catch (const kv::EKvAVIError& e) {
        std::fprintf(stderr, "quillan-extract: %s: cannot open: %s\n", options.input.c_str(),
                     withDetail(e.Message(), e.Detail()).c_str());
        return 1;
    }

    app::FixedMode mode(options.mode);
    app::FixedFolder folder(options.folder);
    app::TerminalProgress progress(stderr, !options.quiet && isatty(STDERR_FILENO));
    app::DibFrameConversion conversion;
    app::ExtractionRun run(file, mode, folder, progress, conversion);
    const app::ExtractionReport report = run.Execute();

    if (!report.completed) {
        std::string where = report.failedFile.empty() ? options.input : report.failedFile;
        std::string frame = report.failedFrame >= 0 ? "frame " + std::to_string(report.failedFrame) + ": " : "";
        std::fprintf(stderr, "quillan-extract: %s: %s%s\n", where.c_str(), frame.c_str(),
                     withDetail(report.message, report.detail).c_str());
        std::fprintf(stderr, "quillan-extract: stopped after %d of %d frames; %d images written to %s\n",
                     report.framesDone, report.frameCount, report.filesWritten, options.folder.c_str());
        return 1;
    }
    if (!options.quiet) {
        const double rate = report.seconds > 0 ? report.framesDone / report.seconds : 0.0;
        std::fprintf(stderr, "%d frames, %d images written to %s in %.2f s (%.1f frames/s)\n", report.framesDone,
                     report.filesWritten, options.folder.c_str(), report.seconds, rate);
    }
    return 0;
}
