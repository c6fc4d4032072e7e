// quillan-avi save: every stream of a file into a new file through the compressor component, the video
// compressed with an installed compressor chosen by name, with progress on stderr and Ctrl-C stopping
// the save without leaving a file behind.
#include "Commands.h"

#include "avi/KvAVI.h"
#include "platform/vfw/Icm.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace avitool {
namespace {

struct Codec {
    std::string name;
    win::FOURCC handler = 0;
    std::string description;
};

// Short names for the compressors we know; others go by their code in lower case.
std::string codecName(win::FOURCC handler) {
    std::string code;
    for (int i = 0; i < 4; ++i)
        code += char(std::tolower((handler >> (8 * i)) & 0xFF));
    static const std::pair<const char*, const char*> known[] = {
        {"dib ", "none"},  {"mrle", "rle8"},  {"rle8", "rle8"},  {"rle ", "rle8"}, {"mjpg", "mjpeg"},
        {"fmp4", "mpeg4"}, {"xvid", "mpeg4"}, {"divx", "mpeg4"}, {"ffv1", "ffv1"}, {"hfyu", "huffyuv"},
        {"h264", "h264"},  {"x264", "h264"},  {"avc1", "h264"},
    };
    for (auto& [fourcc, name] : known)
        if (code == fourcc) return name;
    while (!code.empty() && (code.back() == ' ' || code.back() == '\0'))
        code.pop_back();
    return code;
}

std::string narrow(const char16_t* text, std::size_t max) {
    std::string out;
    for (std::size_t i = 0; i < max && text[i]; ++i)
        out += text[i] < 0x80 ? char(text[i]) : '?';
    return out;
}

// Copying, then the installed video compressors in the order the platform lists them.
std::vector<Codec> installedCodecs() {
    std::vector<Codec> codecs = {{"copy", 0, "the video's own samples, as they are"}};
    for (win::DWORD i = 0;; ++i) {
        win::ICINFO info{};
        info.dwSize = sizeof info;
        if (!win::ICInfo(win::ICTYPE_VIDEO, i, &info)) break;
        std::string description = narrow(info.szDescription, std::size(info.szDescription));
        if (description.empty()) description = narrow(info.szName, std::size(info.szName));
        codecs.push_back({codecName(info.fccHandler), info.fccHandler, description});
    }
    return codecs;
}

const Codec* findCodec(const std::vector<Codec>& codecs, std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (name == "dib" || name == "uncompressed" || name == "raw") name = "none";
    for (const Codec& c : codecs)
        if (c.name == name) return &c;
    return nullptr;
}

void listCodecs(const std::vector<Codec>& codecs) {
    std::printf("Video compressors for --video:\n");
    for (const Codec& c : codecs)
        std::printf("  %-10s %s\n", c.name.c_str(), c.description.c_str());
}

// Progress on stderr: a bar redrawn in place on a terminal, a line every ten percent otherwise.
class Progress {
  public:
    explicit Progress(bool quiet) : m_quiet(quiet), m_terminal(isatty(STDERR_FILENO) == 1) {}

    void show(int percent) {
        percent = std::clamp(percent, 0, 100);
        if (m_quiet || percent == m_last) return;
        if (m_terminal) {
            constexpr int width = 40;
            const int filled = percent * width / 100;
            std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(std::size_t(filled), '#').c_str(),
                         std::string(std::size_t(width - filled), '.').c_str(), percent);
            m_open = true;
        } else if (percent / 10 != m_last / 10 || m_last < 0) {
            std::fprintf(stderr, "%d%%\n", percent / 10 * 10);
        }
        m_last = percent;
        std::fflush(stderr);
    }
    // Ends the bar's line so that what follows starts on its own.
    void finish() {
        if (m_open) std::fputc('\n', stderr);
        m_open = false;
    }

  private:
    bool m_quiet, m_terminal;
    bool m_open = false;
    int m_last = -1;
};

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void onInterrupt(int) {
    g_interrupted = 1;
}

// Ctrl-C during the save asks the save to stop; the default handling comes back afterwards.
class InterruptGuard {
  public:
    InterruptGuard() {
        g_interrupted = 0;
        struct sigaction sa {};
        sa.sa_handler = onInterrupt;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, &m_oldInt);
        sigaction(SIGTERM, &sa, &m_oldTerm);
    }
    ~InterruptGuard() {
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
    }

  private:
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
};

