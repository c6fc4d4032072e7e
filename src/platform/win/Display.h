// The screen the GDI stand-in describes. Its bit depth is the running X display's (24 on a true-colour
// display) or 24 when there is none; QUILLAN_DISPLAY_BPP=8|16|24|32 forces it. 8 means a palette-based
// screen whose system palette starts out as the 20 static colours.
#pragma once

namespace win {

int DisplayBitsPerPixel();
// Tests switch the depth at run time; 0 goes back to detection.
void SetDisplayBitsPerPixelForTesting(int bpp);

} // namespace win
