// The program module's resources, compiled into the binary: the string table, read with LoadStringA.
#pragma once

#include "platform/win/WinTypes.h"

#include <string>

namespace win {

// The handle of the running program's module (there is only one).
HINSTANCE GetModuleHandleA(LPCSTR name);

// Copies string resource id into buffer (at most size - 1 characters, terminated); returns the length
// copied, 0 when the module has no such string.
int LoadStringA(HINSTANCE module, UINT id, LPSTR buffer, int size);

// The same lookup without the buffer: nullptr when absent.
const char* FindStringResource(UINT id);

} // namespace win