struct SaveArgs {
    std::string in, out, video;
    int quality = -1;   // 0..100, -1 for the compressor's default
    int keyFrames = -1; // -1 for the library's default
    bool quiet = false;
};

bool parseNumber(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), ::isdigit)) return false;
    value = std::stoi(text);
    return value >= low && value <= high;
}

// Parses the arguments; returns an error message, empty when they are good.
std::string parseArgs(const std::vector<std::string>& args, SaveArgs& a) {
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--video" || arg == "--quality" || arg == "--keyframes") {
            if (i + 1 >= args.size()) return arg + " needs a value";
            const std::string* v = &args[++i];
            if (arg == "--video")
                a.video = *v;
            else if (arg == "--quality" && !parseNumber(*v, 0, 100, a.quality))
                return "--quality takes a number from 0 to 100, not '" + *v + "'";
            else if (arg == "--keyframes" && !parseNumber(*v, 0, 1000000, a.keyFrames))
                return "--keyframes takes a number of frames, not '" + *v + "'";
        } else if (arg == "-q" || arg == "--quiet") {
            a.quiet = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option '" + arg + "'";
        } else {
            files.push_back(arg);
        }
    }
    if (a.video == "list") return {};
    if (files.size() != 2) return "save takes an input and an output file";
    if (a.video.empty()) return "save needs --video CODEC (see 'quillan-avi save --video list')";
    a.in = files[0];
    a.out = files[1];
    return {};
}

// The video records get the chosen compressor, quality and key frames; no data rate is imposed (the
// library's default rate suits small windows, not files). Other streams keep their defaults.
void applyVideoOptions(kv::TKvAVICompressor& compressor, const Codec& codec, const SaveArgs& a) {
    for (int i = 0; i < compressor.GetStreamCount(); ++i) {
        win::AVICOMPRESSOPTIONS* o = compressor.GetOptions(i);
        if (!o || o->fccType != win::streamtypeVIDEO) continue;
        o->fccHandler = codec.handler;
        if (a.quality >= 0) o->dwQuality = win::DWORD(a.quality) * 100;
        if (a.keyFrames >= 0) o->dwKeyFrameEvery = win::DWORD(a.keyFrames);
        o->dwFlags &= ~win::AVICOMPRESSF_DATARATE;
        o->dwBytesPerSecond = 0;
    }
}

std::string describe(const host::Exception& e) {
    std::string message = e.Message();
    if (auto* avi = dynamic_cast<const kv::EKvAVIError*>(&e); avi && !avi->Detail().empty())
        message += " (" + avi->Detail() + ")";
    return message;
}

int fail(const std::string& file, const std::string& message) {
    std::fprintf(stderr, "quillan-avi: %s: %s\n", file.c_str(), message.c_str());
    return 1;
}

} // namespace

int saveCommand(const std::vector<std::string>& args) {
    SaveArgs a;
    if (std::string error = parseArgs(args, a); !error.empty()) return usageError(error);
    const std::vector<Codec> codecs = installedCodecs();
    if (a.video == "list") {
        listCodecs(codecs);
        return 0;
    }
    const Codec* codec = findCodec(codecs, a.video);
    if (!codec) {
        std::string names;
        for (const Codec& c : codecs)
            names += (names.empty() ? "" : ", ") + c.name;
        return usageError("no video compressor '" + a.video + "' (installed: " + names + ")");
    }
    std::error_code ec;
    if (std::filesystem::equivalent(a.in, a.out, ec))
        return fail(a.out, "the output must not be the input file");

    kv::TKvAVIFile file(nullptr);
    kv::TKvAVICompressor compressor(nullptr);
    try {
        file.SetFileName(a.in);
        file.OpenFile();
        compressor.AddFile(&file);
    } catch (const host::Exception& e) {
        return fail(a.in, describe(e));
    }
    if (compressor.GetStreamCount() == 0) return fail(a.in, "the file has no streams");
    applyVideoOptions(compressor, *codec, a);

    Progress progress(a.quiet);
    compressor.OnSave = [&](host::TObject*, int percent, bool& abort) {
        progress.show(percent);
        abort = g_interrupted != 0;
    };
    bool saved = false;
    try {
        InterruptGuard guard;
        saved = compressor.SaveToFile(a.out);
    } catch (const host::Exception& e) {
        progress.finish();
        return fail(a.out, describe(e));
    }
    progress.finish();
    if (!saved) {
        std::fprintf(stderr, "quillan-avi: %s: interrupted; nothing was written\n", a.out.c_str());
        return 130;
    }
    return 0;
}

} // namespace avitool
