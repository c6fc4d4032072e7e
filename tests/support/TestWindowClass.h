// A window class of the window layer for a test: the procedure and the name, nothing else.
#pragma once

#include "platform/ui/WindowMessages.h"

namespace testsupport {

// Registers the class; 0 when it cannot be (a class of that name exists already). Keep the atom in a
// function-level static so that each class is registered once per process.
inline win::ATOM registerWindowClass(const char* name, win::WNDPROC proc) {
    win::WNDCLASSA c{};
    c.lpfnWndProc = proc;
    c.lpszClassName = name;
    return win::RegisterClassA(&c);
}

} // namespace testsupport
