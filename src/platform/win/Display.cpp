#include "platform/win/Display.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace win {
namespace {

std::atomic<int> g_forced{0};

int validDepth(int bpp) { return bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32 ? bpp : 0; }

// Asks the X server for the default depth of its default screen. libX11 is loaded on demand so
// that programs without a display never link against it.
int xDisplayDepth() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return 0;
    void* lib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
    if (!lib) return 0;
    using OpenFn = void* (*)(const char*);
    using CloseFn = int (*)(void*);
    using ScreenFn = int (*)(void*);
    using DepthFn = int (*)(void*, int);
    auto open = reinterpret_cast<OpenFn>(dlsym(lib, "XOpenDisplay"));
    auto close = reinterpret_cast<CloseFn>(dlsym(lib, "XCloseDisplay"));
    auto screen = reinterpret_cast<ScreenFn>(dlsym(lib, "XDefaultScreen"));
    auto depth = reinterpret_cast<DepthFn>(dlsym(lib, "XDefaultDepth"));
    int result = 0;
    if (open && close && screen && depth) {
        if (void* dpy = open(nullptr)) {
            result = depth(dpy, screen(dpy));
            close(dpy);
        }
    }
    dlclose(lib);
    return result;
}

int detect() {
    if (const char* env = std::getenv("QUILLAN_DISPLAY_BPP"))
        if (int bpp = validDepth(std::atoi(env))) return bpp;
    int depth = xDisplayDepth();
    if (depth <= 8 && depth > 0) return 8;
    if (depth == 15 || depth == 16) return 16;
    if (depth == 32) return 32;
    return 24;
}

} // namespace

int DisplayBitsPerPixel() {
    if (int f = g_forced.load()) return f;
    static const int detected = detect();
    return detected;
}

void SetDisplayBitsPerPixelForTesting(int bpp) { g_forced.store(validDepth(bpp)); }

} // namespace win
