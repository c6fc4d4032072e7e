#include "app/gui/QuillanProgram.h"

#include "app/gui/MainForm.h"
#include "app/gui/SubForm.h"
#include "platform/ui/SysUtils.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace app {
namespace {

const char* const kUsage =
    "Usage: quillan [FILE.avi]\n"
    "\n"
    "Opens the QUILLAN window, which writes every frame of an AVI file's first video stream as BMP\n"
    "images (10000.BMP, 10001.BMP, ...) into a folder you choose, whole or split into the two fields\n"
    "of interlaced video. FILE.avi, when given, is loaded at start.\n"
    "\n"
    "  --help    this text\n"
    "\n"
    "The same extraction without a window: quillan-extract --help\n";

bool haveDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (const char* value = std::getenv(name); value && *value) return true;
    return false;
}

} // namespace

int RunQuillan(int argc, char** argv) {
    std::string fileName;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (!arg.empty() && arg[0] == '-' && arg != "-") {
            std::fprintf(stderr, "quillan: unknown option %s\n\n%s", arg.c_str(), kUsage);
            return 2;
        }
        if (!fileName.empty()) {
            std::fprintf(stderr, "quillan: one file at a time (%s and %s)\n", fileName.c_str(), arg.c_str());
            return 2;
        }
        fileName = arg;
    }
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
        if (!fileName.empty()) {
            try {
                SubForm->LoadFile(fileName);
            } catch (...) {
                host::Application->HandleException(SubForm);
            }
        }
        host::Application->Run();
    } catch (const host::Exception& e) {
        host::Application->ShowException(e);
    }
    return 0;
}

} // namespace app
