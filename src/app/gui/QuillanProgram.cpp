#include "app/gui/QuillanProgram.h"

#include "app/gui/MainForm.h"
#include "app/gui/SubForm.h"
#include "platform/ui/SysUtils.h"
#include "platform/widgets/ExtCtrls.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace app {
namespace {

const char* const kUsage =
    "Usage: quillan [--mode frames|odd|even] [--extract] [FILE.avi [FOLDER]]\n"
    "\n"
    "Opens the QUILLAN window, which writes every frame of an AVI file's first video stream as BMP\n"
    "images (10000.BMP, 10001.BMP, ...) into a folder you choose, whole or split into the two fields\n"
    "of interlaced video.\n"
    "\n"
    "  FILE.avi      loaded at start, as with the load button\n"
    "  FOLDER        where the images go, as if chosen with the folder button\n"
    "  --mode MODE   frames (the default), odd (odd field first) or even (even field first)\n"
    "  --extract     starts the extraction as soon as the window is up (needs FILE and FOLDER)\n"
    "  --help        this text\n"
    "\n"
    "The same extraction without a window: quillan-extract --help\n";

struct Options {
    std::string file, folder;
    int mode = 0;
    bool extract = false;
};

// Parses the command line; returns the exit status to end with, or -1 to go on.
int parseOptions(int argc, char** argv, Options& options) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--extract") {
            options.extract = true;
        } else if (arg == "--mode") {
            const std::string mode = i + 1 < argc ? argv[++i] : "";
            if (mode == "frames")
                options.mode = 0;
            else if (mode == "odd")
                options.mode = 1;
            else if (mode == "even")
                options.mode = 2;
            else {
                std::fprintf(stderr, "quillan: --mode takes frames, odd or even, not '%s'\n", mode.c_str());
                return 2;
            }
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            std::fprintf(stderr, "quillan: unknown option %s\n\n%s", arg.c_str(), kUsage);
            return 2;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() > 2) {
        std::fprintf(stderr, "quillan: one file and one folder at most\n\n%s", kUsage);
        return 2;
    }
    if (!positional.empty()) options.file = positional[0];
    if (positional.size() > 1) options.folder = positional[1];
    if (options.extract && options.folder.empty()) {
        std::fputs("quillan: --extract needs a file and a folder\n", stderr);
        return 2;
    }
    return -1;
}

bool haveDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (const char* value = std::getenv(name); value && *value) return true;
    return false;
}

} // namespace

int RunQuillan(int argc, char** argv) {
    Options options;
    if (const int status = parseOptions(argc, argv, options); status >= 0) return status;
    if (!haveDisplay()) {
        std::fputs("quillan: no display to open the window on (DISPLAY is not set); "
                   "quillan-extract does the same work without a window\n",
                   stderr);
        return 1;
    }

    try {
        host::Application->Initialize();
        host::Application->SetTitle("QUILLAN");
        // The first form made is the application's main window; the hidden form comes second.
        host::Application->CreateForm(SubForm);
        host::Application->CreateForm(MainForm);
        SubForm->RadioGroup->SetItemIndex(options.mode);
        bool loaded = false;
        if (!options.file.empty()) {
            try {
                SubForm->LoadFile(options.file);
                loaded = true;
            } catch (...) {
                host::Application->HandleException(SubForm);
            }
        }
        if (!options.folder.empty()) {
            // Made when missing, as the command-line tool does; a folder that cannot be made shows as
            // the failure of the first image of the run.
            std::error_code ignored;
            const std::filesystem::path folder = std::filesystem::absolute(options.folder, ignored);
            std::filesystem::create_directories(folder, ignored);
            SubForm->UseFolder(folder.string());
        }
        // The run starts once the window is up and drawn: it holds the event loop until it is over.
        std::unique_ptr<host::TTimer> start;
        if (options.extract && loaded) {
            start = std::make_unique<host::TTimer>(nullptr);
            start->SetInterval(300);
            start->OnTimer = [&start](host::TObject*) {
                start->SetEnabled(false);
                SubForm->ExtractButtonClick(SubForm);
            };
        }
        host::Application->Run();
    } catch (const host::Exception& e) {
        host::Application->ShowException(e);
    }
    return 0;
}

} // namespace app
