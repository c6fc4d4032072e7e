// The wide-character forms of the AVIFile information records: the layouts of AVIFILEINFOA and
// AVISTREAMINFOA with names of 16-bit characters.
#pragma once

#include "platform/win/WinTypes.h"

#include <cstddef>

namespace win {

using WCHAR = char16_t;

using AVISTREAMINFOW = AviStreamInfo<WCHAR>;
using AVIFILEINFOW = AviFileInfo<WCHAR>;

static_assert(sizeof(AVISTREAMINFOW) == 204);
static_assert(offsetof(AVISTREAMINFOW, rcFrame) == 52);
static_assert(offsetof(AVISTREAMINFOW, szName) == 76);
static_assert(sizeof(AVIFILEINFOW) == 172);
static_assert(offsetof(AVIFILEINFOW, szFileType) == 44);

} // namespace win
