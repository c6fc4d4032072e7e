// The platform's integer multiply-then-divide.
#pragma once

#include "platform/win/WinTypes.h"

namespace win {

// (a × b) / c with a 64-bit intermediate product, rounded to nearest with halves away from zero.
// Returns −1 when c is 0 or the result does not fit 32 bits, as the platform does.
INT MulDiv(INT a, INT b, INT c);

} // namespace win
