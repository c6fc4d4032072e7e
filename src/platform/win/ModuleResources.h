// The program module's binary resources (bitmaps, "WAVE" sounds and other typed data), compiled into the
// program and found by type and name as the system's resource functions find them. Names and types are
// texts or small integers (MAKEINTRESOURCE); text names compare without regard to case.
#pragma once

#include "platform/win/Cursors.h" // MAKEINTRESOURCEA, IS_INTRESOURCE
#include "platform/win/WinTypes.h"

#include <cstdint>
#include <span>
#include <vector>

namespace win {

struct HRSRC__;
using HRSRC = HRSRC__*;

inline const LPCSTR RT_BITMAP = MAKEINTRESOURCEA(2);
inline const LPCSTR RT_RCDATA = MAKEINTRESOURCEA(10);

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
// The resource's bytes: read-only, owned by the module, valid for the life of the program.
LPVOID LockResource(HGLOBAL loaded);
DWORD SizeofResource(HMODULE module, HRSRC resource);
BOOL FreeResource(HGLOBAL loaded);

// One compiled-in resource: its type and name (texts, or integer ids through MAKEINTRESOURCEA) and data.
struct ModuleResource {
    LPCSTR type;
    LPCSTR name;
    std::span<const std::uint8_t> data;
};

// The module's resources by kind, each list defined by the source that holds that kind's data
// (BitmapResources.cpp, WaveResources.cpp); the lookup above searches them all.
const std::vector<ModuleResource>& BitmapResources();
const std::vector<ModuleResource>& WaveResources();

} // namespace win
